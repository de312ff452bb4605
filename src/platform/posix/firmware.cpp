#include "platform/posix/firmware.h"

#include "base/text.h"
#include "platform/machine_root.h"
#include "platform/posix/file_io.h"
#include "platform/posix/kernel.h"
#include "platform/posix/token.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// UEFI variable attributes.
constexpr DWORD kNonVolatile = 0x1;
constexpr DWORD kBootServiceAccess = 0x2;
constexpr DWORD kRuntimeAccess = 0x4;
constexpr DWORD kDefaultAttributes = kNonVolatile | kBootServiceAccess | kRuntimeAccess;

constexpr std::size_t kAttributeBytes = 4;
// Real variables are far smaller; anything larger is not read into memory.
constexpr std::size_t kMaxDataBytes = 64 * 1024;
constexpr unsigned long kEfivarfsMagic = 0xde5e81e4;
constexpr mode_t kVariableMode = S_IRUSR | S_IWUSR | S_IRGRP | S_IROTH;

// "{994E9A98-28EB-4244-B5C6-1D92BE5321BD}" -> "994e9a98-28eb-4244-b5c6-1d92be5321bd".
std::optional<std::string> GuidForFileName(LPCWSTR guid) {
    constexpr std::size_t kBracedLength = 38;
    if (guid == nullptr) return std::nullopt;
    const std::wstring_view text(guid);
    if (text.size() != kBracedLength || text.front() != L'{' || text.back() != L'}') {
        return std::nullopt;
    }
    std::string out;
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        const wchar_t c = text[i];
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash) {
            if (c != L'-') return std::nullopt;
            out += '-';
        } else if ((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f')) {
            out += static_cast<char>(c);
        } else if (c >= L'A' && c <= L'F') {
            out += static_cast<char>(c - L'A' + L'a');
        } else {
            return std::nullopt;
        }
    }
    return out;
}

fs::path EfivarsFolder() { return platform::PathUnderMachineRoot("sys/firmware/efi/efivars"); }

// The variable's file, or an error code: the firmware has no variables, the privilege is not
// enabled, or the name or GUID cannot name a variable.
DWORD VariablePath(LPCWSTR name, LPCWSTR guid, fs::path& path) {
    if (!posix::SystemEnvironmentPrivilegeEnabled()) return ERROR_PRIVILEGE_NOT_HELD;
    const fs::path folder = EfivarsFolder();
    std::error_code error;
    if (!fs::is_directory(folder, error)) return ERROR_INVALID_FUNCTION;
    if (name == nullptr || *name == L'\0') return ERROR_INVALID_PARAMETER;
    const auto utf8Name = WideToUtf8(name);
    const auto guidText = GuidForFileName(guid);
    if (!utf8Name || !guidText || utf8Name->find('/') != std::string::npos) {
        return ERROR_INVALID_PARAMETER;
    }
    path = folder / (*utf8Name + "-" + *guidText);
    return ERROR_SUCCESS;
}

bool IsRegularFile(int fd) {
    struct stat status {};
    return fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
}

DWORD Fail(DWORD error) {
    SetLastError(error);
    return 0;
}

// The whole of an open variable file, or enough of it to tell that it is larger than any
// variable we take.
DWORD ReadVariableBytes(int fd, std::string& bytes) {
    const int error = posix::ReadUpTo(fd, kAttributeBytes + kMaxDataBytes, bytes);
    return error == 0 ? ERROR_SUCCESS : posix::ErrorFromErrno(error, ERROR_READ_FAULT);
}

DWORD ReadVariableFile(const fs::path& path, std::vector<BYTE>& content) {
    // Non-blocking, so that a FIFO or a device planted at the path cannot hold the run; efivarfs
    // has no links, so a link there is no variable either, and every variable is a regular file.
    posix::UniqueFd fd;
    if (const int error = posix::OpenRegularFile(path, O_NOFOLLOW, fd); error != 0) {
        return error == ENOENT || error == ELOOP ? ERROR_ENVVAR_NOT_FOUND
                                                 : posix::ErrorFromErrno(error, ERROR_READ_FAULT);
    }
    std::string bytes;
    if (const DWORD error = ReadVariableBytes(fd.get(), bytes); error != ERROR_SUCCESS) {
        return error;
    }
    content.assign(bytes.begin(), bytes.end());
    return ERROR_SUCCESS;
}

// Decodes the little-endian attribute word at the start of a variable file.
DWORD AttributeWord(const BYTE* content) {
    DWORD attributes = 0;
    for (std::size_t i = 0; i < kAttributeBytes; ++i) {
        attributes |= static_cast<DWORD>(content[i]) << (8 * i);
    }
    return attributes;
}

// The variable as a write finds it, opened once for the two things the write needs from it:
// its attribute word, for the firmware's rules, and its FS_IMMUTABLE_FL, which efivarfs requires
// cleared before a variable can be written or removed. A flag it clears is set again when this
// object goes.
class StoredVariable {
  public:
    StoredVariable() = default;
    StoredVariable(const StoredVariable&) = delete;
    StoredVariable& operator=(const StoredVariable&) = delete;
    ~StoredVariable() {
        if (!lifted_) return;
        int flags = 0;
        if (ioctl(fd_.get(), FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_IMMUTABLE_FL;
            (void)ioctl(fd_.get(), FS_IOC_SETFLAGS, &flags);
        }
    }

    // ERROR_SUCCESS also when there is no variable. A link or anything but a regular file is not
    // a variable to write through: ERROR_WRITE_FAULT.
    DWORD Open(const fs::path& path) {
        fd_ = posix::UniqueFd(posix::RetryInterrupted([&] {
            return open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        }));
        if (!fd_) {
            if (errno == ENOENT) return ERROR_SUCCESS;
            return errno == ELOOP ? ERROR_WRITE_FAULT
                                  : posix::ErrorFromErrno(errno, ERROR_READ_FAULT);
        }
        if (!IsRegularFile(fd_.get())) return ERROR_WRITE_FAULT;
        std::string bytes;
        if (const DWORD error = ReadVariableBytes(fd_.get(), bytes); error != ERROR_SUCCESS) {
            return error;
        }
        // An empty file or one of the attribute word alone is a deleted variable.
        if (bytes.size() > kAttributeBytes) {
            attributes_ = AttributeWord(reinterpret_cast<const BYTE*>(bytes.data()));
        }
        return ERROR_SUCCESS;
    }

    // The attribute word of the variable as it is stored now; none without a variable.
    std::optional<DWORD> attributes() const { return attributes_; }

    DWORD LiftImmutableFlag() {
        if (!fd_) return ERROR_SUCCESS;
        int flags = 0;
        if (ioctl(fd_.get(), FS_IOC_GETFLAGS, &flags) != 0) {
            // Ordinary folders (a test machine) may not know file flags at all.
            return IgnorableFlagError(errno) ? ERROR_SUCCESS
                                             : posix::ErrorFromErrno(errno, ERROR_WRITE_FAULT);
        }
        if ((flags & FS_IMMUTABLE_FL) == 0) return ERROR_SUCCESS;
        flags &= ~FS_IMMUTABLE_FL;
        if (ioctl(fd_.get(), FS_IOC_SETFLAGS, &flags) != 0) {
            return posix::ErrorFromErrno(errno, ERROR_WRITE_FAULT);
        }
        lifted_ = true;
        return ERROR_SUCCESS;
    }

    // After a removal there is nothing to set the flag on again.
    void Forget() { lifted_ = false; }

  private:
    static bool IgnorableFlagError(int error) {
        return error == ENOTTY || error == EINVAL || error == EOPNOTSUPP;
    }
    posix::UniqueFd fd_;
    std::optional<DWORD> attributes_;
    bool lifted_ = false;
};

DWORD WriteVariable(const fs::path& path, const BYTE* data, DWORD size, DWORD attributes) {
    // The checks of a conforming firmware's SetVariable (UEFI's rules, as EDK2 applies them)
    // that Windows reports as ERROR_INVALID_PARAMETER: runtime access needs boot-service
    // access, and an existing variable keeps its attributes; only a write without access
    // attributes (a deletion) may name other ones. Made here on every folder, efivarfs too:
    // a plain folder (a test machine, the stand-in) would take any attribute word, and the
    // layer must not be kinder than the firmware it stands for.
    if ((attributes & (kBootServiceAccess | kRuntimeAccess)) == kRuntimeAccess) {
        return ERROR_INVALID_PARAMETER;
    }
    StoredVariable stored;
    if (const DWORD opened = stored.Open(path); opened != ERROR_SUCCESS) return opened;
    if (stored.attributes() && attributes != 0 && attributes != *stored.attributes()) {
        return ERROR_INVALID_PARAMETER;
    }
    if (const DWORD lifted = stored.LiftImmutableFlag(); lifted != ERROR_SUCCESS) return lifted;

    // A size of 0, or no access attributes, removes the variable.
    if (size == 0 || (attributes & (kBootServiceAccess | kRuntimeAccess)) == 0) {
        if (unlink(path.c_str()) != 0) {
            return errno == ENOENT ? ERROR_ENVVAR_NOT_FOUND
                                   : posix::ErrorFromErrno(errno, ERROR_WRITE_FAULT);
        }
        stored.Forget();
        return ERROR_SUCCESS;
    }

    std::vector<BYTE> content(kAttributeBytes + size);
    for (std::size_t i = 0; i < kAttributeBytes; ++i) {
        content[i] = static_cast<BYTE>((attributes >> (8 * i)) & 0xFFu);
    }
    std::memcpy(content.data() + kAttributeBytes, data, size);

    // The folders above may be links, the variable itself may not: a write must never land
    // outside the firmware's folder.
    posix::UniqueFd fd(open(path.c_str(),
                            O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY,
                            kVariableMode));
    if (!fd) return posix::ErrorFromErrno(errno, ERROR_WRITE_FAULT);
    if (!IsRegularFile(fd.get())) return ERROR_WRITE_FAULT;
    // efivarfs takes the attributes and the data in one write().
    const int error = posix::WriteOnce(
        fd.get(), std::string_view(reinterpret_cast<const char*>(content.data()), content.size()));
    // A part taken (EIO) is as much a fault as a refusal.
    if (error != 0) return posix::ErrorFromErrno(error, ERROR_WRITE_FAULT);
    // efivarfs replaces the variable on write; an ordinary file keeps an older, longer tail.
    struct statfs filesystem {};
    if (fstatfs(fd.get(), &filesystem) == 0 &&
        static_cast<unsigned long>(filesystem.f_type) != kEfivarfsMagic &&
        ftruncate(fd.get(), static_cast<off_t>(content.size())) != 0) {
        return posix::ErrorFromErrno(errno, ERROR_WRITE_FAULT);
    }
    if (fd.reset() != 0) return posix::ErrorFromErrno(errno, ERROR_WRITE_FAULT);
    return ERROR_SUCCESS;
}

}  // namespace

extern "C" {

DWORD WINAPI GetFirmwareEnvironmentVariableExW(LPCWSTR lpName, LPCWSTR lpGuid, PVOID pBuffer,
                                               DWORD nSize, PDWORD pdwAttribubutes) {
    fs::path path;
    if (const DWORD error = VariablePath(lpName, lpGuid, path); error != ERROR_SUCCESS) {
        return Fail(error);
    }
    std::vector<BYTE> content;
    if (const DWORD error = ReadVariableFile(path, content); error != ERROR_SUCCESS) {
        return Fail(error);
    }
    // A variable without data has been deleted; efivarfs can show it for a moment.
    if (content.size() <= kAttributeBytes) return Fail(ERROR_ENVVAR_NOT_FOUND);
    const std::size_t dataSize = content.size() - kAttributeBytes;
    if (dataSize > kMaxDataBytes) return Fail(ERROR_INVALID_DATA);
    if (pBuffer == nullptr || nSize < dataSize) return Fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(pBuffer, content.data() + kAttributeBytes, dataSize);
    if (pdwAttribubutes != nullptr) *pdwAttribubutes = AttributeWord(content.data());
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(dataSize);
}

DWORD WINAPI GetFirmwareEnvironmentVariableW(LPCWSTR lpName, LPCWSTR lpGuid, PVOID pBuffer,
                                             DWORD nSize) {
    return GetFirmwareEnvironmentVariableExW(lpName, lpGuid, pBuffer, nSize, nullptr);
}

BOOL WINAPI SetFirmwareEnvironmentVariableExW(LPCWSTR lpName, LPCWSTR lpGuid, PVOID pValue,
                                              DWORD nSize, DWORD dwAttributes) {
    fs::path path;
    if (const DWORD error = VariablePath(lpName, lpGuid, path); error != ERROR_SUCCESS) {
        return static_cast<BOOL>(Fail(error));
    }
    if (nSize > kMaxDataBytes) return static_cast<BOOL>(Fail(ERROR_INVALID_PARAMETER));
    if (pValue == nullptr && nSize != 0) return static_cast<BOOL>(Fail(ERROR_NOACCESS));
    const DWORD error = WriteVariable(path, static_cast<const BYTE*>(pValue), nSize, dwAttributes);
    if (error != ERROR_SUCCESS) return static_cast<BOOL>(Fail(error));
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI SetFirmwareEnvironmentVariableW(LPCWSTR lpName, LPCWSTR lpGuid, PVOID pValue,
                                            DWORD nSize) {
    return SetFirmwareEnvironmentVariableExW(lpName, lpGuid, pValue, nSize, kDefaultAttributes);
}

}  // extern "C"
