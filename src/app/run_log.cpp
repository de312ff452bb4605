#include "app/run_log.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <vector>

namespace {

constexpr std::wstring_view kRotatedSuffix = L".1";
// FILE_SHARE_DELETE lets a second run rotate the file while this one still appends to it.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens the file for appending: with FILE_APPEND_DATA as the only data right, every write lands
// at the end of the file as it is then, whoever else appends. DELETE lets the run rotate the
// file through this handle. A link or reparse point at the name is opened as itself, never
// followed, and then refused by IsPlainFile.
HANDLE OpenForAppend(const std::wstring& path) {
    return CreateFileW(path.c_str(), FILE_APPEND_DATA | DELETE, kShareAll,
                       /*lpSecurityAttributes=*/nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                       /*hTemplateFile=*/nullptr);
}

// A file on a disk, neither a folder nor a link, a junction or another reparse point.
bool IsPlainFile(HANDLE file) {
    if (GetFileType(file) != FILE_TYPE_DISK) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(file, &info) == FALSE) return false;
    return (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

void SayNoLog(const std::wstring& path, DWORD error) {
    WriteLine(L"WARNING: No run log this time; " + path +
              L" cannot be opened as a plain file; error code = " + std::to_wstring(error));
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
        path_ = path;
        file_.reset(OpenForAppend(path));
        if (!file_) {
            // Something other than a file at the name is worth a word; a missing folder, or one
            // that this caller may not write (a run without the rights it needs), is not.
            const DWORD error = GetLastError();
            if (error == ERROR_CANT_ACCESS_FILE) SayNoLog(path, error);
            return;
        }
        if (!IsPlainFile(file_.get())) {
            file_.reset();
            SayNoLog(path, ERROR_CANT_ACCESS_FILE);
        }
    } catch (const std::exception&) {
        // Out of memory: the run goes on without a log.
        file_.reset();
    }
}

void RunLog::RotateIfLarge() noexcept {
    if (!IsOpen()) return;
    try {
        LARGE_INTEGER size{};
        if (GetFileSizeEx(file_.get(), &size) == FALSE || size.QuadPart <= kRunLogRotateSize) {
            return;
        }
        const std::wstring rotated = path_ + std::wstring(kRotatedSuffix);
        const std::size_t nameBytes = rotated.size() * sizeof(WCHAR);
        // FILE_RENAME_INFO ends in the name; words of 8 bytes keep the block aligned.
        std::vector<std::uint64_t> block(
            (offsetof(FILE_RENAME_INFO, FileName) + nameBytes + sizeof(WCHAR) + 7) / 8);
        auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(block.data());
        rename->ReplaceIfExists = TRUE;
        rename->RootDirectory = nullptr;
        rename->FileNameLength = static_cast<DWORD>(nameBytes);
        std::memcpy(rename->FileName, rotated.c_str(), nameBytes + sizeof(WCHAR));
        // A failure keeps the file where it is: the next run tries again.
        SetFileInformationByHandle(file_.get(), FileRenameInfo, rename,
                                   static_cast<DWORD>(block.size() * sizeof(std::uint64_t)));
    } catch (const std::exception&) {
        // Out of memory: the file grows until a later run rotates it.
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
