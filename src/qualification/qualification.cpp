#include "qualification/qualification.h"

#include "base/text.h"
#include "bios/bios_constants.h"
#include "qualification/bios_security_info.h"
#include "qualification/profile_record.h"
#include "qualification/system_profile.h"
#include "record/run_status_record.h"

#include <algorithm>

namespace {

bool Refuse(RunStatusCode reason) {
    RunStatusRecord::Instance().statusCode = static_cast<std::int32_t>(reason);
    return false;
}

}  // namespace

bool QualifyPlatform() {
    // The records are released in the reverse order of their creation when this returns, each
    // closing its own connection.
    const ChassisInfo chassis;
    const SystemProductInfo product;
    BiosSecurityInfo security;
    security.ProbeSetupPassword();
    security.ProbeEnhancedAuthentication();
    const BatteryInfo batteries;
    const BiosInfo bios;

    // The profile is recorded whatever the verdict.
    RecordSystemProfile(chassis, product, batteries, bios);

    if (!EqualsIgnoreCase(product.vendor, kVendorName)) {
        return Refuse(RunStatusCode::WrongSystemVendor);
    }
    if (batteries.batteryCount < 1) return Refuse(RunStatusCode::NoBattery);
    if (!EqualsIgnoreCase(bios.manufacturer, kVendorName)) {
        return Refuse(RunStatusCode::WrongFirmware);
    }
    const bool hasFirmwareMarker = std::any_of(
        product.oemStrings.begin(), product.oemStrings.end(),
        [](const std::wstring& oem) { return EqualsIgnoreCase(oem, kRequiredOemString); });
    if (!hasFirmwareMarker) return Refuse(RunStatusCode::WrongFirmware);
    if (security.enhancedAuthEnabled) return Refuse(RunStatusCode::EnhancedAuthentication);
    if (security.setupPasswordState == 1) return Refuse(RunStatusCode::SetupPasswordSet);
    return true;
}
