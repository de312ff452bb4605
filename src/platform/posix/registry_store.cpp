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
// As mkdir -p makes them: the umask decides.
constexpr mode_t kNewFolderMode = S_IRWXU | S_IRWXG | S_IRWXO;
// A key of this tool takes well under 1 KiB; a file far past that is nobody's key file.
constexpr std::size_t kMaxKeyFileSize = std::size_t{1} << 20;
// A change holds the lock for a read, a write and a flush; a holder that keeps it this long
// is stopped or stuck, and waiting on would hang the caller with it.
constexpr std::chrono::milliseconds kLockWait(10'000);

std::string ToPathText(std::u16string_view name) { return Utf16ToUtf8(name).value_or(""); }

// The name under which `name` already exists in `folder` (as a subkey folder or a key file),
// or `name` itself when it does not exist yet. `folderExists` turns false when `folder` cannot
// be listed: nothing below it needs looking for then.
std::string ExistingSpelling(const fs::path& folder, std::u16string_view name, bool& folderExists) {
    const std::string given = ToPathText(name);
    if (!folderExists) return given;
    std::error_code error;
    if (fs::exists(folder / (given + std::string(kKeyFileSuffix)), error) ||
        fs::is_directory(folder / given, error)) {
        return given;
    }
    fs::directory_iterator it(folder, error);
    if (error) folderExists = false;
    for (const fs::directory_iterator end; !error && it != end; it.increment(error)) {
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

// Holds an exclusive flock() on a folder for as long as it lives; its descriptor also lists the
// folder, so that one open serves a whole change.
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

// Temporary files of `file` that a killed writer left behind, listed through the locked folder's
// descriptor. Writers make them only under the folder's lock, so whoever holds the lock knows
// that every one of them is stale.
void RemoveLeftovers(int folderFd, const fs::path& file) {
    const std::string name = file.filename().string();
    const std::string prefix = name + std::string(kTempSuffix.substr(0, kTempSuffix.find('X')));
    const std::size_t length = name.size() + kTempSuffix.size();
    VisitFolderEntries(folderFd, [&](std::string_view entry) {
        if (entry.size() == length && entry.starts_with(prefix)) {
            unlinkat(folderFd, std::string(entry).c_str(), 0);
        }
    });
}

// Replaces `file` by `text`: temporary file in the same folder, flushed, renamed. The caller
// holds the folder's lock and has the folder flushed later.
DWORD ReplaceFile(int folderFd, const fs::path& file, std::string_view text) {
    // The reader refuses a larger file, and every later run would stop at it.
    if (text.size() > kMaxKeyFileSize) return ERROR_FILE_TOO_LARGE;
    RemoveLeftovers(folderFd, file);
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
    return ERROR_SUCCESS;
}

}  // namespace

void FolderFlushes::Add(const fs::path& folder) {
    std::lock_guard lock(mutex_);
    folders_.insert(folder.empty() ? fs::path(".") : folder);
}

DWORD FolderFlushes::FlushAll() {
    std::set<fs::path> folders;
    {
        std::lock_guard lock(mutex_);
        folders.swap(folders_);
    }
    DWORD result = ERROR_SUCCESS;
    for (const fs::path& folder : folders) {
        const UniqueFd fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        DWORD error = ERROR_SUCCESS;
        if (!fd) {
            if (errno != ENOENT) error = LastErrno(ERROR_REGISTRY_IO_FAILED);
        } else if (fsync(fd.get()) != 0) {
            error = LastErrno(ERROR_REGISTRY_IO_FAILED);
        }
        if (result == ERROR_SUCCESS) result = error;
    }
    return result;
}

fs::path RegistryStoreRoot() {
    return platform::PathUnderMachineRoot("var/lib/cellkeeper-patch/registry");
}

RegistryStore::RegistryStore(std::vector<std::u16string> names, FolderFlushes& flushes)
    : names_(std::move(names)), flushes_(flushes) {
    folder_ = RegistryStoreRoot();
    std::string spelled;
    bool folderExists = true;
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (i > 0) {
            folder_ /= spelled;
            fullName_ += u'\\';
        }
        fullName_ += names_[i];
        spelled = ExistingSpelling(folder_, names_[i], folderExists);
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
    return Read(key, cache, text);
}

DWORD RegistryStore::Read(RegistryKeyFile& key, KeyFileCache* cache, std::string& text) const {
    const DWORD result = ReadWholeFile(file_, text);
    if (result == ERROR_FILE_NOT_FOUND && IsHive()) {
        text.clear();
        key = RegistryKeyFile{fullName_, {}};
        return ERROR_SUCCESS;
    }
    if (result != ERROR_SUCCESS) return result;
    // Parsed again only when the text differs from what the cache holds.
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
        cache->text = text;
    }
    key = std::move(*parsed);
    return ERROR_SUCCESS;
}

DWORD RegistryStore::MakeFolders() const {
    // The folders to make, deepest first.
    std::vector<fs::path> missing;
    fs::path folder = folder_;
    struct stat status {};
    for (; !folder.empty(); folder = folder.parent_path()) {
        if (stat(folder.c_str(), &status) == 0) break;
        if (errno != ENOENT) return LastErrno(ERROR_REGISTRY_IO_FAILED);
        missing.push_back(folder);
    }
    if (!folder.empty() && !S_ISDIR(status.st_mode)) {
        return ErrorFromErrno(ENOTDIR, ERROR_REGISTRY_IO_FAILED);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        // Another writer may make the same folder at the same moment.
        if (mkdir(it->c_str(), kNewFolderMode) != 0 && errno != EEXIST) {
            return LastErrno(ERROR_REGISTRY_IO_FAILED);
        }
        // Until its parent is flushed, a new folder can vanish in a power loss, with every key
        // that was written into it.
        flushes_.Add(it->parent_path());
    }
    return ERROR_SUCCESS;
}

DWORD RegistryStore::Create(bool& created) const {
    created = false;
    if (const DWORD result = MakeFolders(); result != ERROR_SUCCESS) return result;
    // Keys above this one get files of their own, so that they can be opened too.
    if (names_.size() > 2) {
        std::vector<std::u16string> parent(names_.begin(), names_.end() - 1);
        bool parentCreated = false;
        if (const DWORD result = RegistryStore(std::move(parent), flushes_).Create(parentCreated);
            result != ERROR_SUCCESS) {
            return result;
        }
    }
    if (IsHive()) return Check(/*write=*/false);

    FolderLock lock;
    if (const DWORD result = lock.Acquire(folder_); result != ERROR_SUCCESS) return result;
    // A key that is there already may be the rename of a writer killed before its flush.
    flushes_.Add(folder_);
    if (access(file_.c_str(), F_OK) == 0) return ERROR_SUCCESS;
    if (errno != ENOENT) return LastErrno(ERROR_REGISTRY_IO_FAILED);
    const DWORD result = ReplaceFile(lock.fd(), file_, FormatKeyFile({fullName_, {}}));
    created = result == ERROR_SUCCESS;
    return result;
}

DWORD RegistryStore::Update(const std::function<DWORD(RegistryKeyFile&)>& change,
                            KeyFileCache* cache) const {
    if (IsHive()) {
        if (const DWORD result = MakeFolders(); result != ERROR_SUCCESS) return result;
    }
    FolderLock lock;
    if (const DWORD result = lock.Acquire(folder_); result != ERROR_SUCCESS) {
        return result == ERROR_FILE_NOT_FOUND ? ERROR_KEY_DELETED : result;
    }
    std::string text;
    RegistryKeyFile key;
    DWORD result = Read(key, cache, text);
    if (result != ERROR_SUCCESS) return result == ERROR_FILE_NOT_FOUND ? ERROR_KEY_DELETED : result;
    if (result = change(key); result != ERROR_SUCCESS) return result;
    std::string updated = FormatKeyFile(key);
    // The folder is flushed even when nothing is written: the file's present text may come from
    // a writer that was killed before its own flush.
    flushes_.Add(folder_);
    if (updated == text) return ERROR_SUCCESS;
    if (result = ReplaceFile(lock.fd(), file_, updated); result != ERROR_SUCCESS) return result;
    if (cache != nullptr) {
        // The next change of this handle finds its own text and parses nothing.
        std::lock_guard cacheLock(cache->mutex);
        cache->key = std::move(key);
        cache->text = std::move(updated);
    }
    return ERROR_SUCCESS;
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
    flushes_.Add(folder_);
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
