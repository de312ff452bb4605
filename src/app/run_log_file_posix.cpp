// Linux: var/log/cellkeeper-patch.log under the machine root. /var/log belongs to the system,
// so a machine tree without it has no log. The file is opened inside its opened folder, never
// through a link, without blocking (a FIFO planted there must not hang the run) and only when
// it is a regular file of one name; it is renamed inside that folder.
#include "app/file_refusals.h"
#include "app/run_log.h"
#include "app/run_log_file.h"

#include "app/unique_fd_posix.h"
#include "base/text.h"
#include "platform/machine_root.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <optional>

namespace {

// The log tells which machine ran what: for root and the adm group's readers.
constexpr mode_t kLogFileMode = S_IRUSR | S_IWUSR | S_IRGRP;

class PosixLogFile final : public LogFile {
  public:
    PosixLogFile(UniqueFd folder, std::string name, UniqueFd fd)
        : folder_(std::move(folder)), name_(std::move(name)), fd_(std::move(fd)) {}

    std::int64_t Size() const noexcept override {
        struct stat status {};
        return fstat(fd_.get(), &status) == 0 ? static_cast<std::int64_t>(status.st_size) : 0;
    }

    void Append(std::string_view bytes) noexcept override {
        // Past a file-size limit the write fails with EFBIG (SIGXFSZ is ignored): dropped.
        while (write(fd_.get(), bytes.data(), bytes.size()) < 0 && errno == EINTR) {
        }
    }

    MoveAside MoveAsideIfStillNamed() noexcept override {
        struct stat opened {};
        struct stat named {};
        if (fstat(fd_.get(), &opened) != 0 ||
            fstatat(folder_.get(), name_.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
            opened.st_dev != named.st_dev || opened.st_ino != named.st_ino) {
            return MoveAside::kNotNamed;
        }
        // A link or FIFO at ".1" is replaced as a name, never followed; a folder refuses.
        try {
            if (renameat(folder_.get(), name_.c_str(), folder_.get(), (name_ + ".1").c_str()) ==
                0) {
                return MoveAside::kMoved;
            }
            // Gone in between: another run moved it.
            return errno == ENOENT ? MoveAside::kNotNamed : MoveAside::kFailed;
        } catch (const std::exception&) {
            return MoveAside::kNotNamed;
        }
    }

    bool Empty() noexcept override { return ftruncate(fd_.get(), 0) == 0; }

  private:
    UniqueFd folder_;
    std::string name_;
    UniqueFd fd_;
};

std::string Refuse(const std::string& path, const char* why) {
    return "No run log: " + path + " " + why;
}

}  // namespace

std::unique_ptr<LogFile> LogFile::Open(const std::wstring& path, std::string& refusal) {
    const std::optional<std::string> bytes = WideToUtf8(path);
    if (path.empty() || !bytes) return nullptr;
    const std::filesystem::path file(*bytes);
    const std::string name = file.filename().string();
    UniqueFd folder(open(file.parent_path().empty() ? "." : file.parent_path().c_str(),
                         O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder || name.empty()) return nullptr;
    // Looked at before the open, so that a device is never opened at all.
    struct stat status {};
    if (fstatat(folder.get(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
        !S_ISREG(status.st_mode)) {
        // A folder cannot be written by mistake: it is merely no place for a log.
        if (!S_ISDIR(status.st_mode)) {
            refusal =
                Refuse(*bytes, S_ISLNK(status.st_mode) ? kRefusalIsALink : kRefusalNotARegularFile);
        }
        return nullptr;
    }
    UniqueFd fd(
        openat(folder.get(), name.c_str(),
               O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY,
               kLogFileMode));
    if (!fd) {
        // Whatever replaced the file in between.
        if (errno == ELOOP || errno == ENXIO) {
            refusal = Refuse(*bytes, kRefusalNotARegularFile);
        }
        return nullptr;
    }
    if (fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        refusal = Refuse(*bytes, kRefusalNotARegularFile);
        return nullptr;
    }
    if (status.st_nlink > 1) {
        // A second name is a way to make root write a file that lives elsewhere.
        refusal = Refuse(*bytes, "has more than one name (a hard link)");
        return nullptr;
    }
    return std::make_unique<PosixLogFile>(std::move(folder), name, std::move(fd));
}

std::wstring RunLogFile(std::string& /*refusal*/) noexcept {
    try {
        const std::filesystem::path file =
            platform::PathUnderMachineRoot("var/log/cellkeeper-patch.log");
        return file.wstring();
    } catch (const std::exception&) {
        return {};
    }
}

std::string_view RunLogLineEnd() noexcept { return "\n"; }
