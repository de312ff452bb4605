// The status codes of a run, kept in RunStatusRecord::statusCode and persisted at the end of a
// completed run. Codes below 32 mean the matter is settled: a later run without "/FORCE" stops.
#pragma once

#include <cstdint>

enum class RunStatusCode : std::int32_t {
    Success = 0,                 // setting changed and verified, or no change needed
    NoVerdict = 1,               // no stage gave a verdict
    PreviouslyRun = 2,           // an earlier run's record was found
    WrongSystemVendor = 3,       // the computer's vendor is not the expected one
    NoBattery = 4,               // the computer has no battery
    WrongFirmware = 5,           // wrong firmware manufacturer or OEM string missing
    SetupPasswordSet = 7,        // a BIOS setup password is set
    EnhancedAuthentication = 8,  // the enhanced BIOS authentication mode is on
    SettingNotFound = 9,         // the charging-policy setting has no current value
    SetupPasswordRefused = 10,   // the firmware refused the change made with the supplied
                                 // setup password: settled, so that no later run tries again
    RegistryAccessDenied = 34,   // the tool's key cannot be opened: access denied
    RegistryError = 35,          // the tool's key cannot be opened: any other error
    WmiError = 36,               // writing or reading back the setting failed
};

// The first code that does not settle the matter.
inline constexpr std::int32_t kFirstUnsettledStatus = 32;
