#include "platform/posix/synch.h"

#include "platform/machine/machine_root.h"
#include "platform/posix/kernel.h"
#include "platform/posix/registry_text.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

namespace {

constexpr std::wstring_view kGlobalPrefix = L"Global\\";
constexpr mode_t kFolderMode = S_IRWXU | S_IRGRP | S_IXGRP | S_IROTH | S_IXOTH;
// Only the owner may open it for writing, so only a caller with the rights of the one who
// created it can hold the lock against it.
constexpr mode_t kLockFileMode = S_IRUSR | S_IWUSR;
constexpr auto kPollInterval = std::chrono::milliseconds(10);
constexpr int kMaxInterruptedRetries = 16;

class Mutex : public posix::KernelObject {
  public:
    explicit Mutex(posix::UniqueFd fd) : fd_(std::move(fd)) {}
    int fd() const { return fd_.get(); }
    unsigned owned = 0;

  private:
    posix::UniqueFd fd_;  // closing the descriptor releases the lock
};

DWORD FromErrno(int error) {
    return error == EACCES || error == EPERM || error == EROFS
               ? ERROR_ACCESS_DENIED
               : posix::ErrorFromErrno(error, ERROR_INVALID_FUNCTION);
}

HANDLE Fail(DWORD error) {
    SetLastError(error);
    return nullptr;
}

bool TryLock(int fd, int& error) {
    int interrupted = 0;
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR && ++interrupted < kMaxInterruptedRetries) continue;
        error = errno;
        return false;
    }
    return true;
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
    const auto utf8 = posix::WideToUtf8(plain);
    if (plain.empty() || !utf8 ||
        utf8->find_first_of(std::string_view("/\\\0", 3)) != std::string::npos || *utf8 == "." ||
        *utf8 == "..") {
        return Fail(ERROR_INVALID_NAME);
    }

    const std::filesystem::path folder = machine::PathUnderRoot("run");
    if (mkdir(folder.c_str(), kFolderMode) != 0 && errno != EEXIST) return Fail(FromErrno(errno));
    const std::filesystem::path file = folder / (*utf8 + ".lock");
    bool existed = true;
    posix::UniqueFd fd(open(file.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd && errno == ENOENT) {
        existed = false;
        fd = posix::UniqueFd(open(file.c_str(),
                                  O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY,
                                  kLockFileMode));
        // Another process created it in between.
        if (!fd && errno == EEXIST) {
            existed = true;
            fd = posix::UniqueFd(
                open(file.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
        }
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
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(dwMilliseconds);
    for (;;) {
        int error = 0;
        if (TryLock(mutex->fd(), error)) {
            mutex->owned = 1;
            return WAIT_OBJECT_0;
        }
        if (error != EWOULDBLOCK) {
            SetLastError(posix::ErrorFromErrno(error, ERROR_INVALID_FUNCTION));
            return WAIT_FAILED;
        }
        const auto now = std::chrono::steady_clock::now();
        if (dwMilliseconds != INFINITE && now >= deadline) return WAIT_TIMEOUT;
        // Polled rather than a blocking flock(), so that every wait ends when its time is up.
        std::this_thread::sleep_for(
            dwMilliseconds == INFINITE
                ? kPollInterval
                : std::min<std::chrono::steady_clock::duration>(kPollInterval, deadline - now));
    }
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
