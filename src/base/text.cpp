#include "base/text.h"

namespace {

wchar_t AsciiLower(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool IsTrimmedBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f';
}

constexpr char32_t kReplacement = U'\uFFFD';
constexpr char32_t kLastBmp = 0xFFFF;
constexpr char32_t kLastCodePoint = 0x10FFFF;
constexpr char32_t kSurrogateFirst = 0xD800;
constexpr char32_t kSurrogateLast = 0xDFFF;
constexpr char32_t kLowSurrogateFirst = 0xDC00;
constexpr char32_t kSupplementaryBase = 0x10000;

}  // namespace

bool EqualsIgnoreCase(std::wstring_view left, std::wstring_view right) {
    if (left.size() != right.size()) {
        return false;
    }
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (AsciiLower(left[i]) != AsciiLower(right[i])) {
            return false;
        }
    }
    return true;
}

void TrimWhitespace(std::wstring& text) {
    std::size_t last = text.size();
    while (last > 0 && IsTrimmedBlank(text[last - 1])) {
        --last;
    }
    std::size_t first = 0;
    while (first < last && IsTrimmedBlank(text[first])) {
        ++first;
    }
    text.erase(last);
    text.erase(0, first);
}

std::u16string ToUtf16(std::wstring_view text) {
    std::u16string result;
    if constexpr (sizeof(wchar_t) == sizeof(char16_t)) {
        result.reserve(text.size());
        for (wchar_t c : text) {
            result.push_back(static_cast<char16_t>(c));
        }
    } else {
        result.reserve(text.size());
        for (wchar_t c : text) {
            auto point = static_cast<char32_t>(c);
            if (point > kLastCodePoint || (point >= kSurrogateFirst && point <= kSurrogateLast)) {
                point = kReplacement;
            }
            if (point <= kLastBmp) {
                result.push_back(static_cast<char16_t>(point));
            } else {
                const char32_t offset = point - kSupplementaryBase;
                result.push_back(static_cast<char16_t>(kSurrogateFirst + (offset >> 10)));
                result.push_back(static_cast<char16_t>(kLowSurrogateFirst + (offset & 0x3FF)));
            }
        }
    }
    return result;
}

std::size_t Utf16Length(std::wstring_view text) {
    if constexpr (sizeof(wchar_t) == sizeof(char16_t)) {
        return text.size();
    } else {
        std::size_t length = 0;
        for (wchar_t c : text) {
            const auto point = static_cast<char32_t>(c);
            const bool pair = point > kLastBmp && point <= kLastCodePoint;
            length += pair ? 2 : 1;
        }
        return length;
    }
}
