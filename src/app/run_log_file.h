// The run log's file, opened so that nothing standing at its name can send the writes of a
// privileged run elsewhere: no link, no reparse point, no file with a second name, nothing but
// a regular file. Each platform has its own source file (run_log_file_*.cpp).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class LogFile {
  public:
    virtual ~LogFile() = default;

    // Opens `path` for appending, creating it when missing. No file when it cannot be opened;
    // `refusal` then says why when something unsafe stands at the name (one console line).
    static std::unique_ptr<LogFile> Open(const std::wstring& path, std::string& refusal);

    virtual std::int64_t Size() const noexcept = 0;
    // One write at the end of the file; failures are dropped.
    virtual void Append(std::string_view bytes) noexcept = 0;
    enum class MoveAside {
        kMoved,
        kNotNamed,  // the name holds another file now: another run moved this one already
        kFailed,    // the rename was refused: something at ".1" that it may not replace
    };
    // Renames the opened file to its name + ".1", replacing that, but only while its name
    // still names this file.
    virtual MoveAside MoveAsideIfStillNamed() noexcept = 0;
    // Cuts the opened file to nothing; false when it cannot be.
    virtual bool Empty() noexcept = 0;
};
