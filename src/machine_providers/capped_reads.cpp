#include "machine_providers/capped_reads.h"

#include "platform/machine_files.h"

#include <algorithm>
#include <system_error>

namespace machine_providers {

std::optional<std::string> ReadMachineBytes(const std::filesystem::path& file) {
    std::optional<std::string> bytes = platform::ReadRegularFile(file, kMaxMachineFileBytes);
    if (bytes && bytes->size() > kMaxMachineFileBytes) return std::nullopt;
    return bytes;
}

std::optional<std::string> ReadMachineText(const std::filesystem::path& file) {
    std::optional<std::string> text = platform::ReadRegularFile(file, kMaxMachineTextBytes);
    if (!text || text->size() > kMaxMachineTextBytes) return std::nullopt;
    while (!text->empty() && (text->back() == '\n' || text->back() == '\r')) text->pop_back();
    // Sysfs text never holds a NUL; a text that does is not the machine's, and a prefix of it
    // must not pass for the whole.
    if (text->find('\0') != std::string::npos) return std::nullopt;
    return text;
}

std::vector<std::string> ListFolder(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    platform::VisitFolder(folder, [&names](std::string_view name) { names.emplace_back(name); });
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> ListSubfolders(const std::filesystem::path& folder) {
    std::vector<std::string> names = ListFolder(folder);
    std::erase_if(names, [&folder](const std::string& name) { return !IsFolder(folder / name); });
    return names;
}

bool IsFolder(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

std::filesystem::path PathFromUtf8(const std::string& name) {
    return std::filesystem::path(std::u8string(name.begin(), name.end()));
}

}  // namespace machine_providers
