// The run log: one line per event of a run, appended to a file on the machine, so that what a
// deployment system ran is still readable afterwards. The log never changes the run: a file
// that cannot be opened or written is skipped, with one console line when something unsafe
// stands where the log belongs.
#pragma once

#include "app/run_log_file.h"
#include "base/console.h"
#include "platform/platform.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// Past this size, the file becomes "<name>.1" and a new one begins.
inline constexpr std::int64_t kRunLogRotateSize = 1024 * 1024;

class RunLog final : public ConsoleCopy {
  public:
    // Opens `path` for appending, creating it when missing. An empty path, or a file that
    // cannot be opened safely, leaves the log closed; refusal() then holds the console line
    // that says why (or `refusal`, why the place itself was refused). Lines end with `lineEnd`.
    RunLog(const std::wstring& path, std::string_view lineEnd, std::string refusal = {});
    // Lines held for a rotation that never came go to the file as it is.
    ~RunLog() override;
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;

    bool IsOpen() const { return static_cast<bool>(file_); }
    const std::string& refusal() const { return refusal_; }

    // Call only while holding the run lock, so that two runs never both rotate: a file that
    // was larger than kRunLogRotateSize when opened becomes `path` + ".1" (replacing an older
    // one) if `path` still names it, and the lines so far go to the new file at `path`. When
    // ".1" cannot be replaced (a folder stands there), the file is emptied instead, with a line
    // that says so: the log never grows past its size for good.
    void RotateUnderLock() noexcept;

    // Appends "<UTC time> <text>" and the line end in one write, so that runs at the same time
    // never mix parts of lines. Control characters in `text` (C0, DEL, C1), the line and
    // paragraph separators U+2028 and U+2029, and bytes that are not well-formed UTF-8 become
    // '?', keeping one line per event for every reader. Failures are dropped.
    void WriteLine(std::string_view text) noexcept override;

  private:
    void Flush() noexcept;
    // "<UTC time> <text>" and the line end, `text` kept to one line.
    std::string Line(std::string_view text) const;

    std::wstring path_;
    std::unique_ptr<LogFile> file_;
    std::string lineEnd_;
    std::string refusal_;
    // While a rotation is due, lines wait here, so that they go to the new file.
    bool rotationDue_ = false;
    std::string held_;
};

// Where this platform keeps the run log (the full file name), creating the folders that belong
// to the tool; empty when there is no usable place, with `refusal` set when the place exists but
// is not safe to write into. Each platform has its own source file.
std::wstring RunLogFile(std::string& refusal) noexcept;

// How lines of the log end on this platform.
std::string_view RunLogLineEnd() noexcept;
