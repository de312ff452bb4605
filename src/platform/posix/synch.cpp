#include "platform/posix/synch.h"

#include "base/text.h"
#include "platform/machine_root.h"
#include "platform/posix/kernel.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr std::wstring_view kGlobalPrefix = L"Global\\";
constexpr mode_t kFolderMode = S_IRWXU | S_IRGRP | S_IXGRP | S_IROTH | S_IXOTH;
// Only the owner may open it for writing, so only a caller with the rights of the one who
// created it can hold the lock against it.
constexpr mode_t kLockFileMode = S_IRUSR | S_IWUSR;

class Mutex : public posix::KernelObject {
  public:
    explicit Mutex(posix::UniqueFd fd) : fd_(std::move(fd)) {}
    int fd() const { return fd_.get(); }
    unsigned owned = 0;

  private:
    posix::UniqueFd fd_;  // closing the descriptor releases the lock
};

// Only a refusal of the caller's rights is Windows' access denied. A read-only run/ (a unit
// under ProtectSystem=strict) is no question of rights: the lock cannot exist there at all.
DWORD FromErrno(int error) {
    if (error == EACCES || error == EPERM) return ERROR_ACCESS_DENIED;
    if (error == EROFS) return ERROR_WRITE_PROTECT;
    return posix::ErrorFromErrno(error, ERROR_INVALID_FUNCTION);
}

HANDLE Fail(DWORD error) {
    SetLastError(error);
    return nullptr;
}

}  // namespace

extern "C" {

HANDLE WINAPI CreateMutexW(LPSECURITY_ATTRIBUTES /*lpMutexAttributes*/, BOOL bInitialOwner,
                           LPCWSTR lpName) {
    if (bInitialOwner != FALSE) return Fail(ERROR_NOT_SUPPORTED);
    if (lpName == nullptr) return Fail(ERROR_INVALID_NAME);
    const std::wstring_view name(lpName);
    if (!name.starts_with(kGlobalPrefix)) return Fail(ERROR_INVALID_NAME);
    const std::wstring_view plain = name.substr(kGlobalPrefix.size());
    const auto utf8 = WideToUtf8(plain);
    if (plain.empty() || !utf8 ||
        utf8->find_first_of(std::string_view("/\\\0", 3)) != std::string::npos || *utf8 == "." ||
        *utf8 == "..") {
        return Fail(ERROR_INVALID_NAME);
    }

    const std::filesystem::path folder = platform::PathUnderMachineRoot("run");
    if (mkdir(folder.c_str(), kFolderMode) != 0 && errno != EEXIST) return Fail(FromErrno(errno));
    const std::filesystem::path file = folder / (*utf8 + ".lock");
    // run/ is emptied at every boot, and the tool runs at start-up: creating comes first, so
    // that the usual run opens the file once. Whatever holds the name already (a lock file,
    // or a link or a FIFO planted there) makes the creation fail with EEXIST.
    bool existed = false;
    posix::UniqueFd fd;
    for (int attempt = 0; attempt < 2 && !fd; ++attempt) {
        fd = posix::UniqueFd(open(file.c_str(),
                                  O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY,
                                  kLockFileMode));
        if (fd || errno != EEXIST) break;
        existed = true;
        fd = posix::UniqueFd(
            open(file.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
        // Removed in between: create it again.
        if (!fd && errno == ENOENT) existed = false;
    }
    if (!fd) {
        // A link, a folder or a device under the name: on Windows, another kind of object.
        const bool other = errno == ELOOP || errno == EISDIR || errno == ENXIO || errno == ENODEV;
        return Fail(other ? ERROR_INVALID_HANDLE : FromErrno(errno));
    }
    struct stat status {};
    if (fstat(fd.get(), &status) != 0) return Fail(FromErrno(errno));
    // A name held by anything else is, on Windows, another kind of object.
    if (!S_ISREG(status.st_mode)) return Fail(ERROR_INVALID_HANDLE);
    HANDLE handle = posix::InsertHandle(std::make_unique<Mutex>(std::move(fd)));
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    auto* mutex = dynamic_cast<Mutex*>(posix::LookupHandle(hHandle));
    if (mutex == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    if (mutex->owned > 0) {
        ++mutex->owned;
        return WAIT_OBJECT_0;
    }
    const std::optional<std::chrono::milliseconds> wait =
        dwMilliseconds == INFINITE
            ? std::nullopt
            : std::optional<std::chrono::milliseconds>(std::chrono::milliseconds(dwMilliseconds));
    const int error = posix::LockExclusive(mutex->fd(), wait);
    if (error == 0) {
        mutex->owned = 1;
        return WAIT_OBJECT_0;
    }
    if (error == EWOULDBLOCK) return WAIT_TIMEOUT;
    SetLastError(posix::ErrorFromErrno(error, ERROR_INVALID_FUNCTION));
    return WAIT_FAILED;
}

BOOL WINAPI ReleaseMutex(HANDLE hMutex) {
    auto* mutex = dynamic_cast<Mutex*>(posix::LookupHandle(hMutex));
    if (mutex == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (mutex->owned == 0) {
        SetLastError(ERROR_NOT_OWNER);
        return FALSE;
    }
    if (--mutex->owned == 0 && flock(mutex->fd(), LOCK_UN) != 0) {
        SetLastError(posix::ErrorFromErrno(errno, ERROR_INVALID_FUNCTION));
        return FALSE;
    }
    return TRUE;
}

}  // extern "C"
