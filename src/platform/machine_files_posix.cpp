#include "platform/machine_files.h"

#include "platform/posix/file_io.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <string_view>

namespace platform {
namespace {

using posix::UniqueFd;

constexpr mode_t kPermissionBits = S_IRWXU | S_IRWXG | S_IRWXO;

constexpr std::string_view kTempSuffix = ".tmp-XXXXXX";

// Temporary files of `file` that a killed writer left behind. Writers of a setting run one at
// a time (under the run lock), so every one of them is stale.
void RemoveLeftovers(const std::filesystem::path& file) {
    const std::string name = file.filename().string();
    const std::string prefix = name + std::string(kTempSuffix.substr(0, kTempSuffix.find('X')));
    const std::size_t length = name.size() + kTempSuffix.size();
    const UniqueFd folder(
        open(file.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder) return;
    posix::VisitFolderEntries(folder.get(), [&](std::string_view entry) {
        if (entry.size() == length && entry.starts_with(prefix)) {
            unlinkat(folder.get(), std::string(entry).c_str(), 0);
        }
    });
}

int ReplaceByRename(const std::filesystem::path& file, const struct stat& old,
                    std::string_view bytes) {
    RemoveLeftovers(file);
    posix::TemporaryFile temp(file.string() + std::string(kTempSuffix));
    UniqueFd fd = temp.Create();
    if (!fd) return errno;
    if (fchmod(fd.get(), old.st_mode & kPermissionBits) != 0) return errno;
    if (const int error = posix::WriteAll(fd.get(), bytes); error != 0) return error;
    // Not flushed: a plain folder stands in for the device in tests and on sample machines, where
    // a kill must leave the old value or the new one, but no power loss is played. On a real
    // device the firmware keeps what it was given.
    if (fd.reset() != 0) return errno;
    if (rename(temp.path(), file.c_str()) != 0) return errno;
    temp.Keep();
    return 0;
}

}  // namespace

std::optional<std::string> ReadRegularFile(const std::filesystem::path& file, std::size_t limit) {
    UniqueFd fd;
    if (posix::OpenRegularFile(file, /*extraFlags=*/0, fd) != 0) return std::nullopt;
    // Sysfs reports a fixed size for every attribute, so read up to the cap instead of trusting
    // the size on disk.
    std::string bytes;
    if (posix::ReadUpTo(fd.get(), limit, bytes) != 0) return std::nullopt;
    if (bytes.size() > limit + 1) bytes.resize(limit + 1);
    return bytes;
}

bool VisitFolder(const std::filesystem::path& folder,
                 const std::function<void(std::string_view name)>& visit) {
    return posix::VisitFolderEntries(folder, visit);
}

bool HasEntryNamed(const std::filesystem::path& folder, std::string_view name) {
    struct stat status {};
    return lstat((folder / name).c_str(), &status) == 0;
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
    if (const int error = posix::WriteOnce(fd.get(), bytes); error != 0) return error;
    return fd.reset() != 0 ? errno : 0;
}

}  // namespace platform
