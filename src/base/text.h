// The one place for text: letter-case comparison, trimming, and the conversions between wide
// text (UTF-16 on Windows, UTF-32 on Linux), UTF-16 and UTF-8. Two families of conversion:
// the lenient ones never fail and put U+FFFD for what they cannot carry (console lines, values
// written to the firmware); the strict ones say so (nullopt) instead of guessing (the registry
// store, machine text that may be in another code page).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// True when both texts are equal once the letters a to z are taken as A to Z; no other
// character is folded and nothing is trimmed. Windows compares registry names, and WMI its
// names and WQL strings, this way.
bool EqualsIgnoreCase(std::wstring_view left, std::wstring_view right);
bool EqualsIgnoreCase(std::u16string_view left, std::u16string_view right);
bool EqualsIgnoreCase(std::string_view left, std::string_view right);

// Lenient conversions.

// UTF-16 form of a wide text: a copy on Windows (wchar_t is UTF-16), surrogate pairs for code
// points above U+FFFF on Linux (wchar_t is UTF-32). An invalid code point becomes U+FFFD.
std::u16string ToUtf16(std::wstring_view text);

// Number of UTF-16 code units the text takes; used where a rule counts UTF-16 units (REG_SZ
// sizes, the keyboard password form).
std::size_t Utf16Length(std::wstring_view text);

// The UTF-8 bytes of a wide text; a lone surrogate or an invalid code point becomes U+FFFD.
std::string ToUtf8(std::wstring_view text);

// Strict conversions.

// The code points of valid UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
std::optional<std::u32string> DecodeUtf8(std::string_view bytes);

// Wide text of code points that are valid (as DecodeUtf8 gives them).
std::wstring CodePointsToWide(std::u32string_view points);

// UTF-8 of UTF-16; nullopt for a lone surrogate.
std::optional<std::string> Utf16ToUtf8(std::u16string_view text);

// UTF-16 of UTF-8; nullopt for an invalid, overlong or surrogate sequence.
std::optional<std::u16string> Utf8ToUtf16(std::string_view text);

// The registry's rule: names and values keep lone surrogates as Windows keeps them. UTF-16 of
// wide text, nullopt only for a code point above U+10FFFF; and wide text of UTF-16 with pairs
// joined and lone surrogates kept.
std::optional<std::u16string> WideToUtf16(std::wstring_view text);
std::wstring Utf16ToWide(std::u16string_view text);

// UTF-8 of wide text through WideToUtf16 and Utf16ToUtf8: nullopt for a lone surrogate.
std::optional<std::string> WideToUtf8(std::wstring_view text);
