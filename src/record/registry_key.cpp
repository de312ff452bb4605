#include "record/registry_key.h"

const std::wstring kRegistryRoot = L"SOFTWARE\\Vantrel\\";

namespace {

constexpr REGSAM kToolKeyAccess = KEY_ALL_ACCESS | KEY_WOW64_64KEY;

}  // namespace

void RegistryKey::Open(const std::wstring& name) {
    handle.reset();
    lastError = ERROR_SUCCESS;
    subkeyName = name;
    const std::wstring path = kRegistryRoot + subkeyName;
    lastError = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), /*ulOptions=*/0, kToolKeyAccess,
                              handle.put());
    // Only a missing key is created; any other failure (access denied, a broken store) stands.
    if (lastError == ERROR_FILE_NOT_FOUND) {
        handle.release();  // a failed call may leave anything in the output
        lastError = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), /*Reserved=*/0,
                                    /*lpClass=*/nullptr, REG_OPTION_NON_VOLATILE, kToolKeyAccess,
                                    /*lpSecurityAttributes=*/nullptr, handle.put(),
                                    /*lpdwDisposition=*/nullptr);
    }
    if (lastError != ERROR_SUCCESS) {
        // A failed call may leave anything in the output; never close what was not opened.
        handle.release();
    }
}
