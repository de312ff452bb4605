#include "qualification/qualification.h"

#include "base/text.h"
#include "bios/bios_constants.h"
#include "qualification/platform_reading.h"
#include "qualification/profile_record.h"
#include "record/run_status_record.h"

#include <algorithm>

bool IsVantrelComputer(const PlatformFacts& facts) {
    return EqualsIgnoreCase(facts.vendor, kVendorName);
}

bool HasFirmwareMarker(const std::vector<std::wstring>& oemStrings) {
    return std::any_of(oemStrings.begin(), oemStrings.end(), [](const std::wstring& oem) {
        return EqualsIgnoreCase(oem, kRequiredOemString);
    });
}

std::optional<RunStatusCode> FirstRefusal(const PlatformFacts& facts) {
    if (!IsVantrelComputer(facts)) return RunStatusCode::WrongSystemVendor;
    if (facts.batteryCount < 1) return RunStatusCode::NoBattery;
    if (!EqualsIgnoreCase(facts.biosMaker, kVendorName)) return RunStatusCode::WrongFirmware;
    if (!HasFirmwareMarker(facts.oemStrings)) return RunStatusCode::WrongFirmware;
    if (facts.enhancedAuthEnabled) return RunStatusCode::EnhancedAuthentication;
    if (facts.setupPasswordState == 1) return RunStatusCode::SetupPasswordSet;
    return std::nullopt;
}

bool QualifyPlatform() {
    const PlatformReading reading(PlatformReading::Probes::kAlways);
    // The profile is recorded whatever the verdict.
    RecordSystemProfile(reading.chassis, reading.product, reading.batteries, reading.bios);
    const std::optional<RunStatusCode> refusal = FirstRefusal(reading.Facts());
    if (!refusal) return true;
    RunStatusRecord::Instance().statusCode = static_cast<std::int32_t>(*refusal);
    return false;
}
