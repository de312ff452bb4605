#include "base/console.h"

#include "base/text.h"

#include <cstdio>

namespace {

// Tests only; the run itself always writes to standard output.
std::string* consoleSink = nullptr;
ConsoleCopy* consoleCopy = nullptr;

void WriteBytes(std::string_view bytes, std::string_view copy) {
    if (consoleCopy != nullptr) consoleCopy->WriteLine(copy);
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

}  // namespace

void WriteLine(std::string_view line) { WriteBytes(line, line); }

void WriteLine(std::wstring_view line) {
    const std::string bytes = ToUtf8(line);
    WriteBytes(bytes, bytes);
}

void WriteLine(std::wstring_view line, std::string_view copyLine) {
    WriteBytes(ToUtf8(line), copyLine);
}

ConsoleCopy* SetConsoleCopy(ConsoleCopy* copy) {
    ConsoleCopy* previous = consoleCopy;
    consoleCopy = copy;
    return previous;
}

std::string* SetConsoleSink(std::string* sink) {
    std::string* previous = consoleSink;
    consoleSink = sink;
    return previous;
}
