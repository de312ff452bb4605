#include "record/status_meaning.h"

std::string StatusMeaning(std::int32_t code) {
    switch (static_cast<RunStatusCode>(code)) {
        case RunStatusCode::Success:
            return "the setting holds the new value";
        case RunStatusCode::NoVerdict:
            return "the run ended without a verdict";
        case RunStatusCode::PreviouslyRun:
            return "an earlier run's record was found";
        case RunStatusCode::WrongSystemVendor:
            return "the computer is not a Vantrel computer";
        case RunStatusCode::NoBattery:
            return "the computer has no battery";
        case RunStatusCode::WrongFirmware:
            return "the firmware is not Vantrel's or lacks its marker";
        case RunStatusCode::SetupPasswordSet:
            return "a BIOS setup password is set";
        case RunStatusCode::EnhancedAuthentication:
            return "enhanced BIOS authentication is on";
        case RunStatusCode::SettingNotFound:
            return "the firmware has no Cellkeeper setting";
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
