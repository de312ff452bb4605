#include "machine_providers/device_reads.h"

#include "machine_providers/capped_reads.h"

#include <array>
#include <cstdint>
#include <map>
#include <string_view>

namespace machine_providers {
namespace {

// The files a write to current_value leaves as they are.
constexpr std::array<std::string_view, 6> kFixedFiles = {
    "type", "possible_values", "display_name", "default_value", "role", "encodings",
};

// What identifies the file on disk: a read is kept only while it is the same file.
struct FileIdentity {
    std::uintmax_t size = 0;
    std::filesystem::file_time_type modified;
    bool operator==(const FileIdentity&) const = default;
};

struct DeviceRead {
    FileIdentity identity;
    std::optional<std::string> text;
};

// One run is one process, and the device is the machine's: a cache for the process, as the
// firmware's answers are.
std::map<std::filesystem::path, DeviceRead>& Reads() {
    static std::map<std::filesystem::path, DeviceRead> reads;
    return reads;
}

std::optional<FileIdentity> Identity(const std::filesystem::path& file) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error) return std::nullopt;
    const std::filesystem::file_time_type modified = std::filesystem::last_write_time(file, error);
    if (error) return std::nullopt;
    return FileIdentity{size, modified};
}

unsigned& StateNumber() {
    static unsigned state = 0;
    return state;
}

bool IsFixed(const std::filesystem::path& file) {
    const std::string name = file.filename().string();
    for (const std::string_view fixed : kFixedFiles) {
        if (name == fixed) return true;
    }
    return false;
}

}  // namespace

std::optional<std::string> ReadDeviceFile(const std::filesystem::path& file) {
    const std::optional<FileIdentity> identity = Identity(file);
    // Not there, or not a file: nothing a read would find.
    if (!identity) return std::nullopt;
    auto& reads = Reads();
    if (const auto found = reads.find(file);
        found != reads.end() && found->second.identity == *identity) {
        return found->second.text;
    }
    std::optional<std::string> text = ReadMachineText(file);
    reads.insert_or_assign(file, DeviceRead{*identity, text});
    return text;
}

void ForgetDeviceState() {
    std::erase_if(Reads(), [](const auto& read) { return !IsFixed(read.first); });
    ++StateNumber();
}

unsigned DeviceState() { return StateNumber(); }

}  // namespace machine_providers
