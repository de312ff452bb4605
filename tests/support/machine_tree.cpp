#include "support/machine_tree.h"

#include "support/test_env.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace {

constexpr const char* kRootVariable = "CELLKEEPER_ROOT";

std::filesystem::path FromUtf8(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

void SetRootVariable(const std::string& value) {
    SetEnvironmentVariableForTest(kRootVariable, value);
}

std::filesystem::path NewTemporaryFolder() {
    std::random_device entropy;
    std::mt19937_64 generator((static_cast<std::uint64_t>(entropy()) << 32) | entropy());
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path candidate =
            base / ("cellkeeper-machine-" + std::to_string(generator()));
        if (std::filesystem::create_directory(candidate)) return candidate;
    }
    throw std::runtime_error("cannot create a temporary machine folder");
}

}  // namespace

MachineTree::MachineTree() : root_(NewTemporaryFolder()) {
    if (const char* previous = std::getenv(kRootVariable)) previousRoot_ = previous;
    const std::u8string root = root_.u8string();
    SetRootVariable(std::string(root.begin(), root.end()));
}

MachineTree::~MachineTree() {
    SetRootVariable(previousRoot_.value_or(""));
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

std::filesystem::path MachineTree::Path(std::string_view relative) const {
    while (!relative.empty() && relative.front() == '/') relative.remove_prefix(1);
    return root_ / FromUtf8(relative);
}

void MachineTree::WriteFile(std::string_view relative, std::string_view bytes) const {
    const std::filesystem::path file = Path(relative);
    std::filesystem::create_directories(file.parent_path());
    std::ofstream stream(file, std::ios::binary | std::ios::trunc);
    stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    stream.close();
    if (!stream) throw std::runtime_error("cannot write " + file.string());
}

void MachineTree::WriteAttribute(std::string_view relative, std::string_view text) const {
    WriteFile(relative, std::string(text) + "\n");
}

void MachineTree::MakeFolder(std::string_view relative) const {
    std::filesystem::create_directories(Path(relative));
}

void MachineTree::CopyTree(const std::filesystem::path& from, std::string_view relative) const {
    if (!std::filesystem::is_directory(from)) {
        throw std::runtime_error("missing fixture " + from.string());
    }
    const std::filesystem::path to = Path(relative);
    std::filesystem::create_directories(to);
    std::filesystem::copy(
        from, to,
        std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks);
    // Fixtures are read-only; the copy must be writable like a machine's attributes.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(to)) {
        if (entry.is_symlink()) continue;
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add);
    }
}

std::optional<std::string> MachineTree::ReadFile(std::string_view relative) const {
    std::ifstream stream(Path(relative), std::ios::binary);
    if (!stream) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

std::map<std::string, std::string> MachineTree::Snapshot(std::string_view relative) const {
    const std::filesystem::path top = Path(relative);
    std::map<std::string, std::string> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(top)) {
        const std::u8string name = entry.path().lexically_relative(top).generic_u8string();
        std::string key(name.begin(), name.end());
        if (entry.is_directory()) {
            entries[key] = "<folder>";
            continue;
        }
        std::ifstream stream(entry.path(), std::ios::binary);
        entries[key] =
            std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
    }
    return entries;
}

std::filesystem::path SharedFixturesFolder() {
    if (const char* folder = std::getenv("CELLKEEPER_FIXTURES"); folder != nullptr && *folder) {
        return std::filesystem::path(folder);
    }
    return std::filesystem::path(CELLKEEPER_SOURCE_DIR) / "tests" / "fixtures";
}
