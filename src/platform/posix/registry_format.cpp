#include "platform/posix/registry_format.h"

#include "base/text.h"
#include "platform/posix/registry.h"

#include <algorithm>
#include <cstdint>
#include <set>

namespace posix {

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kHexDigits = "0123456789abcdef";
constexpr char16_t kFirstPrintable = u' ';
constexpr char16_t kDelete = 0x7F;
constexpr char16_t kLastC1Control = 0x9F;

// Lines without their end (LF or CRLF).
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A number of 1 to 8 hex digits.
std::optional<DWORD> ParseHexNumber(std::string_view digits) {
    if (digits.empty() || digits.size() > 8) return std::nullopt;
    DWORD value = 0;
    for (char c : digits) {
        const int digit = HexValue(c);
        if (digit < 0) return std::nullopt;
        value = (value << 4) | static_cast<DWORD>(digit);
    }
    return value;
}

// "2a,00,ff": bytes of two hex digits, comma-separated; blanks around them are allowed.
std::optional<std::vector<BYTE>> ParseHexBytes(std::string_view list) {
    std::vector<BYTE> bytes;
    list = TrimBlanks(list);
    if (list.empty()) return bytes;
    while (true) {
        const auto comma = list.find(',');
        const std::string_view item = TrimBlanks(list.substr(0, comma));
        if (item.size() != 2) return std::nullopt;
        const int high = HexValue(item[0]);
        const int low = HexValue(item[1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes.push_back(static_cast<BYTE>(high * 16 + low));
        if (comma == std::string_view::npos) break;
        list.remove_prefix(comma + 1);
    }
    return bytes;
}

// Reads a quoted text at the start of `text` (escapes \\ and \" only) and removes it there.
std::optional<std::u16string> TakeQuoted(std::string_view& text) {
    if (text.empty() || text.front() != '"') return std::nullopt;
    std::string raw;
    std::size_t i = 1;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') break;
        if (c == '\\') {
            if (i + 1 >= text.size()) return std::nullopt;
            const char next = text[++i];
            if (next != '\\' && next != '"') return std::nullopt;
            raw += next;
        } else {
            raw += c;
        }
    }
    if (i >= text.size()) return std::nullopt;
    text.remove_prefix(i + 1);
    return Utf8ToUtf16(raw);
}

// The name as EqualsIgnoreCase() sees it: ASCII letters in lower case.
std::u16string FoldedName(std::u16string_view name) {
    std::u16string folded(name);
    for (char16_t& unit : folded) {
        if (unit >= u'A' && unit <= u'Z') unit = static_cast<char16_t>(unit - u'A' + u'a');
    }
    return folded;
}

std::vector<BYTE> Utf16Bytes(std::u16string_view text) {
    std::vector<BYTE> bytes;
    bytes.reserve(text.size() * 2);
    for (char16_t unit : text) {
        bytes.push_back(static_cast<BYTE>(unit & 0xFFu));
        bytes.push_back(static_cast<BYTE>(unit >> 8));
    }
    return bytes;
}

std::optional<std::vector<BYTE>> ParseData(std::string_view text, DWORD& type) {
    if (!text.empty() && text.front() == '"') {
        auto quoted = TakeQuoted(text);
        if (!quoted || !TrimBlanks(text).empty()) return std::nullopt;
        type = REG_SZ;
        quoted->push_back(u'\0');
        return Utf16Bytes(*quoted);
    }
    if (text.starts_with("dword:")) {
        const auto number = ParseHexNumber(TrimBlanks(text.substr(6)));
        if (!number) return std::nullopt;
        type = REG_DWORD;
        std::vector<BYTE> bytes;
        for (unsigned shift = 0; shift < 32; shift += 8) {
            bytes.push_back(static_cast<BYTE>((*number >> shift) & 0xFFu));
        }
        return bytes;
    }
    if (text.starts_with("hex:")) {
        type = REG_BINARY;
        return ParseHexBytes(text.substr(4));
    }
    if (text.starts_with("hex(")) {
        const auto close = text.find("):");
        if (close == std::string_view::npos) return std::nullopt;
        const auto number = ParseHexNumber(text.substr(4, close - 4));
        if (!number) return std::nullopt;
        type = *number;
        return ParseHexBytes(text.substr(close + 2));
    }
    return std::nullopt;
}

std::optional<RegistryValue> ParseValueLine(std::string_view line) {
    RegistryValue value;
    if (line.starts_with("@")) {
        line.remove_prefix(1);
    } else {
        auto name = TakeQuoted(line);
        if (!name || name->empty()) return std::nullopt;
        value.name = std::move(*name);
    }
    if (line.empty() || line.front() != '=') return std::nullopt;
    line.remove_prefix(1);
    auto data = ParseData(line, value.type);
    if (!data) return std::nullopt;
    value.data = std::move(*data);
    return value;
}

void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
}

bool IsControl(char16_t unit) {
    return unit < kFirstPrintable || (unit >= kDelete && unit <= kLastC1Control);
}

// The quoted form of REG_SZ data, when it has one: whole UTF-16 units, exactly one terminating
// zero at the end, valid text without control characters.
std::optional<std::string> QuotableText(const std::vector<BYTE>& data) {
    if (data.size() < 2 || data.size() % 2 != 0) return std::nullopt;
    std::u16string text;
    for (std::size_t i = 0; i < data.size(); i += 2) {
        text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    }
    if (text.back() != u'\0') return std::nullopt;
    text.pop_back();
    if (std::any_of(text.begin(), text.end(), IsControl)) return std::nullopt;
    return Utf16ToUtf8(text);
}

void AppendHexBytes(std::string& out, const std::vector<BYTE>& data) {
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (i > 0) out += ',';
        out += kHexDigits[data[i] >> 4];
        out += kHexDigits[data[i] & 0xFu];
    }
}

void AppendHexNumber(std::string& out, DWORD number, int minimumDigits) {
    std::string digits;
    do {
        digits.insert(digits.begin(), kHexDigits[number & 0xFu]);
        number >>= 4;
    } while (number != 0);
    while (static_cast<int>(digits.size()) < minimumDigits) digits.insert(digits.begin(), '0');
    out += digits;
}

void AppendData(std::string& out, const RegistryValue& value) {
    if (value.type == REG_SZ) {
        if (auto text = QuotableText(value.data)) {
            AppendQuoted(out, *text);
            return;
        }
    }
    if (value.type == REG_DWORD && value.data.size() == sizeof(DWORD)) {
        DWORD number = 0;
        for (std::size_t i = 0; i < sizeof(DWORD); ++i) {
            number |= static_cast<DWORD>(value.data[i]) << (8 * i);
        }
        out += "dword:";
        AppendHexNumber(out, number, 8);
        return;
    }
    if (value.type == REG_BINARY) {
        out += "hex:";
    } else {
        out += "hex(";
        AppendHexNumber(out, value.type, 1);
        out += "):";
    }
    AppendHexBytes(out, value.data);
}

}  // namespace

const RegistryValue* RegistryKeyFile::Find(std::u16string_view name) const {
    for (const auto& value : values) {
        if (EqualsIgnoreCase(value.name, name)) return &value;
    }
    return nullptr;
}

void RegistryKeyFile::Set(RegistryValue value) {
    for (auto& existing : values) {
        if (EqualsIgnoreCase(existing.name, value.name)) {
            existing.type = value.type;
            existing.data = std::move(value.data);
            return;
        }
    }
    values.push_back(std::move(value));
}

std::optional<RegistryKeyFile> ParseKeyFile(std::string_view text) {
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    const auto lines = SplitLines(text);
    std::size_t i = 0;
    if (lines.empty() || lines[i++] != kHeader) return std::nullopt;

    RegistryKeyFile key;
    bool haveKey = false;
    // Value names seen so far, folded to one letter case: a duplicate is found in log time.
    std::set<std::u16string> names;
    while (i < lines.size()) {
        std::string_view line = TrimBlanks(lines[i++]);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            // One key per file.
            if (haveKey || line.back() != ']' || line.size() < 3) return std::nullopt;
            auto name = Utf8ToUtf16(line.substr(1, line.size() - 2));
            if (!name) return std::nullopt;
            key.keyName = std::move(*name);
            haveKey = true;
            continue;
        }
        if (!haveKey) return std::nullopt;
        // Long hex lists may go on over lines that end in a backslash.
        std::string joined(line);
        while (!joined.empty() && joined.back() == '\\' &&
               joined.find("=hex") != std::string::npos) {
            if (i >= lines.size()) return std::nullopt;
            joined.pop_back();
            joined += TrimBlanks(lines[i++]);
        }
        auto value = ParseValueLine(joined);
        if (!value || !names.insert(FoldedName(value->name)).second) return std::nullopt;
        key.values.push_back(std::move(*value));
    }
    if (!haveKey) return std::nullopt;
    return key;
}

std::string FormatKeyFile(const RegistryKeyFile& key) {
    std::string out(kHeader);
    out += "\n\n[";
    // Key names are checked when keys are opened; an unrepresentable one cannot get here.
    out += Utf16ToUtf8(key.keyName).value_or(std::string());
    out += "]\n";
    for (const auto& value : key.values) {
        if (value.name.empty()) {
            out += '@';
        } else {
            AppendQuoted(out, Utf16ToUtf8(value.name).value_or(std::string()));
        }
        out += '=';
        AppendData(out, value);
        out += '\n';
    }
    return out;
}

}  // namespace posix
