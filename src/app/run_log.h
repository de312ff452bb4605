// The run log: one line per event of a run, appended to a file on the machine, so that what a
// deployment system ran is still readable afterwards. The log never changes the run: a file
// that cannot be opened or written is skipped without a word.
#pragma once

#include "base/console.h"
#include "platform/owners.h"
#include "platform/platform.h"

#include <cstdint>
#include <string>
#include <string_view>

// Past this size at the start of a run, the file becomes "<name>.1" and a new one begins.
inline constexpr std::int64_t kRunLogRotateSize = 1024 * 1024;

class RunLog final : public ConsoleCopy {
  public:
    // Opens `path` for appending, creating it when missing, after moving a file larger than
    // kRunLogRotateSize to `path` + ".1" (replacing an older one). An empty path, or a file
    // that cannot be opened, leaves the log closed. Lines end with `lineEnd`.
    RunLog(const std::wstring& path, std::string_view lineEnd);
    ~RunLog() override = default;
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;

    bool IsOpen() const { return static_cast<bool>(file_); }

    // Appends "<UTC time> <text>" and the line end in one write, so that runs at the same time
    // never mix parts of lines. Control characters in `text` become '?', keeping one line per
    // event. Failures are dropped.
    void WriteLine(std::string_view text) noexcept override;

  private:
    UniqueFileHandle file_;
    std::string lineEnd_;
};

// "2026-12-10T09:14:03Z": the time, in whole seconds, as ISO 8601 in UTC.
std::string FormatLogTime(std::int64_t secondsSince1970);

// Where this platform keeps the run log (the full file name), creating the folders that belong
// to the tool; empty when there is no usable place. Each platform has its own source file.
std::wstring RunLogFile() noexcept;

// How lines of the log end on this platform.
std::string_view RunLogLineEnd() noexcept;
