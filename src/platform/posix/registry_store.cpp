#include "platform/posix/registry_store.h"

#include "platform/machine_root.h"
#include "platform/posix/file_io.h"
#include "platform/posix/kernel.h"
#include "base/text.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <system_error>

namespace posix {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kKeyFileSuffix = ".reg";
constexpr std::string_view kTempSuffix = ".tmp-XXXXXX";
constexpr mode_t kNewFileMode = S_IRUSR | S_IWUSR | S_IRGRP | S_IROTH;
constexpr mode_t kPermissionBits = S_IRWXU | S_IRWXG | S_IRWXO;
// A key of this tool takes well under 1 KiB; a file far past that is nobody's key file.
constexpr std::size_t kMaxKeyFileSize = std::size_t{1} << 20;
// A change holds the lock for a read, a write and two flushes; a holder that keeps it this long
// is stopped or stuck, and waiting on would hang the caller with it.
constexpr std::chrono::milliseconds kLockWait(10'000);

std::string ToPathText(std::u16string_view name) { return Utf16ToUtf8(name).value_or(""); }

// The name under which `name` already exists in `folder` (as a subkey folder or a key file),
// or `name` itself when it does not exist yet.
std::string ExistingSpelling(const fs::path& folder, std::u16string_view name) {
    const std::string given = ToPathText(name);
    std::error_code error;
    if (fs::exists(folder / (given + std::string(kKeyFileSuffix)), error) ||
        fs::is_directory(folder / given, error)) {
        return given;
    }
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::string entry = it->path().filename().string();
        if (entry.ends_with(kKeyFileSuffix)) {
            entry.resize(entry.size() - kKeyFileSuffix.size());
        } else if (!it->is_directory(error)) {
            continue;
        }
        const auto spelled = Utf8ToUtf16(entry);
        if (spelled && EqualsIgnoreCase(*spelled, name)) return entry;
    }
    return given;
}

bool CanAccess(const fs::path& path, int mode) {
    return faccessat(AT_FDCWD, path.c_str(), mode, AT_EACCESS) == 0;
}

// errno after a failed call, as a registry result.
DWORD LastErrno(DWORD fallback) { return ErrorFromErrno(errno, fallback); }

// Reads the key file, unless it is larger than any key file of ours can be: ERROR_REGISTRY_CORRUPT
// then, with at most one page past the cap read. Anything but a regular file (a FIFO planted at
// the key's path) is no key file.
DWORD ReadWholeFile(const fs::path& path, std::string& text) {
    UniqueFd fd;
    if (const int error = OpenRegularFile(path, /*extraFlags=*/0, fd); error != 0) {
        return ErrorFromErrno(error, ERROR_REGISTRY_IO_FAILED);
    }
    if (const int error = ReadUpTo(fd.get(), kMaxKeyFileSize, text); error != 0) {
        return ErrorFromErrno(error, ERROR_REGISTRY_IO_FAILED);
    }
    return text.size() > kMaxKeyFileSize ? ERROR_REGISTRY_CORRUPT : ERROR_SUCCESS;
}

// Holds an exclusive flock() on a folder for as long as it lives.
class FolderLock {
  public:
    DWORD Acquire(const fs::path& folder) {
        fd_ = UniqueFd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!fd_) return LastErrno(ERROR_REGISTRY_IO_FAILED);
        const int error = LockExclusive(fd_.get(), kLockWait);
        if (error == EWOULDBLOCK) return ERROR_TIMEOUT;
        return error == 0 ? ERROR_SUCCESS : ErrorFromErrno(error, ERROR_REGISTRY_IO_FAILED);
    }
    int fd() const { return fd_.get(); }

  private:
    UniqueFd fd_;  // closing the descriptor releases the lock
};

// Temporary files of `file` that a killed writer left behind. Writers make them only under the
// folder's lock, so whoever holds the lock knows that every one of them is stale.
void RemoveLeftovers(const fs::path& file) {
    const std::string name = file.filename().string();
    const std::string prefix = name + std::string(kTempSuffix.substr(0, kTempSuffix.find('X')));
    const std::size_t length = name.size() + kTempSuffix.size();
    std::error_code error;
    for (fs::directory_iterator it(file.parent_path(), error), end; !error && it != end;
         it.increment(error)) {
        const std::string entry = it->path().filename().string();
        if (entry.size() == length && entry.starts_with(prefix)) unlink(it->path().c_str());
    }
}

// Replaces `file` by `text`: temporary file in the same folder, flushed, renamed, folder flushed.
// The caller holds the folder's lock.
DWORD ReplaceFile(int folderFd, const fs::path& file, std::string_view text) {
    RemoveLeftovers(file);
    struct stat old {};
    const bool hadFile = stat(file.c_str(), &old) == 0;

    TemporaryFile temp(file.string() + std::string(kTempSuffix));
    UniqueFd fd = temp.Create();
    if (!fd) return LastErrno(ERROR_REGISTRY_IO_FAILED);
    if (fchmod(fd.get(), hadFile ? (old.st_mode & kPermissionBits) : kNewFileMode) != 0) {
        return LastErrno(ERROR_REGISTRY_IO_FAILED);
    }
    if (hadFile && (old.st_uid != geteuid() || old.st_gid != getegid())) {
        // Keep the owner when an administrator rewrites somebody else's key; best effort (a
        // plain cast does not silence glibc's warn_unused_result in hardened builds).
        if (fchown(fd.get(), old.st_uid, old.st_gid) != 0) {
        }
    }
    if (const int error = WriteAll(fd.get(), text); error != 0) {
        return ErrorFromErrno(error, ERROR_REGISTRY_IO_FAILED);
    }
    if (fsync(fd.get()) != 0 || fd.reset() != 0) return LastErrno(ERROR_REGISTRY_IO_FAILED);
    if (rename(temp.path(), file.c_str()) != 0) return LastErrno(ERROR_REGISTRY_IO_FAILED);
    temp.Keep();
    if (fsync(folderFd) != 0) return LastErrno(ERROR_REGISTRY_IO_FAILED);
    return ERROR_SUCCESS;
}

}  // namespace

fs::path RegistryStoreRoot() {
    return platform::PathUnderMachineRoot("var/lib/cellkeeper-patch/registry");
}

RegistryStore::RegistryStore(std::vector<std::u16string> names) : names_(std::move(names)) {
    folder_ = RegistryStoreRoot();
    std::string spelled;
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (i > 0) {
            folder_ /= spelled;
            fullName_ += u'\\';
        }
        fullName_ += names_[i];
        spelled = ExistingSpelling(folder_, names_[i]);
    }
    file_ = folder_ / (spelled + std::string(kKeyFileSuffix));
    subkeys_ = folder_ / spelled;
}

DWORD RegistryStore::Check(bool write, RegistryKeyFile* key, KeyFileCache* cache) const {
    struct stat status {};
    if (stat(file_.c_str(), &status) != 0) {
        if (errno == ENOENT && IsHive()) {
            if (key != nullptr) *key = RegistryKeyFile{fullName_, {}};
            return ERROR_SUCCESS;
        }
        return errno == ENOENT || errno == ENOTDIR ? ERROR_FILE_NOT_FOUND
                                                   : LastErrno(ERROR_REGISTRY_IO_FAILED);
    }
    if (!S_ISREG(status.st_mode)) return ERROR_BADKEY;
    if (!CanAccess(file_, R_OK)) return ERROR_ACCESS_DENIED;
    // A change replaces the file, so it needs the folder as well as the file.
    if (write && (!CanAccess(file_, W_OK) || !CanAccess(folder_, W_OK))) {
        return ERROR_ACCESS_DENIED;
    }
    RegistryKeyFile values;
    return Read(key != nullptr ? *key : values, cache);
}

DWORD RegistryStore::Read(RegistryKeyFile& key, KeyFileCache* cache) const {
    std::string text;
    const DWORD result = ReadWholeFile(file_, text);
    if (result == ERROR_FILE_NOT_FOUND && IsHive()) {
        key = RegistryKeyFile{fullName_, {}};
        return ERROR_SUCCESS;
    }
    if (result != ERROR_SUCCESS) return result;
    std::unique_lock<std::mutex> cacheLock;
    if (cache != nullptr) {
        cacheLock = std::unique_lock(cache->mutex);
        if (cache->text == text) {
            key = cache->key;
            return ERROR_SUCCESS;
        }
        cache->text.reset();
    }
    auto parsed = ParseKeyFile(text);
    // A file that names another key is as unusable as one that cannot be read at all.
    if (!parsed || !EqualsIgnoreCase(parsed->keyName, fullName_)) return ERROR_REGISTRY_CORRUPT;
    if (cache != nullptr) {
        cache->key = *parsed;
        cache->text = std::move(text);
    }
    key = std::move(*parsed);
    return ERROR_SUCCESS;
}

DWORD RegistryStore::Create(bool& created) const {
    created = false;
    std::error_code error;
    fs::create_directories(folder_, error);
    if (error) return ErrorFromErrno(error.value(), ERROR_REGISTRY_IO_FAILED);
    // Keys above this one get files of their own, so that they can be opened too.
    if (names_.size() > 2) {
        std::vector<std::u16string> parent(names_.begin(), names_.end() - 1);
        bool parentCreated = false;
        if (const DWORD result = RegistryStore(std::move(parent)).Create(parentCreated);
            result != ERROR_SUCCESS) {
            return result;
        }
    }
    if (IsHive()) return Check(/*write=*/false);

    FolderLock lock;
    if (const DWORD result = lock.Acquire(folder_); result != ERROR_SUCCESS) return result;
    if (access(file_.c_str(), F_OK) == 0) return ERROR_SUCCESS;
    if (errno != ENOENT) return LastErrno(ERROR_REGISTRY_IO_FAILED);
    const DWORD result = ReplaceFile(lock.fd(), file_, FormatKeyFile({fullName_, {}}));
    created = result == ERROR_SUCCESS;
    return result;
}

DWORD RegistryStore::Update(const std::function<DWORD(RegistryKeyFile&)>& change,
                            KeyFileCache* cache) const {
    if (IsHive()) {
        std::error_code error;
        fs::create_directories(folder_, error);
        if (error) return ErrorFromErrno(error.value(), ERROR_REGISTRY_IO_FAILED);
    }
    FolderLock lock;
    if (const DWORD result = lock.Acquire(folder_); result != ERROR_SUCCESS) {
        return result == ERROR_FILE_NOT_FOUND ? ERROR_KEY_DELETED : result;
    }
    RegistryKeyFile key;
    if (const DWORD result = Read(key, cache); result != ERROR_SUCCESS) {
        return result == ERROR_FILE_NOT_FOUND ? ERROR_KEY_DELETED : result;
    }
    if (const DWORD result = change(key); result != ERROR_SUCCESS) return result;
    return ReplaceFile(lock.fd(), file_, FormatKeyFile(key));
}

DWORD RegistryStore::DeleteTree() const {
    if (IsHive()) return ERROR_ACCESS_DENIED;
    FolderLock lock;
    if (const DWORD result = lock.Acquire(folder_); result != ERROR_SUCCESS) return result;
    std::error_code error;
    const bool hadSubkeys = fs::remove_all(subkeys_, error) > 0;
    if (error) return ErrorFromErrno(error.value(), ERROR_REGISTRY_IO_FAILED);
    if (unlink(file_.c_str()) != 0) {
        if (errno != ENOENT) return LastErrno(ERROR_REGISTRY_IO_FAILED);
        if (!hadSubkeys) return ERROR_FILE_NOT_FOUND;
    }
    if (fsync(lock.fd()) != 0) return LastErrno(ERROR_REGISTRY_IO_FAILED);
    return ERROR_SUCCESS;
}

DWORD RegistryStore::Clear() const {
    std::error_code error;
    fs::remove_all(subkeys_, error);
    if (error) return ErrorFromErrno(error.value(), ERROR_REGISTRY_IO_FAILED);
    return Update([](RegistryKeyFile& key) {
        key.values.clear();
        return static_cast<DWORD>(ERROR_SUCCESS);
    });
}

}  // namespace posix
