// The Linux layer's file I/O in one place: reads that never block and take regular files only,
// reads with a cap, whole writes, and temporary files for a replace by rename. A call that
// the kernel interrupts (EINTR) is tried again a bounded number of times after a short pause,
// as efivarfs needs: it answers a burst of reads with EINTR to limit their rate.
#pragma once

#include "platform/posix/kernel.h"

#include <cerrno>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace posix {

// Calls `call` again while it fails with EINTR, a bounded number of times with a short pause
// in between; returns its last result, with errno as it left it.
template <typename Call>
auto RetryInterrupted(Call call) {
    auto result = call();
    for (int retry = 0; result < 0 && errno == EINTR && retry < kMaxInterruptedRetries; ++retry) {
        PauseAfterInterrupt();
        result = call();
    }
    return result;
}

// Opens `path` for reading, without blocking, with `extraFlags` (O_NOFOLLOW, say) added. 0 with
// the descriptor in `fd`; ENOENT for anything but a regular file (a FIFO or a device planted
// there is no file of the machine); else the errno of the open.
int OpenRegularFile(const std::filesystem::path& path, int extraFlags, UniqueFd& fd);

// Reads to the end, or until `bytes` holds more than `limit` bytes (at most one page more), so
// that an oversized file costs no more than the cap. 0 or the errno of the read.
int ReadUpTo(int fd, std::size_t limit, std::string& bytes);

// Writes all of `bytes`, in as many calls as the kernel wants. 0 or the errno of the write.
int WriteAll(int fd, std::string_view bytes);

// Writes `bytes` in one call, as sysfs and efivarfs take a value: 0, the errno of the write, or
// EIO when the kernel took only part of it.
int WriteOnce(int fd, std::string_view bytes);

// Calls `visit` with the name of every entry of a folder but "." and "..", in the order the file
// system gives them; readdir, since a path object per entry costs more than the entry itself.
// The folder is `folder`, or the open folder `folderFd`, listed from its start through a
// descriptor of its own (`folderFd` stays open, with its locks). False, without a call, when the
// folder cannot be listed.
bool VisitFolderEntries(const std::filesystem::path& folder,
                        const std::function<void(std::string_view name)>& visit);
bool VisitFolderEntries(int folderFd, const std::function<void(std::string_view name)>& visit);

// A temporary file's name, removed again unless it was renamed into place.
class TemporaryFile {
  public:
    // `pattern` ends in "XXXXXX", for mkostemp().
    explicit TemporaryFile(std::string pattern) : path_(std::move(pattern)) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile();

    // Creates the file (O_EXCL: never through a link); the descriptor, or an invalid one with
    // errno set.
    UniqueFd Create();
    const char* path() const { return path_.c_str(); }
    // It has been renamed into place: nothing to remove.
    void Keep() { kept_ = true; }

  private:
    std::string path_;
    bool created_ = false;
    bool kept_ = false;
};

}  // namespace posix
