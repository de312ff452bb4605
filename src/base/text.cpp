#include "base/text.h"

#include <type_traits>

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kLastBmp = 0xFFFF;
constexpr char32_t kLastCodePoint = 0x10FFFF;
constexpr char32_t kHighSurrogateFirst = 0xD800;
constexpr char32_t kLowSurrogateFirst = 0xDC00;
constexpr char32_t kSurrogateLast = 0xDFFF;
constexpr char32_t kSupplementaryBase = 0x10000;
constexpr unsigned kSurrogateBits = 10;
constexpr char32_t kSurrogateMask = 0x3FF;

constexpr bool kWideIsUtf16 = sizeof(wchar_t) == sizeof(char16_t);

bool IsHighSurrogate(char32_t c) { return c >= kHighSurrogateFirst && c < kLowSurrogateFirst; }
bool IsLowSurrogate(char32_t c) { return c >= kLowSurrogateFirst && c <= kSurrogateLast; }
bool IsSurrogate(char32_t c) { return c >= kHighSurrogateFirst && c <= kSurrogateLast; }
bool IsScalarValue(char32_t c) { return c <= kLastCodePoint && !IsSurrogate(c); }

char32_t JoinPair(char32_t high, char32_t low) {
    return kSupplementaryBase + ((high - kHighSurrogateFirst) << kSurrogateBits) +
           (low - kLowSurrogateFirst);
}

template <typename Unit>
char32_t Unsigned(Unit unit) {
    return static_cast<char32_t>(static_cast<std::make_unsigned_t<Unit>>(unit));
}

// Calls `emit` with each code unit sequence of `text` read as UTF-16: a joined pair, or a
// single unit (a lone surrogate included).
template <typename Char, typename Emit>
void ForEachUtf16Point(std::basic_string_view<Char> text, Emit emit) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t unit = Unsigned(text[i]);
        if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(Unsigned(text[i + 1]))) {
            emit(JoinPair(unit, Unsigned(text[++i])));
        } else {
            emit(unit);
        }
    }
}

// Calls `emit` with each code point of a wide text as this platform's wchar_t holds it.
template <typename Emit>
void ForEachWidePoint(std::wstring_view text, Emit emit) {
    if constexpr (kWideIsUtf16) {
        ForEachUtf16Point(text, emit);
    } else {
        for (const wchar_t c : text) emit(Unsigned(c));
    }
}

template <typename String>
void AppendUtf16(String& out, char32_t point) {
    using Unit = typename String::value_type;
    if (point <= kLastBmp) {
        out.push_back(static_cast<Unit>(point));
    } else {
        const char32_t offset = point - kSupplementaryBase;
        out.push_back(static_cast<Unit>(kHighSurrogateFirst + (offset >> kSurrogateBits)));
        out.push_back(static_cast<Unit>(kLowSurrogateFirst + (offset & kSurrogateMask)));
    }
}

void AppendUtf8(std::string& out, char32_t point) {
    auto byte = [&out](char32_t value) { out.push_back(static_cast<char>(value)); };
    if (point < 0x80) {
        byte(point);
    } else if (point < 0x800) {
        byte(0xC0 | (point >> 6));
        byte(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        byte(0xE0 | (point >> 12));
        byte(0x80 | ((point >> 6) & 0x3F));
        byte(0x80 | (point & 0x3F));
    } else {
        byte(0xF0 | (point >> 18));
        byte(0x80 | ((point >> 12) & 0x3F));
        byte(0x80 | ((point >> 6) & 0x3F));
        byte(0x80 | (point & 0x3F));
    }
}

template <typename Char>
Char AsciiUpper(Char c) {
    return (c >= Char('a') && c <= Char('z')) ? static_cast<Char>(c - Char('a') + Char('A')) : c;
}

template <typename Char>
bool EqualsIgnoringAsciiCase(std::basic_string_view<Char> left,
                             std::basic_string_view<Char> right) {
    if (left.size() != right.size()) return false;
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (AsciiUpper(left[i]) != AsciiUpper(right[i])) return false;
    }
    return true;
}

}  // namespace

bool EqualsIgnoreCase(std::wstring_view left, std::wstring_view right) {
    return EqualsIgnoringAsciiCase(left, right);
}

bool EqualsIgnoreCase(std::u16string_view left, std::u16string_view right) {
    return EqualsIgnoringAsciiCase(left, right);
}

bool EqualsIgnoreCase(std::string_view left, std::string_view right) {
    return EqualsIgnoringAsciiCase(left, right);
}

std::u16string ToUtf16(std::wstring_view text) {
    std::u16string out;
    out.reserve(text.size());
    if constexpr (kWideIsUtf16) {
        for (const wchar_t c : text) out.push_back(static_cast<char16_t>(c));
    } else {
        for (const wchar_t c : text) {
            const char32_t point = Unsigned(c);
            AppendUtf16(out, IsScalarValue(point) ? point : kReplacement);
        }
    }
    return out;
}

std::size_t Utf16Length(std::wstring_view text) {
    if constexpr (kWideIsUtf16) {
        return text.size();
    } else {
        std::size_t length = 0;
        for (const wchar_t c : text) {
            const char32_t point = Unsigned(c);
            length += (point > kLastBmp && point <= kLastCodePoint) ? 2 : 1;
        }
        return length;
    }
}

std::string ToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    ForEachWidePoint(text, [&out](char32_t point) {
        AppendUtf8(out, IsScalarValue(point) ? point : kReplacement);
    });
    return out;
}

std::optional<std::u32string> DecodeUtf8(std::string_view bytes) {
    std::u32string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        std::size_t length = 0;
        char32_t point = 0;
        char32_t minimum = 0;
        if (lead < 0x80u) {
            length = 1;
            point = lead;
        } else if ((lead & 0xE0u) == 0xC0u) {
            length = 2;
            point = lead & 0x1Fu;
            minimum = 0x80;
        } else if ((lead & 0xF0u) == 0xE0u) {
            length = 3;
            point = lead & 0x0Fu;
            minimum = 0x800;
        } else if ((lead & 0xF8u) == 0xF0u) {
            length = 4;
            point = lead & 0x07u;
            minimum = 0x10000;
        } else {
            return std::nullopt;
        }
        if (bytes.size() - i < length) return std::nullopt;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0u) != 0x80u) return std::nullopt;
            point = (point << 6) | (next & 0x3Fu);
        }
        if (point < minimum || !IsScalarValue(point)) return std::nullopt;
        out.push_back(point);
        i += length;
    }
    return out;
}

std::wstring CodePointsToWide(std::u32string_view points) {
    std::wstring out;
    out.reserve(points.size());
    for (const char32_t point : points) {
        if constexpr (kWideIsUtf16) {
            AppendUtf16(out, point);
        } else {
            out.push_back(static_cast<wchar_t>(point));
        }
    }
    return out;
}

std::optional<std::string> Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    bool valid = true;
    ForEachUtf16Point(text, [&](char32_t point) {
        valid = valid && !IsSurrogate(point);
        if (valid) AppendUtf8(out, point);
    });
    if (!valid) return std::nullopt;
    return out;
}

std::optional<std::u16string> Utf8ToUtf16(std::string_view text) {
    const std::optional<std::u32string> points = DecodeUtf8(text);
    if (!points) return std::nullopt;
    std::u16string out;
    out.reserve(points->size());
    for (const char32_t point : *points) AppendUtf16(out, point);
    return out;
}

std::optional<std::u16string> WideToUtf16(std::wstring_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (const wchar_t c : text) {
        const char32_t unit = Unsigned(c);
        if (unit > kLastCodePoint) return std::nullopt;
        // On Windows a pair arrives as its two units and passes through as they are.
        AppendUtf16(out, unit);
    }
    return out;
}

std::wstring Utf16ToWide(std::u16string_view text) {
    std::wstring out;
    out.reserve(text.size());
    if constexpr (kWideIsUtf16) {
        for (const char16_t unit : text) out.push_back(static_cast<wchar_t>(unit));
    } else {
        ForEachUtf16Point(text,
                          [&out](char32_t point) { out.push_back(static_cast<wchar_t>(point)); });
    }
    return out;
}

std::optional<std::string> WideToUtf8(std::wstring_view text) {
    const std::optional<std::u16string> units = WideToUtf16(text);
    if (!units) return std::nullopt;
    return Utf16ToUtf8(*units);
}
