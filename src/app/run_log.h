// The run log: one line per event of a run, appended to a file on the machine, so that what a
// deployment system ran is still readable afterwards. The log never changes the run: a file
// that cannot be written is skipped; one that is not a plain file of its own (a link, a
// reparse point, a FIFO, a device) is never opened for writing, and the console says so.
#pragma once

#include "base/console.h"
#include "platform/owners.h"
#include "platform/platform.h"

#include <cstdint>
#include <string>
#include <string_view>

// Past this size at the end of a run, the file becomes "<name>.1" and the next run begins a
// new one.
inline constexpr std::int64_t kRunLogRotateSize = 1024 * 1024;

class RunLog final : public ConsoleCopy {
  public:
    // Opens `path` for appending, creating it when missing, and never through a link or
    // reparse point at that name. An empty path, or a folder that does not exist, leaves the
    // log closed; a file that cannot be opened, or is no plain file, leaves it closed with one
    // console line. Lines end with `lineEnd`.
    RunLog(const std::wstring& path, std::string_view lineEnd);
    ~RunLog() override = default;
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;

    bool IsOpen() const { return static_cast<bool>(file_); }

    // Appends "<UTC time> <text>" and the line end in one write, so that runs at the same time
    // never mix parts of lines. Control characters in `text` become '?', keeping one line per
    // event. Failures are dropped.
    void WriteLine(std::string_view text) noexcept override;

    // Moves a file larger than kRunLogRotateSize to the path + ".1" (replacing an older one)
    // through the open handle, so that only the file this run opened moves, wherever the name
    // now leads. Call it only while holding the run lock: two runs rotating at once would
    // move the history twice. Later lines of this run go on into the moved file.
    void RotateIfLarge() noexcept;

  private:
    UniqueFileHandle file_;
    std::wstring path_;
    std::string lineEnd_;
};

// Rotates the log when it goes out of scope, if `holdsRunLock`. Declared after the run lock,
// it runs while the lock is still held.
class RunLogRotation {
  public:
    RunLogRotation(RunLog& log, bool holdsRunLock) : log_(log), holdsRunLock_(holdsRunLock) {}
    ~RunLogRotation() {
        if (holdsRunLock_) log_.RotateIfLarge();
    }
    RunLogRotation(const RunLogRotation&) = delete;
    RunLogRotation& operator=(const RunLogRotation&) = delete;

  private:
    RunLog& log_;
    bool holdsRunLock_;
};

// "2026-12-10T09:14:03Z": the time, in whole seconds, as ISO 8601 in UTC.
std::string FormatLogTime(std::int64_t secondsSince1970);

// Where this platform keeps the run log (the full file name), creating the folders that belong
// to the tool; empty when there is no usable place. Each platform has its own source file.
std::wstring RunLogFile() noexcept;

// How lines of the log end on this platform.
std::string_view RunLogLineEnd() noexcept;
