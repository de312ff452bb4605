// The OEM strings of the firmware: SMBIOS structure type 11 as the kernel exports it in
// sys/firmware/dmi/entries/11-0/raw. Layout: type (1 byte, 11), length of the formatted area
// (1 byte, at least 5), handle (2 bytes), Count (1 byte at offset 4), then after the formatted
// area the string-set: NUL-terminated strings, the set ending with a double NUL.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace machine_providers {

inline constexpr unsigned char kSmbiosOemStringsType = 11;
inline constexpr std::size_t kSmbiosOemStringsMinLength = 5;

// The strings of one structure, in order, decoded to wide text (UTF-8 when valid, else
// Latin-1). No value when the header is damaged (too short, wrong type, length below 5 or
// beyond the data). A count larger than the strings present, a string without its NUL or a set
// that ends early gives only the strings that are fully present.
std::optional<std::vector<std::wstring>> ParseOemStrings(std::string_view structure);

// ParseOemStrings of the file under the machine root; no value when the file is missing,
// unreadable or oversized.
std::optional<std::vector<std::wstring>> ReadOemStrings();

}  // namespace machine_providers
