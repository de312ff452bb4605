#include "app/run_log.h"

#include "record/run_date.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <vector>

namespace {

std::int64_t Now() {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

RunLog::RunLog(const std::wstring& path, std::string_view lineEnd, std::string refusal) {
    try {
        refusal_ = std::move(refusal);
        path_ = path;
        lineEnd_ = lineEnd;
        file_ = LogFile::Open(path, refusal_);
        rotationDue_ = file_ && file_->Size() > kRunLogRotateSize;
    } catch (const std::exception&) {
        // Out of memory: the run goes on without a log.
        file_.reset();
    }
}

RunLog::~RunLog() { Flush(); }

void RunLog::Flush() noexcept {
    rotationDue_ = false;
    if (held_.empty() || !file_) return;
    file_->Append(held_);
    held_.clear();
}

void RunLog::RotateUnderLock() noexcept {
    if (!rotationDue_) return;
    try {
        file_->MoveAsideIfStillNamed();
        // Moved by this run or by another one before: either way `path` names the new file.
        std::string ignored;
        if (std::unique_ptr<LogFile> fresh = LogFile::Open(path_, ignored)) {
            file_ = std::move(fresh);
        }
    } catch (const std::exception&) {
        // Out of memory: the lines go to the file already open.
    }
    Flush();
}

void RunLog::WriteLine(std::string_view text) noexcept {
    if (!IsOpen()) return;
    try {
        std::string line = FormatUtcTime(Now());
        if (!text.empty()) {
            line += ' ';
            for (const char c : text) {
                const auto code = static_cast<unsigned char>(c);
                line += code < 0x20 || code == 0x7F ? '?' : c;
            }
        }
        line += lineEnd_;
        if (rotationDue_) {
            held_ += line;
        } else {
            file_->Append(line);
        }
    } catch (const std::exception&) {
        // Out of memory: this line is lost, the run is not.
    }
}
