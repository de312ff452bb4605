#include "platform/posix/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

namespace posix {

void PauseAfterInterrupt() { std::this_thread::sleep_for(std::chrono::milliseconds(10)); }

int OpenRegularFile(const std::filesystem::path& path, int extraFlags, UniqueFd& fd) {
    fd = UniqueFd(RetryInterrupted([&] {
        return open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | extraFlags);
    }));
    if (!fd) return errno;
    struct stat status {};
    if (fstat(fd.get(), &status) != 0) return errno;
    if (!S_ISREG(status.st_mode)) {
        fd.reset();
        return ENOENT;
    }
    return 0;
}

int ReadUpTo(int fd, std::size_t limit, std::string& bytes) {
    constexpr std::size_t kPage = 4096;
    bytes.clear();
    while (bytes.size() <= limit) {
        const std::size_t had = bytes.size();
        bytes.resize(had + kPage);
        const ssize_t got = RetryInterrupted([&] { return read(fd, bytes.data() + had, kPage); });
        if (got < 0) {
            const int error = errno;
            bytes.resize(had);
            return error;
        }
        bytes.resize(had + static_cast<std::size_t>(got));
        if (got == 0) break;
    }
    return 0;
}

int WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written =
            RetryInterrupted([&] { return write(fd, bytes.data(), bytes.size()); });
        if (written < 0) return errno;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

int WriteOnce(int fd, std::string_view bytes) {
    const ssize_t written = RetryInterrupted([&] { return write(fd, bytes.data(), bytes.size()); });
    if (written < 0) return errno;
    return static_cast<std::size_t>(written) == bytes.size() ? 0 : EIO;
}

TemporaryFile::~TemporaryFile() {
    if (created_ && !kept_) unlink(path_.c_str());
}

UniqueFd TemporaryFile::Create() {
    UniqueFd fd(mkostemp(path_.data(), O_CLOEXEC));
    created_ = static_cast<bool>(fd);
    return fd;
}

namespace {

struct FolderListingCloser {
    void operator()(DIR* listing) const { closedir(listing); }
};
using FolderListing = std::unique_ptr<DIR, FolderListingCloser>;

bool VisitEntries(const FolderListing& listing,
                  const std::function<void(std::string_view name)>& visit) {
    if (!listing) return false;
    while (const dirent* entry = readdir(listing.get())) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") visit(name);
    }
    return true;
}

}  // namespace

bool VisitFolderEntries(const std::filesystem::path& folder,
                        const std::function<void(std::string_view name)>& visit) {
    return VisitEntries(FolderListing(opendir(folder.c_str())), visit);
}

bool VisitFolderEntries(int folderFd, const std::function<void(std::string_view name)>& visit) {
    // fdopendir takes the descriptor over; a duplicate leaves the caller's own, and the lock that
    // belongs to the open folder, as they are.
    UniqueFd listingFd(fcntl(folderFd, F_DUPFD_CLOEXEC, 0));
    if (!listingFd) return false;
    FolderListing listing(fdopendir(listingFd.get()));
    if (!listing) return false;
    listingFd.release();
    rewinddir(listing.get());
    return VisitEntries(listing, visit);
}

}  // namespace posix
