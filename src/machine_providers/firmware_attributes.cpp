#include "machine_providers/firmware_attributes.h"

#include "base/text.h"
#include "machine_providers/capped_reads.h"
#include "machine_providers/device_reads.h"
#include "machine_providers/firmware_text.h"
#include "platform/machine_files.h"
#include "platform/machine_root.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace machine_providers {
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

bool BiosSettingFacts::IsEnumeration() const { return !Choices().empty() || type == "enumeration"; }

std::vector<std::string> BiosSettingFacts::Choices() const {
    if (!possibleValues) return {};
    return SplitPossibleValues(*possibleValues);
}

std::vector<std::string> SettingFolderNames(const std::filesystem::path& device,
                                            const std::optional<std::wstring>& key) {
    const std::filesystem::path folder = device / "attributes";
    if (!key) return ListSubfolders(folder);
    if (const std::optional<std::string> name = WideToUtf8(*key)) {
        if (!name->empty() && platform::HasEntryNamed(folder, *name) &&
            IsFolder(folder / PathFromUtf8(*name))) {
            return {*name};
        }
    }
    // Letters fold only from a to z, so an ASCII key matches only a name of the same length in
    // ASCII bytes: most names are turned down without being decoded.
    const bool asciiKey = std::all_of(
        key->begin(), key->end(), [](wchar_t c) { return static_cast<std::uint32_t>(c) < 0x80; });
    const std::string asciiText(key->begin(), key->end());
    std::vector<std::string> names;
    platform::VisitFolder(folder, [&](std::string_view name) {
        const bool matches = asciiKey ? EqualsIgnoreCase(name, asciiText)
                                      : EqualsIgnoreCase(DecodeMachineText(name), *key);
        if (matches) names.emplace_back(name);
    });
    std::sort(names.begin(), names.end());
    std::erase_if(names,
                  [&](const std::string& name) { return !IsFolder(folder / PathFromUtf8(name)); });
    return names;
}

std::optional<BiosSettingFacts> ReadBiosSetting(const std::filesystem::path& device,
                                                const std::string& name, const FileRequest& files) {
    const std::filesystem::path setting = device / "attributes" / PathFromUtf8(name);
    if (!IsFolder(setting)) return std::nullopt;
    const auto read = [&](const char* file) -> std::optional<std::string> {
        if (!files.Wants(file)) return std::nullopt;
        return ReadDeviceFile(setting / file);
    };
    BiosSettingFacts facts;
    facts.name = name;
    facts.type = read("type");
    facts.currentValue = read("current_value");
    facts.possibleValues = read("possible_values");
    facts.displayName = read("display_name");
    facts.defaultValue = read("default_value");
    return facts;
}

void ReadTypeWhenUndecided(const std::filesystem::path& device, BiosSettingFacts& setting) {
    if (setting.type || !setting.Choices().empty()) return;
    setting.type = ReadDeviceFile(device / "attributes" / PathFromUtf8(setting.name) / "type");
}

std::filesystem::path PasswordFolder(const std::filesystem::path& device, const std::string& name) {
    return device / "authentication" / PathFromUtf8(name);
}

namespace {

void ReadPasswordFiles(const std::filesystem::path& folder, const FileRequest& files,
                       BiosPasswordFacts& password) {
    if (files.Wants("is_enabled")) password.isEnabled = ReadDeviceFile(folder / "is_enabled");
    if (files.Wants("encodings")) password.encodings = ReadDeviceFile(folder / "encodings");
}

}  // namespace

std::vector<BiosPasswordFacts> ReadBiosPasswords(const std::filesystem::path& device,
                                                 const FileRequest& files) {
    std::vector<BiosPasswordFacts> passwords;
    for (const std::string& name : ListSubfolders(device / "authentication")) {
        const std::filesystem::path password = PasswordFolder(device, name);
        BiosPasswordFacts facts{name, ReadDeviceFile(password / "role"), {}, {}};
        ReadPasswordFiles(password, files, facts);
        passwords.push_back(std::move(facts));
    }
    return passwords;
}

std::string BiosPasswordFacts::InstanceName() const {
    if (role == kBiosAdminRole) return std::string(kSetupPasswordName);
    if (role == kPowerOnRole) return std::string(kPowerOnPasswordName);
    return name;
}

std::optional<BiosPasswordFacts> FindSetupPassword(const std::filesystem::path& device,
                                                   const FileRequest& files) {
    // Folder by folder, to stop at the first: every role read costs the firmware a question.
    for (const std::string& name : ListSubfolders(device / "authentication")) {
        const std::filesystem::path path = PasswordFolder(device, name);
        BiosPasswordFacts password{name, ReadDeviceFile(path / "role"), {}, {}};
        if (password.InstanceName() != kSetupPasswordName) continue;
        ReadPasswordFiles(path, files, password);
        return password;
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

}  // namespace machine_providers
