#include "machine_providers/smbios_oem_strings.h"

#include "machine_providers/capped_reads.h"
#include "machine_providers/firmware_text.h"
#include "platform/machine_root.h"

namespace machine_providers {

std::optional<std::vector<std::wstring>> ParseOemStrings(std::string_view structure) {
    constexpr std::size_t kTypeOffset = 0;
    constexpr std::size_t kLengthOffset = 1;
    constexpr std::size_t kCountOffset = 4;
    if (structure.size() < kSmbiosOemStringsMinLength) return std::nullopt;
    if (static_cast<unsigned char>(structure[kTypeOffset]) != kSmbiosOemStringsType) {
        return std::nullopt;
    }
    const auto length = static_cast<unsigned char>(structure[kLengthOffset]);
    if (length < kSmbiosOemStringsMinLength || length > structure.size()) return std::nullopt;
    const auto count = static_cast<unsigned char>(structure[kCountOffset]);

    std::vector<std::wstring> strings;
    std::string_view rest = structure.substr(length);
    while (strings.size() < count) {
        const std::size_t end = rest.find('\0');
        // A string without its terminator is not fully present; an empty one ends the set.
        if (end == std::string_view::npos || end == 0) break;
        strings.push_back(DecodeMachineText(rest.substr(0, end)));
        rest.remove_prefix(end + 1);
    }
    return strings;
}

std::optional<std::vector<std::wstring>> ReadOemStrings() {
    const std::optional<std::string> raw =
        ReadMachineBytes(platform::PathUnderMachineRoot("sys/firmware/dmi/entries/11-0/raw"));
    if (!raw) return std::nullopt;
    return ParseOemStrings(*raw);
}

}  // namespace machine_providers
