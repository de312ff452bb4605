// The kernel's firmware-attributes class as the vendor BIOS provider sees it:
// sys/class/firmware-attributes/vantrel-wmi/attributes/<setting>/ and
// sys/class/firmware-attributes/vantrel-wmi/authentication/<password>/. Only the device of
// Vantrel's driver is ours: other makers' devices on the same machine are never read or written.
// Plain data, no COM.
#pragma once

#include "machine_providers/file_request.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace machine_providers {

inline constexpr std::string_view kFirmwareAttributesFolder = "sys/class/firmware-attributes";
inline constexpr std::string_view kVantrelDeviceName = "vantrel-wmi";

// The password instances that the provider names after a password's role.
inline constexpr std::string_view kSetupPasswordName = "Setup Password";
inline constexpr std::string_view kPowerOnPasswordName = "Power-On Password";
inline constexpr std::string_view kBiosAdminRole = "bios-admin";
inline constexpr std::string_view kPowerOnRole = "power-on";

// The folder of Vantrel's device, or no value: then the machine has no vendor BIOS namespace,
// whatever other devices it has.
std::optional<std::filesystem::path> VantrelFirmwareDevice();

// One setting: attributes/<name>/. Texts are the file contents without their line end; a
// missing or unreadable file is no value. Names and texts are UTF-8 bytes.
struct BiosSettingFacts {
    std::string name;
    std::optional<std::string> type;
    std::optional<std::string> currentValue;
    std::optional<std::string> possibleValues;
    std::optional<std::string> displayName;
    std::optional<std::string> defaultValue;

    // An enumeration is a setting whose possible_values lists at least one choice (the kernel
    // gives possible_values to enumerations alone), or whose type file says "enumeration".
    bool IsEnumeration() const;
    std::vector<std::string> Choices() const;
};

// The names (UTF-8) of the setting folders of a device, in name order; plain files beside them
// (pending_reboot) are not settings. With `key`, only the folders whose name equals it without
// regard to letter case: the folder of exactly that name when there is one, since WMI keys are
// unique without regard to case, and the whole folder is listed only when there is none.
std::vector<std::string> SettingFolderNames(const std::filesystem::path& device,
                                            const std::optional<std::wstring>& key = {});

// The setting folder attributes/<name>/ of a device (name in UTF-8), or no value. Of its files
// (type, current_value, possible_values, display_name, default_value) only those in `files` are
// read.
std::optional<BiosSettingFacts> ReadBiosSetting(const std::filesystem::path& device,
                                                const std::string& name,
                                                const FileRequest& files = FileRequest::All());

// Reads the type file into `setting` when IsEnumeration still depends on it: possible_values
// lists no choice. Choices answer the question alone, so a run does not ask the firmware for the
// type of the settings it reads. `setting` must have possible_values read.
void ReadTypeWhenUndecided(const std::filesystem::path& device, BiosSettingFacts& setting);

// One password: authentication/<name>/.
struct BiosPasswordFacts {
    std::string name;  // the folder's name, the driver's choice
    std::optional<std::string> role;
    std::optional<std::string> isEnabled;
    // The ";"-separated encodings file, where the driver has one.
    std::optional<std::string> encodings;

    // The instance name that the provider gives it: the kernel names a password by its role,
    // so role "bios-admin" is kSetupPasswordName and "power-on" kPowerOnPasswordName; any other
    // role, or no role file, keeps the folder's name.
    std::string InstanceName() const;
};

// The folder authentication/<name>/ of a device (name in UTF-8).
std::filesystem::path PasswordFolder(const std::filesystem::path& device, const std::string& name);

// Every password folder of a device, in name order, with its role (which names it); is_enabled
// and encodings only when in `files`.
std::vector<BiosPasswordFacts> ReadBiosPasswords(const std::filesystem::path& device,
                                                 const FileRequest& files = FileRequest::All());

// The first password (in folder name order) whose instance name is kSetupPasswordName, with its
// is_enabled and encodings when in `files`.
std::optional<BiosPasswordFacts> FindSetupPassword(const std::filesystem::path& device,
                                                   const FileRequest& files = FileRequest::All());

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

}  // namespace machine_providers
