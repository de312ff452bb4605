#include "app/run_log.h"

#include <chrono>
#include <cstdio>
#include <exception>

namespace {

constexpr std::wstring_view kRotatedSuffix = L".1";
// FILE_SHARE_DELETE lets a second run rotate the file while this one still appends to it.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens the file for appending only: with FILE_APPEND_DATA alone, every write lands at the end
// of the file as it is then, whoever else appends.
HANDLE OpenForAppend(const std::wstring& path) {
    return CreateFileW(path.c_str(), FILE_APPEND_DATA, kShareAll, /*lpSecurityAttributes=*/nullptr,
                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, /*hTemplateFile=*/nullptr);
}

std::int64_t Now() {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

std::string FormatLogTime(std::int64_t secondsSince1970) {
    using namespace std::chrono;
    const sys_seconds time{seconds{secondsSince1970}};
    const sys_days day = floor<days>(time);
    const year_month_day date{day};
    const hh_mm_ss clock{time - day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<int>(clock.hours().count()),
                  static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()));
    return text;
}

RunLog::RunLog(const std::wstring& path, std::string_view lineEnd) {
    if (path.empty()) return;
    try {
        lineEnd_ = lineEnd;
        file_.reset(OpenForAppend(path));
        if (!file_) return;
        LARGE_INTEGER size{};
        if (GetFileSizeEx(file_.get(), &size) != FALSE && size.QuadPart > kRunLogRotateSize) {
            // The open handle keeps appending to the renamed file; start a new one instead.
            file_.reset();
            const std::wstring rotated = path + std::wstring(kRotatedSuffix);
            MoveFileExW(path.c_str(), rotated.c_str(), MOVEFILE_REPLACE_EXISTING);
            file_.reset(OpenForAppend(path));
        }
    } catch (const std::exception&) {
        // Out of memory: the run goes on without a log.
        file_.reset();
    }
}

void RunLog::WriteLine(std::string_view text) noexcept {
    if (!IsOpen()) return;
    try {
        std::string line = FormatLogTime(Now());
        if (!text.empty()) {
            line += ' ';
            for (const char c : text) {
                const auto code = static_cast<unsigned char>(c);
                line += code < 0x20 || code == 0x7F ? '?' : c;
            }
        }
        line += lineEnd_;
        DWORD written = 0;
        WriteFile(file_.get(), line.data(), static_cast<DWORD>(line.size()), &written,
                  /*lpOverlapped=*/nullptr);
    } catch (const std::exception&) {
        // Out of memory: this line is lost, the run is not.
    }
}
