// The sysfs facts behind the cimv2 classes, read and converted to what WMI delivers, without
// any COM: each function gives no value where the machine has none to give.
#pragma once

#include "machine_providers/file_request.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace machine_providers {

// The DMI identity folder: sys/class/dmi/id under the root.
inline constexpr std::string_view kDmiFolder = "sys/class/dmi/id";
inline constexpr std::string_view kPowerSupplyFolder = "sys/class/power_supply";

// chassis_type as the kernel prints it: one decimal number (0 to 65535). Anything else
// (signs, blanks, other text, an empty file) gives no value.
std::optional<std::int32_t> ParseChassisType(std::string_view text);

// bios_date (MM/DD/YYYY) as the CIM date-time text yyyymmdd000000.000000+000. A date that is not
// in that form, or whose month or day is out of range, gives no value.
std::optional<std::wstring> BiosDateToCimText(std::string_view text);

// A file of sys/class/dmi/id without its line end; no value when missing or unreadable.
std::optional<std::string> ReadDmiAttribute(std::string_view file);

// ReadDmiAttribute decoded to wide text.
std::optional<std::wstring> ReadDmiText(std::string_view file);

// The computer's name: proc/sys/kernel/hostname; no value when unreadable.
std::optional<std::wstring> ReadHostName();

// True when the machine has sys/class/dmi/id at all.
bool HasDmiFolder();

struct BatteryFacts {
    std::wstring folder;  // BAT0
    std::wstring name;    // model_name, or the folder name when model_name is missing or empty
};

// The batteries in sys/class/power_supply, in folder-name order: every entry whose type is
// "Battery", whose scope is not "Device" (a mouse or headset battery) and whose present file,
// where it exists, says "1". Unless `files` asks for model_name, it is left unread and every
// name is the folder's.
std::vector<BatteryFacts> ListBatteries(const FileRequest& files = FileRequest::All());

}  // namespace machine_providers
