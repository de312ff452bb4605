// A small machine for one test: a temporary folder that CELLKEEPER_ROOT points at while the
// tree lives, with helpers to lay out sysfs-like files in it. The previous CELLKEEPER_ROOT comes
// back and the folder is removed when the tree is destroyed.
#pragma once

#include "support/table_case.h"

#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

class MachineTree {
  public:
    MachineTree();
    ~MachineTree();
    MachineTree(const MachineTree&) = delete;
    MachineTree& operator=(const MachineTree&) = delete;

    const std::filesystem::path& Root() const { return root_; }
    // `relative` (UTF-8, "/"-separated) under the root.
    std::filesystem::path Path(std::string_view relative) const;

    // Writes the bytes exactly (no line end added), creating the folders on the way.
    void WriteFile(std::string_view relative, std::string_view bytes) const;
    // Writes `text` followed by the "\n" that sysfs puts after every attribute.
    void WriteAttribute(std::string_view relative, std::string_view text) const;
    void MakeFolder(std::string_view relative) const;
    // Copies a whole captured tree (read-only fixtures stay untouched) to `relative`.
    void CopyTree(const std::filesystem::path& from, std::string_view relative) const;
    // The exact bytes of a file, or no value when it cannot be read.
    std::optional<std::string> ReadFile(std::string_view relative) const;
    // Every folder and file below `relative` ("" for the whole machine), by its path relative
    // to that folder: a folder as "<folder>", a file as its bytes. Two snapshots are equal
    // exactly when nothing was created, removed or changed in between.
    std::map<std::string, std::string> Snapshot(std::string_view relative = "") const;

  private:
    std::filesystem::path root_;
    std::optional<std::string> previousRoot_;
};

// Folder of the captured real trees: CELLKEEPER_FIXTURES, or tests/fixtures of the checkout.
std::filesystem::path SharedFixturesFolder();
