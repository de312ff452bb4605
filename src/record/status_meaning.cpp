#include "record/status_meaning.h"

std::string StatusMeaning(std::int32_t code) {
    switch (static_cast<RunStatusCode>(code)) {
        case RunStatusCode::Success:
            return "the setting holds the new value";
        case RunStatusCode::NoVerdict:
            return "the setting was written but read back with another value";
        case RunStatusCode::PreviouslyRun:
            return "the setting was written but read back with another value, on a run that went "
                   "on "
                   "past an earlier record";
        case RunStatusCode::WrongSystemVendor:
            return "the system vendor is not Vantrel";
        case RunStatusCode::NoBattery:
            return "the computer has no battery";
        case RunStatusCode::WrongFirmware:
            return "the BIOS manufacturer is not Vantrel, or the firmware lacks the OEM string "
                   "EDK2_1";
        case RunStatusCode::SetupPasswordSet:
            return "a BIOS setup password is set";
        case RunStatusCode::EnhancedAuthentication:
            return "enhanced BIOS authentication is on";
        case RunStatusCode::SettingNotFound:
            return "the firmware has no setting Cellkeeper, or it has no current value";
        case RunStatusCode::SetupPasswordRefused:
            return "the firmware refused the change made with the supplied setup password";
        case RunStatusCode::RegistryAccessDenied:
            return "the registry key cannot be opened: access denied";
        case RunStatusCode::RegistryError:
            return "the registry key cannot be opened";
        case RunStatusCode::WmiError:
            return "writing or reading back the setting failed";
    }
    return "an unknown status code";
}
