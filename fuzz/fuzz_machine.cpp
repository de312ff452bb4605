#include "fuzz_machine.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>

namespace fuzz {

namespace fs = std::filesystem;

namespace {

// A memory file system where there is one: the store flushes every write, which on a disk
// costs more than the whole input.
fs::path ScratchFolder() {
    std::error_code error;
    if (fs::is_directory("/dev/shm", error)) return "/dev/shm";
    return fs::temp_directory_path();
}

}  // namespace

FuzzMachine::FuzzMachine() {
    std::string pattern = (ScratchFolder() / "cellkeeper-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no temporary folder");
    root_ = pattern;
    setenv("CELLKEEPER_ROOT", root_.c_str(), /*overwrite=*/1);
}

FuzzMachine::~FuzzMachine() {
    std::error_code error;
    fs::remove_all(root_, error);
}

void FuzzMachine::Clear() const {
    for (const auto& entry : fs::directory_iterator(root_)) fs::remove_all(entry.path());
}

void FuzzMachine::WriteFile(std::string_view relative, std::string_view bytes) const {
    const fs::path path = root_ / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void FuzzMachine::RemoveFile(std::string_view relative) const {
    std::error_code error;
    fs::remove(root_ / relative, error);
}

void FuzzMachine::CopyTree(const fs::path& from) const {
    fs::copy(from, root_, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

fs::path SampleMachinesFolder() { return fs::path(CELLKEEPER_SOURCE_DIR) / "examples/machines"; }

}  // namespace fuzz
