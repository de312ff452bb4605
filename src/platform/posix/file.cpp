#include "platform/posix/file.h"

#include "platform/posix/file_io.h"

#include "platform/posix/kernel.h"
#include "base/text.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <optional>
#include <string>

namespace {

constexpr DWORD kServedShareModes = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr mode_t kNewFileMode = 0644;

class FileObject : public posix::KernelObject {
  public:
    explicit FileObject(posix::UniqueFd fd) : fd_(std::move(fd)) {}
    int fd() const { return fd_.get(); }

  private:
    posix::UniqueFd fd_;
};

FileObject* LookupFile(HANDLE handle) {
    return dynamic_cast<FileObject*>(posix::LookupHandle(handle));
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

std::optional<std::string> PathBytes(LPCWSTR path) {
    if (path == nullptr || *path == L'\0') return std::nullopt;
    return WideToUtf8(path);
}

}  // namespace

extern "C" {

HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/,
                          DWORD dwCreationDisposition, DWORD /*dwFlagsAndAttributes*/,
                          HANDLE hTemplateFile) {
    int flags = O_CLOEXEC | O_NOCTTY;
    switch (dwCreationDisposition) {
        case OPEN_ALWAYS:
            flags |= O_CREAT;
            break;
        case CREATE_NEW:
            flags |= O_CREAT | O_EXCL;
            break;
        case OPEN_EXISTING:
            break;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_HANDLE_VALUE;
    }
    if (dwDesiredAccess != FILE_APPEND_DATA || (dwShareMode & ~kServedShareModes) != 0 ||
        hTemplateFile != nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    flags |= O_WRONLY | O_APPEND;
    const std::optional<std::string> path = PathBytes(lpFileName);
    if (!path) {
        SetLastError(ERROR_INVALID_NAME);
        return INVALID_HANDLE_VALUE;
    }
    posix::UniqueFd fd(open(path->c_str(), flags, kNewFileMode));
    if (!fd) {
        const int error = errno;
        if (error == EEXIST) {
            SetLastError(ERROR_FILE_EXISTS);
        } else if (error == ENOENT && (flags & O_CREAT) != 0) {
            // Creating, only the folder can be missing.
            SetLastError(ERROR_PATH_NOT_FOUND);
        } else {
            // A folder cannot be opened for data: EISDIR is Windows' access denied.
            SetLastError(error == EISDIR ? ERROR_ACCESS_DENIED
                                         : posix::ErrorFromErrno(error, ERROR_CANTOPEN));
        }
        return INVALID_HANDLE_VALUE;
    }
    struct stat info {};
    if (fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        // Devices and pipes are no files to keep a log in.
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    return posix::InsertHandle(std::make_unique<FileObject>(std::move(fd)));
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
    if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = 0;
    const FileObject* file = LookupFile(hFile);
    if (file == nullptr) return Fail(ERROR_INVALID_HANDLE);
    if (lpOverlapped != nullptr || (lpBuffer == nullptr && nNumberOfBytesToWrite != 0)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    const ssize_t written =
        posix::RetryInterrupted([&] { return write(file->fd(), lpBuffer, nNumberOfBytesToWrite); });
    if (written < 0) return Fail(posix::ErrorFromErrno(errno, ERROR_WRITE_FAULT));
    if (lpNumberOfBytesWritten != nullptr) {
        *lpNumberOfBytesWritten = static_cast<DWORD>(written);
    }
    return TRUE;
}

BOOL WINAPI GetFileSizeEx(HANDLE hFile, PLARGE_INTEGER lpFileSize) {
    const FileObject* file = LookupFile(hFile);
    if (file == nullptr) return Fail(ERROR_INVALID_HANDLE);
    if (lpFileSize == nullptr) return Fail(ERROR_NOACCESS);
    struct stat info {};
    if (fstat(file->fd(), &info) != 0) return Fail(posix::ErrorFromErrno(errno, ERROR_READ_FAULT));
    lpFileSize->QuadPart = static_cast<LONGLONG>(info.st_size);
    return TRUE;
}

BOOL WINAPI MoveFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, DWORD dwFlags) {
    if ((dwFlags & ~MOVEFILE_REPLACE_EXISTING) != 0) return Fail(ERROR_INVALID_PARAMETER);
    const std::optional<std::string> from = PathBytes(lpExistingFileName);
    const std::optional<std::string> to = PathBytes(lpNewFileName);
    if (!from || !to) return Fail(ERROR_INVALID_NAME);
    const unsigned int noReplace =
        (dwFlags & MOVEFILE_REPLACE_EXISTING) != 0 ? 0 : RENAME_NOREPLACE;
    if (renameat2(AT_FDCWD, from->c_str(), AT_FDCWD, to->c_str(), noReplace) != 0) {
        return Fail(errno == EEXIST ? ERROR_ALREADY_EXISTS
                                    : posix::ErrorFromErrno(errno, ERROR_ACCESS_DENIED));
    }
    return TRUE;
}

DWORD WINAPI GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

}  // extern "C"
