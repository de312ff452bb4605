#include "platform/posix/file.h"

#include "platform/posix/file_io.h"

#include "base/text.h"
#include "platform/posix/kernel.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace {

constexpr DWORD kServedShareModes = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr mode_t kNewFileMode = 0644;

constexpr DWORD kServedFlags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;

class FileObject : public posix::KernelObject {
  public:
    FileObject(posix::UniqueFd fd, posix::UniqueFd folder, std::filesystem::path folderPath,
               std::string openedName, bool renamable)
        : fd_(std::move(fd)),
          folder_(std::move(folder)),
          folderPath_(std::move(folderPath)),
          name(std::move(openedName)),
          mayRename(renamable) {}
    int fd() const { return fd_.get(); }
    int folder() const { return folder_.get(); }
    const std::filesystem::path& folderPath() const { return folderPath_; }

  private:
    posix::UniqueFd fd_;
    posix::UniqueFd folder_;  // O_PATH: where the file was opened, whatever the path names later
    std::filesystem::path folderPath_;

  public:
    std::string name;  // the file's name in folder(), as it was opened or last renamed
    bool mayRename;
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
                          DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                          HANDLE hTemplateFile) {
    // Never blocks: a FIFO without a reader fails with ENXIO instead of waiting for one.
    int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
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
    if ((dwDesiredAccess & ~DELETE) != FILE_APPEND_DATA ||
        (dwShareMode & ~kServedShareModes) != 0 || (dwFlagsAndAttributes & ~kServedFlags) != 0 ||
        hTemplateFile != nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    flags |= O_WRONLY | O_APPEND;
    if ((dwFlagsAndAttributes & FILE_FLAG_OPEN_REPARSE_POINT) != 0) flags |= O_NOFOLLOW;
    const std::optional<std::string> path = PathBytes(lpFileName);
    if (!path) {
        SetLastError(ERROR_INVALID_NAME);
        return INVALID_HANDLE_VALUE;
    }
    const std::filesystem::path full(*path);
    std::filesystem::path folderPath = full.parent_path();
    if (folderPath.empty()) folderPath = ".";
    const std::string name = full.filename().string();
    if (name.empty()) {
        // A path that ends in a separator names a folder, which holds no data: access denied.
        struct stat named {};
        SetLastError(stat(full.c_str(), &named) == 0 && S_ISDIR(named.st_mode)
                         ? ERROR_ACCESS_DENIED
                         : ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    posix::UniqueFd folder(open(folderPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!folder) {
        SetLastError(errno == ENOENT || errno == ENOTDIR
                         ? ERROR_PATH_NOT_FOUND
                         : posix::ErrorFromErrno(errno, ERROR_CANTOPEN));
        return INVALID_HANDLE_VALUE;
    }
    posix::UniqueFd fd(openat(folder.get(), name.c_str(), flags, kNewFileMode));
    if (!fd) {
        const int error = errno;
        // A link where none may be, a FIFO that nobody reads, or a device without its driver:
        // no file for a log.
        if ((error == ELOOP && (flags & O_NOFOLLOW) != 0) || error == ENXIO) {
            SetLastError(ERROR_CANT_ACCESS_FILE);
        } else if (error == EEXIST) {
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
        SetLastError(ERROR_CANT_ACCESS_FILE);
        return INVALID_HANDLE_VALUE;
    }
    return posix::InsertHandle(std::make_unique<FileObject>(
        std::move(fd), std::move(folder), folderPath, name, (dwDesiredAccess & DELETE) != 0));
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

DWORD WINAPI GetFileType(HANDLE hFile) {
    if (LookupFile(hFile) == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FILE_TYPE_UNKNOWN;
    }
    SetLastError(ERROR_SUCCESS);
    return FILE_TYPE_DISK;
}

BOOL WINAPI GetFileInformationByHandle(HANDLE hFile,
                                       LPBY_HANDLE_FILE_INFORMATION lpFileInformation) {
    const FileObject* file = LookupFile(hFile);
    if (file == nullptr) return Fail(ERROR_INVALID_HANDLE);
    if (lpFileInformation == nullptr) return Fail(ERROR_NOACCESS);
    struct stat info {};
    if (fstat(file->fd(), &info) != 0) return Fail(posix::ErrorFromErrno(errno, ERROR_READ_FAULT));
    const auto size = static_cast<std::uint64_t>(info.st_size);
    const auto inode = static_cast<std::uint64_t>(info.st_ino);
    *lpFileInformation = BY_HANDLE_FILE_INFORMATION{
        .dwFileAttributes = FILE_ATTRIBUTE_NORMAL,
        .ftCreationTime = {},
        .ftLastAccessTime = {},
        .ftLastWriteTime = {},
        .dwVolumeSerialNumber = static_cast<DWORD>(info.st_dev),
        .nFileSizeHigh = static_cast<DWORD>(size >> 32),
        .nFileSizeLow = static_cast<DWORD>(size),
        .nNumberOfLinks = static_cast<DWORD>(info.st_nlink),
        .nFileIndexHigh = static_cast<DWORD>(inode >> 32),
        .nFileIndexLow = static_cast<DWORD>(inode),
    };
    return TRUE;
}

BOOL WINAPI SetFileInformationByHandle(HANDLE hFile, FILE_INFO_BY_HANDLE_CLASS FileInformationClass,
                                       LPVOID lpFileInformation, DWORD dwBufferSize) {
    FileObject* file = LookupFile(hFile);
    if (file == nullptr) return Fail(ERROR_INVALID_HANDLE);
    if (FileInformationClass != FileRenameInfo) return Fail(ERROR_INVALID_PARAMETER);
    const auto* rename = static_cast<const FILE_RENAME_INFO*>(lpFileInformation);
    if (rename == nullptr || dwBufferSize < sizeof(FILE_RENAME_INFO) ||
        rename->RootDirectory != nullptr || rename->FileNameLength % sizeof(WCHAR) != 0 ||
        offsetof(FILE_RENAME_INFO, FileName) + rename->FileNameLength > dwBufferSize) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (!file->mayRename) return Fail(ERROR_ACCESS_DENIED);
    const std::wstring target(rename->FileName, rename->FileNameLength / sizeof(WCHAR));
    const std::optional<std::string> bytes = PathBytes(target.c_str());
    if (!bytes) return Fail(ERROR_INVALID_NAME);
    const std::filesystem::path to(*bytes);
    if (to.parent_path() != file->folderPath() || to.filename().empty()) {
        return Fail(ERROR_NOT_SAME_DEVICE);
    }
    // Only the file this handle has open moves, never whatever took its name since.
    struct stat opened {};
    struct stat named {};
    if (fstat(file->fd(), &opened) != 0)
        return Fail(posix::ErrorFromErrno(errno, ERROR_READ_FAULT));
    if (fstatat(file->folder(), file->name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
        named.st_dev != opened.st_dev || named.st_ino != opened.st_ino) {
        return Fail(ERROR_FILE_NOT_FOUND);
    }
    const std::string toName = to.filename().string();
    const unsigned int noReplace = rename->ReplaceIfExists != 0 ? 0 : RENAME_NOREPLACE;
    if (renameat2(file->folder(), file->name.c_str(), file->folder(), toName.c_str(), noReplace) !=
        0) {
        return Fail(errno == EEXIST ? ERROR_ALREADY_EXISTS
                                    : posix::ErrorFromErrno(errno, ERROR_ACCESS_DENIED));
    }
    file->name = toName;
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
