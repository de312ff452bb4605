// The file store behind the registry of the Linux layer. Key <hive>\A\B is the file
// <store>/<hive>/A/B.reg and its subkeys live in the folder <store>/<hive>/A/B/, where <store>
// is var/lib/cellkeeper-patch/registry under the machine root. Names are found without regard
// to ASCII letter case and keep the case they were created with.
//
// Every change is a read-modify-write under an exclusive flock() on the key's folder, written
// to a temporary file in the same folder, flushed and renamed over the key file: a crash leaves
// the old file or the new one, never a mix, and two writers at the same moment cannot lose each
// other's values. A change that leaves the file's text as it is writes nothing. The folders
// whose entries changed (a rename, a new folder, a removal) are flushed later, all at once (see
// FolderFlushes). The lock is waited for at most ten seconds (ERROR_TIMEOUT), and its holder
// removes the temporary files of its key that a killed writer left. A file that cannot be
// parsed is reported as ERROR_REGISTRY_CORRUPT and never written.
#pragma once

#include "platform/posix/registry_format.h"
#include "platform/posix/win_types.h"

#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace posix {

// The values an open key handle last read, with the text they were parsed from: reading the
// same file again costs a read of at most a few KiB instead of a parse. The text, not the
// file's times, decides: timestamps are too coarse to tell two quick writes apart.
struct KeyFileCache {
    std::mutex mutex;
    std::optional<std::string> text;
    RegistryKeyFile key;
};

// The folders whose entries have changed since they were last flushed. A key file's new text is
// flushed before its rename, so the file is whole whenever it is there; the rename itself, and
// a new folder in its parent, last through a power loss once their folder is flushed. Like
// Windows, which writes its registry lazily (RegFlushKey forces it), the store flushes those
// folders together: when a key is closed, and when the process ends normally. A
// process that is killed loses nothing: the kernel holds its renames. Only a power loss before
// the flush can take back the latest changes, and only as a whole file each.
class FolderFlushes {
  public:
    FolderFlushes() = default;
    FolderFlushes(const FolderFlushes&) = delete;
    FolderFlushes& operator=(const FolderFlushes&) = delete;
    ~FolderFlushes() { FlushAll(); }

    void Add(const std::filesystem::path& folder);

    // fsync()s every pending folder, once; ERROR_SUCCESS or the first failure. A folder that
    // has gone since (a deleted key's) has nothing left to flush.
    DWORD FlushAll();

  private:
    std::mutex mutex_;
    std::set<std::filesystem::path> folders_;
};

class RegistryStore {
  public:
    // `names`: the hive's name ("HKEY_LOCAL_MACHINE"), then each subkey name. Changed folders go
    // to `flushes`.
    RegistryStore(std::vector<std::u16string> names, FolderFlushes& flushes);

    // The full key name as it appears in brackets.
    const std::u16string& fullName() const { return fullName_; }
    const std::filesystem::path& file() const { return file_; }

    // True for the hive itself, which exists without a file of its own.
    bool IsHive() const { return names_.size() == 1; }

    // ERROR_SUCCESS when the key exists, can be parsed and allows the access asked for
    // (`write`: changing its values), else ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED,
    // ERROR_REGISTRY_CORRUPT... The values read on the way go to `key` when it is given.
    DWORD Check(bool write, RegistryKeyFile* key = nullptr, KeyFileCache* cache = nullptr) const;

    // Creates the key and every missing key above it; `created` tells whether it was new.
    DWORD Create(bool& created) const;

    // Reads the key's values, parsed again only when the file's text differs from what `cache`
    // holds. A file larger than 1 MiB is ERROR_REGISTRY_CORRUPT.
    DWORD Read(RegistryKeyFile& key, KeyFileCache* cache = nullptr) const;

    // Applies `change` to the key under the lock and writes the result, unless `change` returns
    // an error or the result's text is the file's text already. ERROR_KEY_DELETED when the
    // key's file has gone; ERROR_FILE_TOO_LARGE, with the old file kept, when the result would
    // be larger than Read accepts.
    DWORD Update(const std::function<DWORD(RegistryKeyFile&)>& change,
                 KeyFileCache* cache = nullptr) const;

    // Removes the key's file and everything below it.
    DWORD DeleteTree() const;

    // Removes the key's values and every key below it; the key itself stays.
    DWORD Clear() const;

  private:
    // Read, with the file's text as it is in `text` (empty for a hive that has no file yet).
    DWORD Read(RegistryKeyFile& key, KeyFileCache* cache, std::string& text) const;
    // Makes the key's folder and every missing folder above it.
    DWORD MakeFolders() const;

    std::vector<std::u16string> names_;
    FolderFlushes& flushes_;
    std::u16string fullName_;
    std::filesystem::path folder_;   // the folder that holds the key file
    std::filesystem::path file_;     // <folder>/<name>.reg
    std::filesystem::path subkeys_;  // <folder>/<name>/
};

// The store's top folder under the machine root.
std::filesystem::path RegistryStoreRoot();

}  // namespace posix
