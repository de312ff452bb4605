#include "app/check_json.h"

#include <cstdio>

namespace {

// One code point as JSON escapes; a character that needs none stays as it is.
std::string Escape(std::uint32_t point) {
    switch (point) {
        case '"':
            return "\\\"";
        case '\\':
            return "\\\\";
        case '\n':
            return "\\n";
        case '\r':
            return "\\r";
        case '\t':
            return "\\t";
        default:
            break;
    }
    if (point >= 0x20 && point < 0x7F) return std::string(1, static_cast<char>(point));
    char text[16];
    if (point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) point = 0xFFFD;
    if (point > 0xFFFF) {
        const std::uint32_t offset = point - 0x10000;
        std::snprintf(text, sizeof text, "\\u%04X\\u%04X", 0xD800 + (offset >> 10),
                      0xDC00 + (offset & 0x3FF));
    } else {
        std::snprintf(text, sizeof text, "\\u%04X", point);
    }
    return text;
}

}  // namespace

std::string JsonString(std::wstring_view text, std::size_t limit) {
    constexpr std::string_view kCut = "...";
    std::string content;
    // Where each code point's escape starts, so that a cut never splits one.
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto point = static_cast<std::uint32_t>(text[i]);
        // UTF-16 (Windows' wchar_t): a high surrogate followed by a low one is one point.
        if (point >= 0xD800 && point <= 0xDBFF && i + 1 < text.size()) {
            const auto low = static_cast<std::uint32_t>(text[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                point = 0x10000 + ((point - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        const std::string escaped = Escape(point);
        if (content.size() + escaped.size() > limit) {
            while (!starts.empty() && content.size() + kCut.size() > limit) {
                content.resize(starts.back());
                starts.pop_back();
            }
            content += kCut;
            break;
        }
        starts.push_back(content.size());
        content += escaped;
    }
    return '"' + content + '"';
}

JsonObject& JsonObject::Member(std::string_view name, std::string_view json) {
    if (!body_.empty()) body_ += ',';
    body_ += '"';
    body_ += name;
    body_ += "\":";
    body_ += json;
    return *this;
}

JsonObject& JsonObject::Text(std::string_view name, std::wstring_view text, std::size_t limit) {
    return Member(name, JsonString(text, limit));
}

JsonObject& JsonObject::OptionalText(std::string_view name,
                                     const std::optional<std::wstring>& text) {
    return text ? Text(name, *text) : Null(name);
}

JsonObject& JsonObject::Number(std::string_view name, std::int64_t value) {
    return Member(name, std::to_string(value));
}

JsonObject& JsonObject::OptionalNumber(std::string_view name,
                                       const std::optional<std::int64_t>& value) {
    return value ? Number(name, *value) : Null(name);
}

JsonObject& JsonObject::Bool(std::string_view name, bool value) {
    return Member(name, value ? "true" : "false");
}

JsonObject& JsonObject::OptionalBool(std::string_view name, const std::optional<bool>& value) {
    return value ? Bool(name, *value) : Null(name);
}

JsonObject& JsonObject::Null(std::string_view name) { return Member(name, "null"); }

JsonObject& JsonObject::TextList(std::string_view name, const std::vector<std::wstring>& texts,
                                 std::size_t limit) {
    std::string list = "[";
    for (std::size_t i = 0; i < texts.size() && i < limit; ++i) {
        if (i != 0) list += ',';
        list += JsonString(texts[i]);
    }
    return Member(name, list + "]");
}

JsonObject& JsonObject::Object(std::string_view name, const JsonObject& object) {
    return Member(name, object.Finish());
}

JsonObject& JsonObject::OptionalObject(std::string_view name,
                                       const std::optional<JsonObject>& object) {
    return object ? Object(name, *object) : Null(name);
}

std::string JsonObject::Finish() const { return '{' + body_ + '}'; }
