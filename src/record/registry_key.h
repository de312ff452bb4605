// The tool's registry key under HKEY_LOCAL_MACHINE\SOFTWARE\Vantrel\, opened for all access in
// the 64-bit view. The key owns its handle and closes it when destroyed.
#pragma once

#include "platform/owners.h"
#include "platform/platform.h"

#include <string>

// The tool's registry root under HKEY_LOCAL_MACHINE.
extern const std::wstring kRegistryRoot;  // "SOFTWARE\Vantrel\"

class RegistryKey {
  public:
    RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // Opens the key, creating it only when it does not exist; the outcome is in lastError.
    void Open(const std::wstring& name);

    // The open key, or empty.
    UniqueKey handle;
    // Result of the latest registry call made with this key (0 = success).
    LONG lastError = 0;
    // The key's own name below "SOFTWARE\Vantrel\".
    std::wstring subkeyName;
};
