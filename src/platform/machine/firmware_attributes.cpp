#include "platform/machine/firmware_attributes.h"

#include "base/text.h"
#include "platform/machine/machine_files.h"
#include "platform/machine_root.h"

#include <utility>

namespace machine {
namespace {

std::vector<std::string> Split(std::string_view text, char separator) {
    std::vector<std::string> pieces;
    while (!text.empty()) {
        const std::size_t end = text.find(separator);
        const std::string_view piece = text.substr(0, end);
        if (!piece.empty()) pieces.emplace_back(piece);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return pieces;
}

}  // namespace

std::optional<std::filesystem::path> VantrelFirmwareDevice() {
    const std::filesystem::path device =
        platform::PathUnderMachineRoot(kFirmwareAttributesFolder) / std::string(kVantrelDeviceName);
    if (!IsFolder(device)) return std::nullopt;
    return device;
}

bool BiosSettingFacts::IsEnumeration() const {
    if (type) return *type == "enumeration";
    return !Choices().empty();
}

std::vector<std::string> BiosSettingFacts::Choices() const {
    if (!possibleValues) return {};
    return SplitPossibleValues(*possibleValues);
}

std::optional<BiosSettingFacts> ReadBiosSetting(const std::filesystem::path& device,
                                                const std::string& name) {
    const std::filesystem::path setting = device / "attributes" / PathFromUtf8(name);
    if (!IsFolder(setting)) return std::nullopt;
    BiosSettingFacts facts;
    facts.name = name;
    facts.type = ReadMachineText(setting / "type");
    facts.currentValue = ReadMachineText(setting / "current_value");
    facts.possibleValues = ReadMachineText(setting / "possible_values");
    facts.displayName = ReadMachineText(setting / "display_name");
    facts.defaultValue = ReadMachineText(setting / "default_value");
    return facts;
}

std::vector<BiosSettingFacts> ReadBiosSettings(const std::filesystem::path& device) {
    std::vector<BiosSettingFacts> settings;
    for (const std::string& name : ListSubfolders(device / "attributes")) {
        if (std::optional<BiosSettingFacts> facts = ReadBiosSetting(device, name)) {
            settings.push_back(std::move(*facts));
        }
    }
    return settings;
}

std::vector<BiosPasswordFacts> ReadBiosPasswords(const std::filesystem::path& device) {
    const std::filesystem::path folder = device / "authentication";
    std::vector<BiosPasswordFacts> passwords;
    for (const std::string& name : ListSubfolders(folder)) {
        const std::filesystem::path password = folder / PathFromUtf8(name);
        passwords.push_back({name, ReadMachineText(password / "role"),
                             ReadMachineText(password / "is_enabled"),
                             ReadMachineText(password / "encodings")});
    }
    return passwords;
}

std::string BiosPasswordFacts::InstanceName() const {
    if (role == kBiosAdminRole) return std::string(kSetupPasswordName);
    if (role == kPowerOnRole) return std::string(kPowerOnPasswordName);
    return name;
}

std::optional<BiosPasswordFacts> FindSetupPassword(const std::filesystem::path& device) {
    for (BiosPasswordFacts& password : ReadBiosPasswords(device)) {
        if (password.InstanceName() == kSetupPasswordName) return std::move(password);
    }
    return std::nullopt;
}

std::vector<std::string> SplitPossibleValues(std::string_view text) {
    return Split(text, text.find(';') != std::string_view::npos ? ';' : ',');
}

std::vector<std::string> SplitEncodings(std::string_view text) { return Split(text, ';'); }

std::string FormatEnumerationValue(const std::vector<std::string>& choices,
                                   std::string_view current) {
    std::string value;
    bool marked = false;
    for (const std::string& choice : choices) {
        if (!value.empty()) value += ',';
        if (!marked && EqualsIgnoreCase(choice, current)) {
            value += '*';
            marked = true;
        }
        value += choice;
    }
    return value;
}

std::optional<std::string> SettingValueText(const BiosSettingFacts& setting) {
    if (!setting.currentValue) return std::nullopt;
    if (!setting.IsEnumeration()) return setting.currentValue;
    return FormatEnumerationValue(setting.Choices(), *setting.currentValue);
}

}  // namespace machine
