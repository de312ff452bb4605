#include "platform/posix/registry_store.h"

#include "base/text.h"
#include "platform/machine_root.h"
#include "platform/posix/file_io.h"
#include "platform/posix/kernel.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <system_error>

namespace posix {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kKeyFileSuffix = ".reg";
constexpr std::string_view kTempSuffix = ".tmp-XXXXXX";
constexpr mode_t kNewFileMode = S_IRUSR | S_IWUSR | S_IRGRP | S_IROTH;
constexpr mode_t kPermissionBits = S_IRWXU | S_IRWXG | S_IRWXO;
// The tool's state folder and everything in it are the running user's alone: whoever can open
// a folder can hold an flock() on it, and whoever can list it learns the record.
constexpr mode_t kPrivateFolderMode = S_IRWXU;
// Folders above the state folder (a machine tree's var/lib) as mkdir -p makes them.
constexpr mode_t kSystemFolderMode = S_IRWXU | S_IRWXG | S_IRWXO;
// The store's one lock, in the state folder beside the store: a file that only its owner can
// open, so that no other user can take it, whatever the rights of the folders once were.
constexpr const char* kLockFileName = "registry.lock";
constexpr mode_t kLockFileMode = S_IRUSR | S_IWUSR;
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

// The folder that holds the store and its lock.
fs::path StateFolder() { return RegistryStoreRoot().parent_path(); }

// Checks an opened folder or lock file of the store: one that another user owns is refused
// (whoever made it could have put keys into it, or hold it open), and one that an older version
// left open to group and others is closed to them.
DWORD MakePrivate(int fd, bool folder) {
    struct stat status {};
    if (fstat(fd, &status) != 0) return LastErrno(ERROR_REGISTRY_IO_FAILED);
    if (!(folder ? S_ISDIR(status.st_mode) : S_ISREG(status.st_mode))) return ERROR_ACCESS_DENIED;
    if (status.st_uid != geteuid()) return ERROR_ACCESS_DENIED;
    if ((status.st_mode & (S_IRWXG | S_IRWXO)) != 0 && fchmod(fd, status.st_mode & S_IRWXU) != 0) {
        return LastErrno(ERROR_REGISTRY_IO_FAILED);
    }
    return ERROR_SUCCESS;
}

// Opens `folder`, the state folder or one below it, one folder at a time from the state folder
// down, never through a link, and makes each one private on the way. ERROR_FILE_NOT_FOUND when
// a folder of the way is missing.
DWORD OpenPrivateFolder(const fs::path& folder, UniqueFd& fd) {
    const fs::path state = StateFolder();
    const fs::path below = folder.lexically_relative(state);
    if (below.empty() || *below.begin() == "..") return ERROR_ACCESS_DENIED;
    fd = UniqueFd(open(state.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd) return LastErrno(ERROR_REGISTRY_IO_FAILED);
    if (const DWORD result = MakePrivate(fd.get(), /*folder=*/true); result != ERROR_SUCCESS) {
        return result;
    }
    for (const fs::path& part : below) {
        if (part == ".") continue;
        UniqueFd next(
            openat(fd.get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next) return LastErrno(ERROR_REGISTRY_IO_FAILED);
        if (const DWORD result = MakePrivate(next.get(), /*folder=*/true);
            result != ERROR_SUCCESS) {
            return result;
        }
        fd = std::move(next);
    }
    return ERROR_SUCCESS;
}

// Holds the store's exclusive flock() for as long as it lives. One lock for the whole store: a
// change holds it for a read, a write and a flush, and a folder of the store cannot serve as a
// lock, since a process that opened one while it was still open to all would keep its lock.
class StoreLock {
  public:
    // ERROR_SUCCESS; ERROR_FILE_NOT_FOUND when there is no state folder (so no key either);
    // ERROR_TIMEOUT when another holder kept the lock for the whole wait; ERROR_ACCESS_DENIED
    // for a lock or folder of another user.
    DWORD Acquire() {
        UniqueFd state;
        if (const DWORD result = OpenPrivateFolder(StateFolder(), state); result != ERROR_SUCCESS) {
            return result;
        }
        fd_ = UniqueFd(openat(state.get(), kLockFileName,
                              O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                              kLockFileMode));
        if (!fd_) return LastErrno(ERROR_REGISTRY_IO_FAILED);
        if (const DWORD result = MakePrivate(fd_.get(), /*folder=*/false);
            result != ERROR_SUCCESS) {
            return result;
        }
        const int error = LockExclusive(fd_.get(), kLockWait);
        if (error == EWOULDBLOCK) return ERROR_TIMEOUT;
        return error == 0 ? ERROR_SUCCESS : ErrorFromErrno(error, ERROR_REGISTRY_IO_FAILED);
    }

  private:
    UniqueFd fd_;  // closing the descriptor releases the lock
};

// A name that a writer's temporary file has: "<key>.reg.tmp-" and six letters or digits.
bool IsTemporaryName(std::string_view name) {
    const std::string_view mark = ".reg.tmp-";
    constexpr std::size_t kRandom = 6;
    if (name.size() <= mark.size() + kRandom) return false;
    const std::size_t at = name.size() - kRandom - mark.size();
    if (name.substr(at, mark.size()) != mark) return false;
    for (const char c : name.substr(name.size() - kRandom)) {
        if (!std::isalnum(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

// Temporary files that killed writers left in a folder. Writers make them only under the store's
// lock, so whoever holds it knows that every one of them is stale. Only our own regular files
// go; a link, a folder or another user's file of that name is left as it is.
void RemoveLeftovers(int folderFd) {
    std::vector<std::string> stale;
    VisitFolderEntries(folderFd, [&](std::string_view entry) {
        if (IsTemporaryName(entry)) stale.emplace_back(entry);
    });
    for (const std::string& name : stale) {
        struct stat status {};
        if (fstatat(folderFd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(status.st_mode) && status.st_uid == geteuid()) {
            unlinkat(folderFd, name.c_str(), 0);
        }
    }
}

// Writes `text` into a new temporary file beside `file`, with the key file's rights and owner.
// Not flushed: the durable point flushes every temporary file at once, before any rename. The
// caller holds the store's lock.
DWORD WriteTemporary(const fs::path& file, std::string_view text,
                     std::unique_ptr<TemporaryFile>& temp) {
    // The reader refuses a larger file, and every later run would stop at it.
    if (text.size() > kMaxKeyFileSize) return ERROR_FILE_TOO_LARGE;
    struct stat old {};
    const bool hadFile = stat(file.c_str(), &old) == 0;

    temp = std::make_unique<TemporaryFile>(file.string() + std::string(kTempSuffix));
    UniqueFd fd = temp->Create();
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
    return fd.reset() != 0 ? LastErrno(ERROR_REGISTRY_IO_FAILED) : ERROR_SUCCESS;
}

// Flushes the file systems that hold `paths` (files or folders), each once: syncfs() writes the
// data of every file and every folder entry of its file system. A path that has gone since (a
// deleted key's folder) has nothing left to flush.
DWORD FlushFileSystems(const std::set<fs::path>& paths) {
    std::set<dev_t> flushed;
    DWORD result = ERROR_SUCCESS;
    for (const fs::path& path : paths) {
        struct stat status {};
        if (stat(path.c_str(), &status) != 0 || flushed.contains(status.st_dev)) continue;
        const UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
        DWORD error = ERROR_SUCCESS;
        if (!fd) {
            if (errno != ENOENT) error = LastErrno(ERROR_REGISTRY_IO_FAILED);
        } else if (syncfs(fd.get()) != 0) {
            error = LastErrno(ERROR_REGISTRY_IO_FAILED);
        } else {
            flushed.insert(status.st_dev);
        }
        if (result == ERROR_SUCCESS) result = error;
    }
    return result;
}

// Makes `paths` (files or folders) outlive a power loss: one of them alone by its own fsync(),
// more at once by a flush of their file systems, which costs one call each however many they
// are, but waits for everything else written there too.
DWORD FlushPaths(const std::set<fs::path>& paths) {
    if (paths.size() != 1) return FlushFileSystems(paths);
    const UniqueFd fd(open(paths.begin()->c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return errno == ENOENT ? ERROR_SUCCESS : LastErrno(ERROR_REGISTRY_IO_FAILED);
    return fsync(fd.get()) == 0 ? ERROR_SUCCESS : LastErrno(ERROR_REGISTRY_IO_FAILED);
}

std::u16string AsciiLower(std::u16string text) {
    for (char16_t& c : text) {
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    }
    return text;
}

// Applies the pending changes in their order. One that refuses now is left out, as it would have
// been on its own.
void ApplyChanges(const std::vector<KeyChange>& changes, RegistryKeyFile& key) {
    // The store's changes refuse, if at all, before they touch the values.
    for (const KeyChange& change : changes) change(key);
}

// Reads and parses a key file; `exists` false when there is none.
DWORD ReadKeyFile(const fs::path& file, const std::u16string& fullName, RegistryKeyFile& key,
                  bool& exists) {
    std::string text;
    const DWORD result = ReadWholeFile(file, text);
    exists = result != ERROR_FILE_NOT_FOUND;
    if (!exists) {
        key = RegistryKeyFile{fullName, {}};
        return ERROR_SUCCESS;
    }
    if (result != ERROR_SUCCESS) return result;
    auto parsed = ParseKeyFile(text);
    // A file that names another key is as unusable as one that cannot be read at all.
    if (!parsed || !EqualsIgnoreCase(parsed->keyName, fullName)) return ERROR_REGISTRY_CORRUPT;
    key = std::move(*parsed);
    return ERROR_SUCCESS;
}

}  // namespace

// A key file's new text, written and waiting for its rename.
struct PendingChanges::Replacement {
    std::unique_ptr<TemporaryFile> temp;
    fs::path file;
    std::string name;  // the key's entry in the pending changes
};

bool PendingChanges::Empty() {
    std::lock_guard lock(mutex_);
    return keys_.empty() && changedFolders_.empty();
}

PendingChanges::Key* PendingChanges::Find(const std::string& lowerName) {
    const auto found = keys_.find(lowerName);
    return found == keys_.end() ? nullptr : &found->second;
}

void PendingChanges::ForgetBelow(const std::string& lowerName, bool andKey) {
    const std::string below = lowerName + '\\';
    std::erase_if(keys_, [&](const auto& entry) {
        return (andKey && entry.first == lowerName) || entry.first.starts_with(below);
    });
}

DWORD PendingChanges::WriteFolder(std::vector<Key*>& keys, std::vector<Replacement>& replacements,
                                  std::vector<std::string>& done) {
    DWORD result = ERROR_SUCCESS;
    for (Key* key : keys) {
        RegistryKeyFile values;
        bool exists = false;
        DWORD read = ReadKeyFile(key->file, key->fullName, values, exists);
        if (read == ERROR_SUCCESS && !exists && !key->create) read = ERROR_KEY_DELETED;
        // A key file that has gone or no longer parses takes no changes; one that could not be
        // read keeps them for the next point.
        if (read != ERROR_SUCCESS) {
            if (read == ERROR_KEY_DELETED || read == ERROR_REGISTRY_CORRUPT) {
                done.push_back(key->name);
            }
            if (result == ERROR_SUCCESS) result = read;
            continue;
        }
        const std::string before = exists ? FormatKeyFile(values) : std::string();
        ApplyChanges(key->changes, values);
        const std::string text = FormatKeyFile(values);
        if (exists && text == before) {
            done.push_back(key->name);
            continue;
        }
        Replacement replacement{nullptr, key->file, key->name};
        // A text that could not be written (a full disk) stays pending for the next point.
        const DWORD written = WriteTemporary(key->file, text, replacement.temp);
        if (written != ERROR_SUCCESS) {
            if (result == ERROR_SUCCESS) result = written;
            continue;
        }
        replacements.push_back(std::move(replacement));
    }
    return result;
}

DWORD PendingChanges::Flush() {
    std::lock_guard lock(mutex_);
    if (keys_.empty() && changedFolders_.empty()) return ERROR_SUCCESS;
    std::map<fs::path, std::vector<Key*>> byFolder;
    for (auto& [name, key] : keys_) byFolder[key.folder].push_back(&key);

    DWORD result = ERROR_SUCCESS;
    StoreLock storeLock;
    std::vector<Replacement> replacements;
    std::vector<std::string> done;
    std::set<fs::path> folders = changedFolders_;
    DWORD locked = byFolder.empty() ? ERROR_SUCCESS : storeLock.Acquire();
    if (locked != ERROR_SUCCESS) {
        // Without a state folder there is no key left to change. Otherwise the changes stay
        // for the next point, and this one fails: nobody may take the store for written.
        if (locked == ERROR_FILE_NOT_FOUND) {
            for (auto& [name, key] : keys_) done.push_back(name);
            locked = ERROR_KEY_DELETED;
        }
        result = locked;
        byFolder.clear();
    }
    for (auto& [folder, keys] : byFolder) {
        UniqueFd folderFd;
        DWORD opened = OpenPrivateFolder(folder, folderFd);
        if (opened == ERROR_FILE_NOT_FOUND) {
            // The folder has gone, with every key in it.
            for (Key* key : keys) done.push_back(key->name);
            opened = ERROR_KEY_DELETED;
        }
        if (opened != ERROR_SUCCESS) {
            if (result == ERROR_SUCCESS) result = opened;
            continue;
        }
        folders.insert(folder);
        RemoveLeftovers(folderFd.get());
        const DWORD written = WriteFolder(keys, replacements, done);
        if (result == ERROR_SUCCESS) result = written;
    }
    // The new texts reach the disk before any name points to them...
    std::set<fs::path> texts;
    for (const Replacement& replacement : replacements) texts.insert(replacement.temp->path());
    DWORD flushed = texts.empty() ? ERROR_SUCCESS : FlushPaths(texts);
    if (flushed == ERROR_SUCCESS) {
        for (Replacement& replacement : replacements) {
            if (rename(replacement.temp->path(), replacement.file.c_str()) == 0) {
                replacement.temp->Keep();
                done.push_back(replacement.name);
            } else if (result == ERROR_SUCCESS) {
                result = LastErrno(ERROR_REGISTRY_IO_FAILED);
            }
        }
        // ...and the renames and new folders after them.
        flushed = FlushPaths(folders);
    }
    if (result == ERROR_SUCCESS) result = flushed;
    if (flushed == ERROR_SUCCESS) {
        for (const std::string& name : done) keys_.erase(name);
        changedFolders_.clear();
    }
    return result;
}

fs::path RegistryStoreRoot() {
    return platform::PathUnderMachineRoot("var/lib/cellkeeper-patch/registry");
}

RegistryStore::RegistryStore(std::vector<std::u16string> names, PendingChanges& pending)
    : names_(std::move(names)), pending_(pending) {
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (i > 0) fullName_ += u'\\';
        fullName_ += names_[i];
    }
    // Keyed by the store's folder as well: a test may move the machine root.
    const fs::path root = RegistryStoreRoot();
    lowerName_ = root.string() + '\n' + ToPathText(AsciiLower(fullName_));
    {
        // A key created in this process and not yet on disk keeps the spelling it was created
        // with, and needs no folder listed to find it.
        std::lock_guard lock(pending_.mutex_);
        if (const PendingChanges::Key* key = pending_.Find(lowerName_);
            key != nullptr && key->create && !IsHive()) {
            fullName_ = key->fullName;
            folder_ = key->folder;
            file_ = key->file;
            subkeys_ = folder_ / file_.stem();
            return;
        }
    }
    folder_ = root;
    std::string spelled;
    bool folderExists = true;
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (i > 0) folder_ /= spelled;
        spelled = ExistingSpelling(folder_, names_[i], folderExists);
    }
    file_ = folder_ / (spelled + std::string(kKeyFileSuffix));
    subkeys_ = folder_ / spelled;
}

DWORD RegistryStore::Check(bool write, RegistryKeyFile* key) const {
    struct stat status {};
    if (stat(file_.c_str(), &status) != 0) {
        const int error = errno;
        bool pendingCreate = IsHive();
        if (!pendingCreate && error == ENOENT) {
            std::lock_guard lock(pending_.mutex_);
            const PendingChanges::Key* pending = pending_.Find(lowerName_);
            pendingCreate = pending != nullptr && pending->create;
        }
        if (error != ENOENT && error != ENOTDIR) {
            return ErrorFromErrno(error, ERROR_REGISTRY_IO_FAILED);
        }
        if (!pendingCreate) return ERROR_FILE_NOT_FOUND;
        // Its file is made at the next durable point, in this folder.
        if (write && !IsHive() && !CanAccess(folder_, W_OK)) return ERROR_ACCESS_DENIED;
    } else {
        if (!S_ISREG(status.st_mode)) return ERROR_BADKEY;
        if (!CanAccess(file_, R_OK)) return ERROR_ACCESS_DENIED;
        // A change replaces the file, so it needs the folder as well as the file.
        if (write && (!CanAccess(file_, W_OK) || !CanAccess(folder_, W_OK))) {
            return ERROR_ACCESS_DENIED;
        }
    }
    RegistryKeyFile values;
    return Read(key != nullptr ? *key : values);
}

DWORD RegistryStore::ReadFile(RegistryKeyFile& key, bool& exists) const {
    return ReadKeyFile(file_, fullName_, key, exists);
}

DWORD RegistryStore::Read(RegistryKeyFile& key) const {
    bool exists = false;
    if (const DWORD result = ReadFile(key, exists); result != ERROR_SUCCESS) return result;
    std::lock_guard lock(pending_.mutex_);
    const PendingChanges::Key* pending = pending_.Find(lowerName_);
    if (!exists && !IsHive() && (pending == nullptr || !pending->create)) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (pending != nullptr) ApplyChanges(pending->changes, key);
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
    const fs::path state = StateFolder();
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        const fs::path below = it->lexically_relative(state);
        const bool inState = !below.empty() && *below.begin() != "..";
        // Another writer may make the same folder at the same moment.
        if (mkdir(it->c_str(), inState ? kPrivateFolderMode : kSystemFolderMode) != 0 &&
            errno != EEXIST) {
            return LastErrno(ERROR_REGISTRY_IO_FAILED);
        }
        // Until its parent is flushed at the durable point, a new folder can vanish in a power
        // loss, with every key that was written into it.
        std::lock_guard lock(pending_.mutex_);
        pending_.changedFolders_.insert(it->parent_path());
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
        if (const DWORD result = RegistryStore(std::move(parent), pending_).Create(parentCreated);
            result != ERROR_SUCCESS) {
            return result;
        }
    }
    if (IsHive()) return Check(/*write=*/false);
    if (access(file_.c_str(), F_OK) == 0) return ERROR_SUCCESS;
    if (errno != ENOENT) return LastErrno(ERROR_REGISTRY_IO_FAILED);
    std::lock_guard lock(pending_.mutex_);
    PendingChanges::Key& key = pending_.keys_[lowerName_];
    if (key.create) return ERROR_SUCCESS;
    // A key with pending changes whose file has gone since is made anew, without them.
    key = PendingChanges::Key{lowerName_, fullName_, folder_, file_, /*create=*/true, {}};
    created = true;
    return ERROR_SUCCESS;
}

DWORD RegistryStore::Update(KeyChange change) const {
    if (IsHive()) {
        if (const DWORD result = MakeFolders(); result != ERROR_SUCCESS) return result;
    }
    RegistryKeyFile key;
    DWORD result = Read(key);
    if (result != ERROR_SUCCESS) return result == ERROR_FILE_NOT_FOUND ? ERROR_KEY_DELETED : result;
    const RegistryKeyFile before = key;
    if (result = change(key); result != ERROR_SUCCESS) return result;
    if (key == before) return ERROR_SUCCESS;
    // The reader refuses a larger file, and every later run would stop at it.
    if (FormatKeyFile(key).size() > kMaxKeyFileSize) return ERROR_FILE_TOO_LARGE;
    std::lock_guard lock(pending_.mutex_);
    PendingChanges::Key& pending = pending_.keys_[lowerName_];
    if (pending.changes.empty() && !pending.create) {
        pending = PendingChanges::Key{lowerName_, fullName_, folder_, file_, IsHive(), {}};
    }
    pending.changes.push_back(std::move(change));
    return ERROR_SUCCESS;
}

DWORD RegistryStore::DeleteTree() const {
    if (IsHive()) return ERROR_ACCESS_DENIED;
    bool pendingCreate = false;
    {
        std::lock_guard lock(pending_.mutex_);
        const PendingChanges::Key* key = pending_.Find(lowerName_);
        pendingCreate = key != nullptr && key->create;
        pending_.ForgetBelow(lowerName_, /*andKey=*/true);
    }
    StoreLock lock;
    if (const DWORD result = lock.Acquire(); result != ERROR_SUCCESS) return result;
    UniqueFd folderFd;
    if (const DWORD result = OpenPrivateFolder(folder_, folderFd); result != ERROR_SUCCESS) {
        return result;
    }
    std::error_code error;
    const bool hadSubkeys = fs::remove_all(subkeys_, error) > 0;
    if (error) return ErrorFromErrno(error.value(), ERROR_REGISTRY_IO_FAILED);
    if (unlink(file_.c_str()) != 0) {
        if (errno != ENOENT) return LastErrno(ERROR_REGISTRY_IO_FAILED);
        if (!hadSubkeys && !pendingCreate) return ERROR_FILE_NOT_FOUND;
    }
    std::lock_guard pendingLock(pending_.mutex_);
    pending_.changedFolders_.insert(folder_);
    return ERROR_SUCCESS;
}

DWORD RegistryStore::Clear() const {
    {
        std::lock_guard lock(pending_.mutex_);
        pending_.ForgetBelow(lowerName_, /*andKey=*/false);
    }
    std::error_code error;
    fs::remove_all(subkeys_, error);
    if (error) return ErrorFromErrno(error.value(), ERROR_REGISTRY_IO_FAILED);
    return Update([](RegistryKeyFile& key) {
        key.values.clear();
        return static_cast<DWORD>(ERROR_SUCCESS);
    });
}

}  // namespace posix
