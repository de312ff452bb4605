#include "app/console.h"

#include "app/run_log.h"
#include "app/text.h"

#include <cstdio>

namespace {

// Tests only; the run itself always writes to standard output.
std::string* consoleSink = nullptr;
RunLog* consoleLog = nullptr;

void WriteBytes(std::string_view bytes) {
    if (consoleLog != nullptr) {
        consoleLog->WriteLine(bytes);
    }
    if (consoleSink != nullptr) {
        consoleSink->append(bytes);
        consoleSink->push_back('\n');
        return;
    }
    // C stdio keeps the static Windows executable small (no iostreams).
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

constexpr char32_t kReplacement = U'\uFFFD';
constexpr char16_t kHighSurrogateFirst = 0xD800;
constexpr char16_t kLowSurrogateFirst = 0xDC00;
constexpr char16_t kLowSurrogateLast = 0xDFFF;
constexpr char32_t kSupplementaryBase = 0x10000;

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

}  // namespace

std::string ToUtf8(std::wstring_view text) {
    // Going through UTF-16 gives one decoder for both widths of wchar_t.
    const std::u16string units = ToUtf16(text);
    std::string out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t unit = units[i];
        if (unit < kHighSurrogateFirst || unit > kLowSurrogateLast) {
            AppendUtf8(out, unit);
        } else if (unit < kLowSurrogateFirst && i + 1 < units.size() &&
                   units[i + 1] >= kLowSurrogateFirst && units[i + 1] <= kLowSurrogateLast) {
            const char32_t high = unit - kHighSurrogateFirst;
            const char32_t low = units[i + 1] - kLowSurrogateFirst;
            AppendUtf8(out, kSupplementaryBase + (high << 10) + low);
            ++i;
        } else {
            AppendUtf8(out, kReplacement);
        }
    }
    return out;
}

void WriteLine(std::string_view line) { WriteBytes(line); }

void WriteLine(std::wstring_view line) { WriteBytes(ToUtf8(line)); }

RunLog* SetConsoleLog(RunLog* log) {
    RunLog* previous = consoleLog;
    consoleLog = log;
    return previous;
}

std::string* SetConsoleSink(std::string* sink) {
    std::string* previous = consoleSink;
    consoleSink = sink;
    return previous;
}
