// The kernel's firmware-attributes class as the vendor BIOS provider sees it:
// sys/class/firmware-attributes/<device>/attributes/<setting>/ and
// sys/class/firmware-attributes/<device>/authentication/<password>/. Plain data, no COM.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace machine {

inline constexpr std::string_view kFirmwareAttributesFolder = "sys/class/firmware-attributes";
inline constexpr std::string_view kSetupPasswordName = "Setup Password";

// Every device folder (one per kernel driver), in name order. Empty when the class folder is
// missing: then the machine has no vendor BIOS namespace.
std::vector<std::filesystem::path> ListFirmwareAttributeDevices();

// One setting: attributes/<name>/. Texts are the file contents without their line end; a
// missing or unreadable file is no value. Names and texts are UTF-8 bytes.
struct BiosSettingFacts {
    std::string name;
    std::optional<std::string> type;
    std::optional<std::string> currentValue;
    std::optional<std::string> possibleValues;
    std::optional<std::string> displayName;
    std::optional<std::string> defaultValue;

    // An enumeration is what its type file says, or, without a type file (older kernels), a
    // setting whose possible_values lists at least one choice.
    bool IsEnumeration() const;
    std::vector<std::string> Choices() const;
};

// Every setting folder of a device, in name order; plain files beside them (pending_reboot) are
// not settings.
std::vector<BiosSettingFacts> ReadBiosSettings(const std::filesystem::path& device);

// The setting folder attributes/<name>/ of a device (name in UTF-8), or no value.
std::optional<BiosSettingFacts> ReadBiosSetting(const std::filesystem::path& device,
                                                const std::string& name);

// One password: authentication/<name>/.
struct BiosPasswordFacts {
    std::string name;
    std::optional<std::string> isEnabled;
    // The ";"-separated encodings file, where the driver has one.
    std::optional<std::string> encodings;
};

std::vector<BiosPasswordFacts> ReadBiosPasswords(const std::filesystem::path& device);

// possible_values split into choices. Drivers separate them with ";" (some with a trailing ";")
// or, on older kernels, with ","; the separator is ";" when the text holds one, else ",".
// Empty pieces are dropped.
std::vector<std::string> SplitPossibleValues(std::string_view text);

// The encodings list of a password: ";"-separated, empty pieces dropped.
std::vector<std::string> SplitEncodings(std::string_view text);

// The "Value" text of an enumeration: its choices joined with ",", with "*" in front of the
// one that equals the current value (letters a to z compared without case; only the first match
// is marked).
std::string FormatEnumerationValue(const std::vector<std::string>& choices,
                                   std::string_view current);

// "Value" as the provider delivers it: FormatEnumerationValue for an enumeration, else the
// current value; no value when current_value is unreadable.
std::optional<std::string> SettingValueText(const BiosSettingFacts& setting);

}  // namespace machine
