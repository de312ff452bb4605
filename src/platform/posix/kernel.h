// Process and module functions of the Linux layer: the thread's last error, pseudo handles,
// CloseHandle, and the run-time lookup of the extended firmware-variable calls.
#pragma once

#include "platform/posix/win_types.h"

#include <chrono>
#include <memory>
#include <optional>

extern "C" {

DWORD WINAPI GetLastError();
void WINAPI SetLastError(DWORD dwErrCode);

// Pseudo handles, as Windows gives them: (HANDLE)-1 for the process, (HANDLE)-2 for the thread.
HANDLE WINAPI GetCurrentProcess();
HANDLE WINAPI GetCurrentThread();

// Closes a handle from this layer's handle table (tokens); pseudo handles close as a no-op.
BOOL WINAPI CloseHandle(HANDLE hObject);

// L"kernel32.dll" in any letter case gives a module handle; other names NULL with
// ERROR_MOD_NOT_FOUND.
HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName);

// On the kernel32 module: "GetFirmwareEnvironmentVariableExW" and
// "SetFirmwareEnvironmentVariableExW"; other names NULL with ERROR_PROC_NOT_FOUND.
FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);

}  // extern "C"

namespace posix {

// An object behind a HANDLE of this layer; the handle table owns it until CloseHandle.
class KernelObject {
  public:
    KernelObject() = default;
    KernelObject(const KernelObject&) = delete;
    KernelObject& operator=(const KernelObject&) = delete;
    virtual ~KernelObject() = default;
};

// Hands `object` to the handle table and returns its handle.
HANDLE InsertHandle(std::unique_ptr<KernelObject> object);

// The live object behind `handle`, or nullptr for a closed, pseudo or made-up handle.
KernelObject* LookupHandle(HANDLE handle);

// Owner of one POSIX file descriptor; closes it on reset and destruction.
class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    ~UniqueFd() { reset(); }

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    // Closes the descriptor; the result of close() (0, or -1 with errno), for writers that must
    // know whether their data reached the file.
    int reset();

  private:
    int fd_ = -1;
};

// How often a call that the kernel interrupted (EINTR) is tried again, and the pause before each
// try (file_io.h).
inline constexpr int kMaxInterruptedRetries = 16;
void PauseAfterInterrupt();

// An exclusive flock() on `fd`, tried again until `wait` has passed (no value: for ever). 0,
// EWOULDBLOCK when another holder kept it for the whole wait, or the errno of the failure. Polled
// rather than blocking, so that a holder that is stopped, not dead, cannot hold us for ever.
int LockExclusive(int fd, std::optional<std::chrono::milliseconds> wait);

// The Windows error code that fits an errno value of a file operation (EACCES and EPERM give
// ERROR_ACCESS_DENIED, ENOENT ERROR_FILE_NOT_FOUND, ENOSPC ERROR_DISK_FULL...); `fallback` for
// the rest.
DWORD ErrorFromErrno(int error, DWORD fallback);

}  // namespace posix
