// The text form of one registry key in the store, as a registry export writes it (UTF-8):
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Vantrel\Vantrel Cellkeeper Patch]
//   "SystemVendor"="Vantrel"
//   "Status"=dword:00000000
//   "DateRun"=hex(b):2a,00,00,00,00,00,00,00
//
// Text that cannot be written quoted (control characters, no terminator, an odd byte count,
// lone surrogates...) is written as hex(1): UTF-16LE bytes, exactly as stored. Types other
// than REG_SZ, REG_DWORD and REG_QWORD keep their bytes as hex: / hex(N):.
#pragma once

#include "platform/posix/win_types.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace posix {

struct RegistryValue {
    std::u16string name;  // empty for the key's default value ("@" in the file)
    DWORD type = 0;
    std::vector<BYTE> data;

    bool operator==(const RegistryValue&) const = default;
};

struct RegistryKeyFile {
    std::u16string keyName;  // the full name in brackets, e.g. u"HKEY_LOCAL_MACHINE\\SOFTWARE"
    std::vector<RegistryValue> values;

    // Value names compare without regard to ASCII letter case.
    const RegistryValue* Find(std::u16string_view name) const;
    // Replaces the data and type of a value of that name (keeping the name as first written),
    // or appends a new value.
    void Set(RegistryValue value);

    // Equal keys have the same file text.
    bool operator==(const RegistryKeyFile&) const = default;
};

// nullopt for anything that is not exactly one key in the form above.
std::optional<RegistryKeyFile> ParseKeyFile(std::string_view text);

// The file text; ParseKeyFile gives back the same key.
std::string FormatKeyFile(const RegistryKeyFile& key);

}  // namespace posix
