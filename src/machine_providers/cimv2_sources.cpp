#include "machine_providers/cimv2_sources.h"

#include "machine_providers/capped_reads.h"
#include "machine_providers/firmware_text.h"
#include "platform/machine_root.h"

#include <array>
#include <charconv>
#include <system_error>

namespace machine_providers {
namespace {

// A number made of exactly `text`'s digits, or no value.
std::optional<unsigned> ParseDigits(std::string_view text) {
    if (text.empty()) return std::nullopt;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
    }
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::filesystem::path DmiPath(std::string_view file) {
    return platform::PathUnderMachineRoot(std::string(kDmiFolder) + "/" + std::string(file));
}

}  // namespace

std::optional<std::int32_t> ParseChassisType(std::string_view text) {
    constexpr unsigned kMaxChassisType = 0xFFFF;  // uint16 in CIM
    const std::optional<unsigned> value = ParseDigits(text);
    if (!value || *value > kMaxChassisType) return std::nullopt;
    return static_cast<std::int32_t>(*value);
}

std::optional<std::wstring> BiosDateToCimText(std::string_view text) {
    // MM/DD/YYYY, exactly.
    if (text.size() != 10 || text[2] != '/' || text[5] != '/') return std::nullopt;
    const std::optional<unsigned> month = ParseDigits(text.substr(0, 2));
    const std::optional<unsigned> day = ParseDigits(text.substr(3, 2));
    const std::optional<unsigned> year = ParseDigits(text.substr(6, 4));
    if (!month || !day || !year) return std::nullopt;
    constexpr std::array<unsigned, 12> kDaysInMonth = {31, 29, 31, 30, 31, 30,
                                                       31, 31, 30, 31, 30, 31};
    if (*month < 1 || *month > 12 || *day < 1 || *day > kDaysInMonth[*month - 1]) {
        return std::nullopt;
    }
    std::wstring cim;
    for (const char c : text.substr(6, 4)) cim.push_back(static_cast<wchar_t>(c));
    for (const char c : text.substr(0, 2)) cim.push_back(static_cast<wchar_t>(c));
    for (const char c : text.substr(3, 2)) cim.push_back(static_cast<wchar_t>(c));
    cim += L"000000.000000+000";
    return cim;
}

std::optional<std::string> ReadDmiAttribute(std::string_view file) {
    return ReadMachineText(DmiPath(file));
}

std::optional<std::wstring> ReadDmiText(std::string_view file) {
    const std::optional<std::string> text = ReadDmiAttribute(file);
    if (!text) return std::nullopt;
    return DecodeMachineText(*text);
}

std::optional<std::wstring> ReadHostName() {
    const std::optional<std::string> text =
        ReadMachineText(platform::PathUnderMachineRoot("proc/sys/kernel/hostname"));
    if (!text || text->empty()) return std::nullopt;
    return DecodeMachineText(*text);
}

bool HasDmiFolder() { return IsFolder(platform::PathUnderMachineRoot(kDmiFolder)); }

std::vector<BatteryFacts> ListBatteries(const FileRequest& files) {
    std::vector<BatteryFacts> batteries;
    const std::filesystem::path folder = platform::PathUnderMachineRoot(kPowerSupplyFolder);
    for (const std::string& entry : ListSubfolders(folder)) {
        const std::filesystem::path supply = folder / PathFromUtf8(entry);
        if (ReadMachineText(supply / "type") != "Battery") continue;
        if (ReadMachineText(supply / "scope") == "Device") continue;
        // Without a present file the supply is there; with one, only "1" says so.
        std::error_code error;
        if (std::filesystem::exists(supply / "present", error) &&
            ReadMachineText(supply / "present") != "1") {
            continue;
        }
        const std::optional<std::string> model =
            files.Wants("model_name") ? ReadMachineText(supply / "model_name") : std::nullopt;
        std::wstring folderName = DecodeMachineText(entry);
        std::wstring name = model && !model->empty() ? DecodeMachineText(*model) : folderName;
        batteries.push_back({std::move(folderName), std::move(name)});
    }
    return batteries;
}

}  // namespace machine_providers
