// Writes six facts of the machine's profile under the tool's registry key, on every run that
// reaches the qualification.
#pragma once

#include "qualification/system_profile.h"

#include <string>

// True when the chassis list holds a portable, notebook, tablet, convertible or detachable type.
bool HasNotebookChassis(const std::vector<std::uint16_t>& chassisTypes);

// The yyyymmdd part of a CIM date-time text: its first eight characters, or all of a shorter one.
std::wstring BiosReleaseDate(const std::wstring& releaseDate);

// Writes "SystemVendor", "SystemModel", "BIOSReleaseName", "BIOSReleaseDate",
// "HasNoteBookChassis" and "NumBatteries" under the run status record's key. Every write is
// attempted; each result goes to registryKey.lastError, so the last one stays there.
void RecordSystemProfile(const ChassisInfo& chassis, const SystemProductInfo& product,
                         const BatteryInfo& batteries, const BiosInfo& bios);
