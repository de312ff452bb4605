// A machine root of the fuzzer's own: a temporary folder that CELLKEEPER_ROOT points at for the
// whole process, emptied and filled afresh for each input.
#pragma once

#include <filesystem>
#include <string_view>

namespace fuzz {

class FuzzMachine {
  public:
    FuzzMachine();
    ~FuzzMachine();
    FuzzMachine(const FuzzMachine&) = delete;
    FuzzMachine& operator=(const FuzzMachine&) = delete;

    const std::filesystem::path& Root() const { return root_; }

    // Removes everything below the root.
    void Clear() const;
    // Writes the bytes exactly, creating the folders on the way.
    void WriteFile(std::string_view relative, std::string_view bytes) const;
    void RemoveFile(std::string_view relative) const;
    // Copies a whole tree (a sample machine) under the root.
    void CopyTree(const std::filesystem::path& from) const;

  private:
    std::filesystem::path root_;
};

// The sample machines of the checkout, in name order.
std::filesystem::path SampleMachinesFolder();

}  // namespace fuzz
