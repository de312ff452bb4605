#pragma once

// Small text helpers shared by the run driver and the BIOS/patch code.

#include <cstddef>
#include <string>
#include <string_view>

namespace cellkeeper {

// Compares two texts ignoring the letter case of ASCII letters (the only letters our
// arguments, registry names and WMI values use).
bool EqualsIgnoreCase(std::wstring_view left, std::wstring_view right);

// The text without leading and trailing blanks, tabs, carriage returns and line feeds.
std::wstring TrimWhitespace(std::wstring_view text);

// UTF-16 form of a wide text: a copy on Windows (wchar_t is UTF-16), surrogate pairs for code
// points above U+FFFF on Linux (wchar_t is UTF-32). An invalid code point becomes U+FFFD.
std::u16string ToUtf16(std::wstring_view text);

// Number of UTF-16 code units the text takes; used where a rule counts UTF-16 units (REG_SZ
// sizes, the keyboard password form).
std::size_t Utf16Length(std::wstring_view text);

}  // namespace cellkeeper
