#include "app/run_log.h"

#include "base/text.h"
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

// The length of the well-formed UTF-8 sequence at the start of `bytes` and its code point, or 0
// for a byte that starts none (a stray continuation byte, an overlong form, a surrogate, a
// truncated sequence).
std::size_t DecodeOne(std::string_view bytes, char32_t& code) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;  // the range of the second byte, tighter after some leads
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (bytes.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char next = byte(i);
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) return 0;
        code = (code << 6) | (next & 0x3Fu);
    }
    return length;
}

// Whether some reader takes `code` for the end of a line or a command of the terminal: the C0
// and C1 controls, DEL, and the line and paragraph separators.
bool BreaksALine(char32_t code) {
    return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x2028 || code == 0x2029;
}

// `text` with each character that could end a line, and each byte of ill-formed UTF-8 (which a
// reader of another encoding may take for such a character), as '?': one event, one line.
void AppendOneLine(std::string_view text, std::string& line) {
    while (!text.empty()) {
        char32_t code = 0;
        const std::size_t length = DecodeOne(text, code);
        if (length == 0 || BreaksALine(code)) {
            line += '?';
        } else {
            line.append(text.substr(0, length));
        }
        text.remove_prefix(length == 0 ? 1 : length);
    }
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
        if (file_->MoveAsideIfStillNamed() == LogFile::MoveAside::kFailed) {
            // Something that the rename may not replace holds "<name>.1" (a folder, say). It is
            // left alone, and the log starts afresh where it is, so that it stays within its
            // size for good.
            if (file_->Empty()) {
                held_.insert(0, Line("run log emptied: " + ToUtf8(path_) +
                                     ".1 cannot be replaced to keep the older lines"));
            }
        } else {
            // Moved by this run or by another one before: either way `path` names the new file.
            std::string ignored;
            if (std::unique_ptr<LogFile> fresh = LogFile::Open(path_, ignored)) {
                file_ = std::move(fresh);
            }
        }
    } catch (const std::exception&) {
        // Out of memory: the lines go to the file already open.
    }
    Flush();
}

std::string RunLog::Line(std::string_view text) const {
    std::string line = FormatUtcTime(Now());
    if (!text.empty()) {
        line += ' ';
        AppendOneLine(text, line);
    }
    line += lineEnd_;
    return line;
}

void RunLog::WriteLine(std::string_view text) noexcept {
    if (!IsOpen()) return;
    try {
        std::string line = Line(text);
        if (rotationDue_) {
            held_ += line;
        } else {
            file_->Append(line);
        }
    } catch (const std::exception&) {
        // Out of memory: this line is lost, the run is not.
    }
}
