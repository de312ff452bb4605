#include "platform/machine/machine_text.h"

#include <cstdint>
#include <optional>
#include <type_traits>

namespace machine {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char byte) { return (byte & 0xC0u) == 0x80u; }

// The code points of valid UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF),
// or no value.
std::optional<std::u32string> DecodeUtf8(std::string_view bytes) {
    std::u32string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
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
            if (!IsContinuation(next)) return std::nullopt;
            point = (point << 6) | (next & 0x3Fu);
        }
        if (point < minimum || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
            return std::nullopt;
        }
        out.push_back(point);
        i += length;
    }
    return out;
}

void AppendWide(std::wstring& out, char32_t point) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (point >= 0x10000) {
            const char32_t offset = point - 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 + (offset >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + (offset & 0x3FFu)));
            return;
        }
    }
    out.push_back(static_cast<wchar_t>(point));
}

void AppendUtf8(std::string& out, char32_t point) {
    if (point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) point = kReplacement;
    if (point < 0x80) {
        out.push_back(static_cast<char>(point));
    } else if (point < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (point >> 6)));
        out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    } else if (point < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (point >> 12)));
        out.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (point >> 18)));
        out.push_back(static_cast<char>(0x80 | ((point >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    }
}

}  // namespace

std::wstring DecodeMachineText(std::string_view bytes) {
    std::wstring out;
    if (const std::optional<std::u32string> points = DecodeUtf8(bytes)) {
        out.reserve(points->size());
        for (const char32_t point : *points) AppendWide(out, point);
        return out;
    }
    out.reserve(bytes.size());
    for (const char byte : bytes)
        out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(byte)));
    return out;
}

std::string EncodeUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto point = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[i]));
        if constexpr (sizeof(wchar_t) == 2) {
            if (point >= 0xD800 && point <= 0xDBFF && i + 1 < text.size()) {
                const auto low =
                    static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[i + 1]));
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    point = 0x10000 + ((point - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                }
            }
        }
        AppendUtf8(out, point);
    }
    return out;
}

}  // namespace machine
