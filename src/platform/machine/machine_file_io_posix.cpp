#include "platform/machine/machine_file_io.h"

#include "platform/posix/kernel.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace machine {
namespace {

using posix::UniqueFd;

constexpr int kMaxInterruptedRetries = 16;
constexpr mode_t kPermissionBits = S_IRWXU | S_IRWXG | S_IRWXO;

// Removes the temporary file unless it has been renamed into place.
class TemporaryFile {
  public:
    explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (!kept_) unlink(path_.c_str());
    }
    char* path() { return path_.data(); }
    void Keep() { kept_ = true; }

  private:
    std::string path_;
    bool kept_ = false;
};

int WriteAll(int fd, std::string_view bytes) {
    int interrupted = 0;
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR && ++interrupted < kMaxInterruptedRetries) continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

// The kernel takes an attribute in one write(); a short write is a refusal, not a pause.
int WriteOnce(int fd, std::string_view bytes) {
    ssize_t written = -1;
    for (int interrupted = 0; interrupted < kMaxInterruptedRetries; ++interrupted) {
        written = write(fd, bytes.data(), bytes.size());
        if (written >= 0 || errno != EINTR) break;
    }
    if (written < 0) return errno;
    return static_cast<std::size_t>(written) == bytes.size() ? 0 : EIO;
}

int ReplaceByRename(const std::filesystem::path& file, const struct stat& old,
                    std::string_view bytes) {
    TemporaryFile temp(file.string() + ".tmp-XXXXXX");
    UniqueFd fd(mkostemp(temp.path(), O_CLOEXEC));
    if (!fd) return errno;
    if (fchmod(fd.get(), old.st_mode & kPermissionBits) != 0) return errno;
    if (const int error = WriteAll(fd.get(), bytes); error != 0) return error;
    if (fsync(fd.get()) != 0 || fd.reset() != 0) return errno;
    if (rename(temp.path(), file.c_str()) != 0) return errno;
    temp.Keep();
    // The rename must outlive a power cut too; a folder that cannot be flushed is no refusal.
    const UniqueFd folder(open(file.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder) (void)fsync(folder.get());
    return 0;
}

}  // namespace

std::optional<std::string> ReadRegularFile(const std::filesystem::path& file, std::size_t limit) {
    const UniqueFd fd(open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd) return std::nullopt;
    struct stat status {};
    if (fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;

    // Sysfs reports a fixed size for every attribute, so read in pages up to one byte past the
    // cap instead of trusting the size on disk.
    constexpr std::size_t kChunk = 4096;
    std::string bytes;
    int interrupted = 0;
    while (bytes.size() <= limit) {
        const std::size_t had = bytes.size();
        bytes.resize(had + kChunk);
        const ssize_t got = read(fd.get(), bytes.data() + had, kChunk);
        if (got < 0) {
            bytes.resize(had);
            if (errno == EINTR && ++interrupted < kMaxInterruptedRetries) continue;
            return std::nullopt;
        }
        bytes.resize(had + static_cast<std::size_t>(got));
        if (got == 0) break;
    }
    if (bytes.size() > limit + 1) bytes.resize(limit + 1);
    return bytes;
}

int ReplaceAttributeFile(const std::filesystem::path& file, std::string_view bytes) {
    // Folders above may be links (sysfs is made of them); the file itself may not. Looked at
    // before the open, so that a FIFO without a reader is refused like any other non-file.
    struct stat status {};
    if (lstat(file.c_str(), &status) != 0) return errno;
    if (!S_ISREG(status.st_mode)) return EPERM;
    UniqueFd fd(open(file.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd) return errno;
    // And after it, for whatever replaced the file in between.
    if (fstat(fd.get(), &status) != 0) return errno;
    if (!S_ISREG(status.st_mode)) return EPERM;
    struct statfs filesystem {};
    if (fstatfs(fd.get(), &filesystem) != 0) return errno;
    if (static_cast<unsigned long>(filesystem.f_type) != SYSFS_MAGIC) {
        return ReplaceByRename(file, status, bytes);
    }
    if (ftruncate(fd.get(), 0) != 0) return errno;
    if (const int error = WriteOnce(fd.get(), bytes); error != 0) return error;
    return fd.reset() != 0 ? errno : 0;
}

}  // namespace machine
