#pragma once

// Small text helpers shared by the run driver and the BIOS/patch code.

#include <cstddef>
#include <string>
#include <string_view>

// True when both texts are equal once the letters a to z are taken as A to Z; no other
// character is folded and nothing is trimmed.
bool EqualsIgnoreCase(std::wstring_view left, std::wstring_view right);

// Removes, in place, leading and trailing tabs, line feeds, vertical tabs, form feeds,
// carriage returns and blanks; other Unicode spaces stay.
void TrimWhitespace(std::wstring& text);

// UTF-16 form of a wide text: a copy on Windows (wchar_t is UTF-16), surrogate pairs for code
// points above U+FFFF on Linux (wchar_t is UTF-32). An invalid code point becomes U+FFFD.
std::u16string ToUtf16(std::wstring_view text);

// Number of UTF-16 code units the text takes; used where a rule counts UTF-16 units (REG_SZ
// sizes, the keyboard password form).
std::size_t Utf16Length(std::wstring_view text);
