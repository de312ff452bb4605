#include "platform/posix/registry_text.h"

#include <cstdint>

namespace posix {

namespace {

constexpr char32_t kHighSurrogateFirst = 0xD800;
constexpr char32_t kLowSurrogateFirst = 0xDC00;
constexpr char32_t kSurrogateLast = 0xDFFF;
constexpr char32_t kLastBmp = 0xFFFF;
constexpr char32_t kLastCodePoint = 0x10FFFF;
constexpr char32_t kSupplementaryBase = 0x10000;
constexpr unsigned kSurrogateBits = 10;
constexpr char32_t kSurrogateMask = 0x3FF;

bool IsHighSurrogate(char32_t c) { return c >= kHighSurrogateFirst && c < kLowSurrogateFirst; }
bool IsLowSurrogate(char32_t c) { return c >= kLowSurrogateFirst && c <= kSurrogateLast; }

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

char16_t AsciiUpper(char16_t c) {
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

}  // namespace

std::optional<std::u16string> WideToUtf16(std::wstring_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (wchar_t w : text) {
        const auto c = static_cast<char32_t>(w);
        if (c > kLastCodePoint) return std::nullopt;
        if (c <= kLastBmp) {
            out += static_cast<char16_t>(c);
        } else {
            const char32_t v = c - kSupplementaryBase;
            out += static_cast<char16_t>(kHighSurrogateFirst + (v >> kSurrogateBits));
            out += static_cast<char16_t>(kLowSurrogateFirst + (v & kSurrogateMask));
        }
    }
    return out;
}

std::wstring Utf16ToWide(std::u16string_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            const char32_t low = text[++i];
            out += static_cast<wchar_t>(kSupplementaryBase +
                                        ((c - kHighSurrogateFirst) << kSurrogateBits) +
                                        (low - kLowSurrogateFirst));
        } else {
            out += static_cast<wchar_t>(c);
        }
    }
    return out;
}

std::optional<std::string> Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (IsHighSurrogate(c)) {
            if (i + 1 >= text.size() || !IsLowSurrogate(text[i + 1])) return std::nullopt;
            const char32_t low = text[++i];
            c = kSupplementaryBase + ((c - kHighSurrogateFirst) << kSurrogateBits) +
                (low - kLowSurrogateFirst);
        } else if (IsLowSurrogate(c)) {
            return std::nullopt;
        }
        AppendUtf8(out, c);
    }
    return out;
}

std::optional<std::u16string> Utf8ToUtf16(std::string_view text) {
    std::wstring wide;
    wide.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        char32_t c = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            length = 1;
            c = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            c = lead & 0x1Fu;
            minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            c = lead & 0x0Fu;
            minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            c = lead & 0x07u;
            minimum = 0x10000;
        } else {
            return std::nullopt;
        }
        if (i + length > text.size()) return std::nullopt;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return std::nullopt;
            c = (c << 6) | (next & 0x3Fu);
        }
        if (c < minimum || c > kLastCodePoint ||
            (c >= kHighSurrogateFirst && c <= kSurrogateLast)) {
            return std::nullopt;
        }
        wide += static_cast<wchar_t>(c);
        i += length;
    }
    return WideToUtf16(wide);
}

std::optional<std::string> WideToUtf8(std::wstring_view text) {
    const auto utf16 = WideToUtf16(text);
    if (!utf16) return std::nullopt;
    return Utf16ToUtf8(*utf16);
}

bool NamesEqual(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
    }
    return true;
}

}  // namespace posix
