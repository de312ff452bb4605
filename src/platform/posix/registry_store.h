// The file store behind the registry of the Linux layer. Key <hive>\A\B is the file
// <store>/<hive>/A/B.reg and its subkeys live in the folder <store>/<hive>/A/B/, where <store>
// is var/lib/cellkeeper-patch/registry under the machine root. Names are found without regard
// to ASCII letter case and keep the case they were created with.
//
// Like Windows, which keeps its registry in memory and writes it lazily (RegFlushKey forces it),
// the store keeps a key's changes in the process (PendingChanges) until a durable point, so that
// a run flushes the disk at two points instead of at every value. Every handle of the process
// sees them at once. At a durable point each changed key file is rewritten as a whole under the
// store's exclusive flock(): read, the process's changes applied in their order, written to a
// temporary file in the same folder and renamed over the key file, so that a crash leaves the
// old file or the new one, never a mix, and two writers at the same moment cannot lose each
// other's values. A change that leaves the file's text as it is writes nothing. The lock is the
// file registry.lock in the state folder (var/lib/cellkeeper-patch), which only its owner can
// open; it is waited for at most ten seconds (ERROR_TIMEOUT), and its holder removes the
// temporary files that killed writers left in every folder it writes into. A file that cannot
// be parsed is reported as ERROR_REGISTRY_CORRUPT and never written.
//
// The state folder and every folder below it are the running user's alone (0700): new ones are
// made so, and a writer closes one that an older version left open to others. A folder or lock
// of another user is refused (ERROR_ACCESS_DENIED): whoever made it could have written keys into
// it. A failure to write (no lock, a full disk, an I/O error) is the durable point's result.
#pragma once

#include "platform/posix/registry_format.h"
#include "platform/posix/win_types.h"

#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace posix {

// A change of a key's values; it may refuse with an error code, and then before it touches them.
using KeyChange = std::function<DWORD(RegistryKeyFile&)>;

// What this process has changed in the store and not yet made durable. A durable point (Flush)
// writes every changed key file and makes the files, their renames and the folders made since
// the last point outlive a power loss: the temporary files are written and flushed, they are
// renamed, and the folders are flushed. A new name therefore never points to data that a power
// loss could take back. Each of the two steps is one fsync() when it has one file or folder to
// flush, else one syncfs() of their file system (one more for each further file system): a
// point costs two calls however many keys and folders changed. A process that is killed
// before a durable point loses the changes made since the last one, and only those: the files
// on disk are the ones of that point.
class PendingChanges {
  public:
    PendingChanges() = default;
    PendingChanges(const PendingChanges&) = delete;
    PendingChanges& operator=(const PendingChanges&) = delete;
    // The normal end of the process is a durable point too; nothing may escape a destructor.
    ~PendingChanges() {
        try {
            Flush();
        } catch (...) {
        }
    }

    // The durable point: ERROR_SUCCESS, or the first failure. A change that could not be
    // written (no lock, a full disk, an I/O error) stays pending for the next point; a key whose
    // file has gone or no longer parses loses its changes, as a write to it would have failed.
    DWORD Flush();

    bool Empty();

  private:
    friend class RegistryStore;

    struct Key {
        std::string name;  // its entry in keys_
        std::u16string fullName;
        std::filesystem::path folder;
        std::filesystem::path file;
        bool create = false;  // the key has no file yet, or it is a hive's
        std::vector<KeyChange> changes;
    };
    struct Replacement;

    // Locked by the caller.
    Key* Find(const std::string& name);
    void ForgetBelow(const std::string& name, bool andKey);
    DWORD WriteFolder(std::vector<Key*>& keys, std::vector<Replacement>& replacements,
                      std::vector<std::string>& done);

    std::recursive_mutex mutex_;
    // By the store's folder and the key's full name in lower case.
    std::map<std::string, Key> keys_;
    // Folders made or emptied since the last durable point: their entries must last too.
    std::set<std::filesystem::path> changedFolders_;
};

class RegistryStore {
  public:
    // `names`: the hive's name ("HKEY_LOCAL_MACHINE"), then each subkey name.
    RegistryStore(std::vector<std::u16string> names, PendingChanges& pending);

    // The full key name as it appears in brackets.
    const std::u16string& fullName() const { return fullName_; }
    const std::filesystem::path& file() const { return file_; }

    // True for the hive itself, which exists without a file of its own.
    bool IsHive() const { return names_.size() == 1; }

    // ERROR_SUCCESS when the key exists, can be parsed and allows the access asked for
    // (`write`: changing its values), else ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED,
    // ERROR_REGISTRY_CORRUPT... The values read on the way go to `key` when it is given.
    DWORD Check(bool write, RegistryKeyFile* key = nullptr) const;

    // Creates the key and every missing key above it; `created` tells whether it was new. Their
    // folders are made at once, their files at the next durable point.
    DWORD Create(bool& created) const;

    // Reads the key's values: its file with the process's pending changes applied. A file larger
    // than 1 MiB is ERROR_REGISTRY_CORRUPT.
    DWORD Read(RegistryKeyFile& key) const;

    // Applies `change` to the key's values and keeps it for the next durable point, unless
    // `change` returns an error or leaves the values as they are. ERROR_KEY_DELETED when the
    // key's file has gone; ERROR_FILE_TOO_LARGE when the result would be larger than Read
    // accepts.
    DWORD Update(KeyChange change) const;

    // Removes the key's file and everything below it, with their pending changes.
    DWORD DeleteTree() const;

    // Removes the key's values and every key below it; the key itself stays.
    DWORD Clear() const;

  private:
    // The key's file as it is on disk; `exists` false for a key that has no file yet.
    DWORD ReadFile(RegistryKeyFile& key, bool& exists) const;
    // Makes the key's folder and every missing folder above it.
    DWORD MakeFolders() const;

    std::vector<std::u16string> names_;
    PendingChanges& pending_;
    std::u16string fullName_;
    std::string lowerName_;          // the key's entry in the pending changes
    std::filesystem::path folder_;   // the folder that holds the key file
    std::filesystem::path file_;     // <folder>/<name>.reg
    std::filesystem::path subkeys_;  // <folder>/<name>/
};

// The store's top folder under the machine root.
std::filesystem::path RegistryStoreRoot();

}  // namespace posix
