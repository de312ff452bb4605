// Text conversions of the Linux layer: wchar_t is 32 bits here, the registry keeps UTF-16 and
// the store files are UTF-8. Conversions that meet text they cannot represent say so (nullopt)
// instead of guessing.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace posix {

// UTF-16 of wide text; nullopt for a code point above U+10FFFF. Lone surrogates pass through
// unchanged, as Windows keeps them.
std::optional<std::u16string> WideToUtf16(std::wstring_view text);

// Wide text of UTF-16: pairs joined, lone surrogates kept as they are.
std::wstring Utf16ToWide(std::u16string_view text);

// Strict UTF-8 of UTF-16; nullopt for a lone surrogate.
std::optional<std::string> Utf16ToUtf8(std::u16string_view text);

// Strict UTF-16 of UTF-8; nullopt for an invalid, overlong or surrogate sequence.
std::optional<std::u16string> Utf8ToUtf16(std::string_view text);

// Strict UTF-8 of wide text (through UTF-16).
std::optional<std::string> WideToUtf8(std::wstring_view text);

// Compares the way Windows compares registry names: the ASCII letters without regard to case.
bool NamesEqual(std::u16string_view a, std::u16string_view b);

}  // namespace posix
