// What the Linux build reads and writes, as paths under the machine root: the files that the
// Linux tests look at, named once.
#pragma once

#include <string>

inline constexpr const char* kKeyFolder =
    "var/lib/cellkeeper-patch/registry/HKEY_LOCAL_MACHINE/SOFTWARE/Vantrel";
inline constexpr const char* kKeyFile =
    "var/lib/cellkeeper-patch/registry/HKEY_LOCAL_MACHINE/SOFTWARE/Vantrel/"
    "Vantrel Cellkeeper Patch.reg";
inline constexpr const char* kVariableFile =
    "sys/firmware/efi/efivars/cellkeeper_patch-994e9a98-28eb-4244-b5c6-1d92be5321bd";
inline constexpr const char* kCellkeeperFile =
    "sys/class/firmware-attributes/vantrel-wmi/attributes/Cellkeeper/current_value";
inline constexpr const char* kLockFile = "run/cellkeeper-patch.lock";
inline constexpr const char* kLogFile = "var/log/cellkeeper-patch.log";

// The first lines of the tool's key file, up to its values.
inline constexpr const char* kStoreStart =
    "Windows Registry Editor Version 5.00\n"
    "\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel\\Vantrel Cellkeeper Patch]\n";
// The "DateRun" of an earlier run: Tue Mar 16 08:05:09 2021 UTC.
inline constexpr const char* kEarlierDateRun = "\"DateRun\"=hex(b):b5,66,50,60,00,00,00,00\n";
// The tool's key file after that earlier run settled the matter with "Status" 0.
inline const std::string kSettledStore =
    std::string(kStoreStart) + kEarlierDateRun + "\"Status\"=dword:00000000\n";
