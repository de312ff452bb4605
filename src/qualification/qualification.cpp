#include "qualification/qualification.h"

#include "base/text.h"
#include "bios/named_texts.h"
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

std::optional<RunStatusCode> FirstRefusal(const PlatformFacts& facts, bool passwordSupplied) {
    if (!IsVantrelComputer(facts)) return RunStatusCode::WrongSystemVendor;
    if (facts.batteryCount < 1) return RunStatusCode::NoBattery;
    if (!EqualsIgnoreCase(facts.biosMaker, kVendorName)) return RunStatusCode::WrongFirmware;
    if (!HasFirmwareMarker(facts.oemStrings)) return RunStatusCode::WrongFirmware;
    if (facts.enhancedAuthEnabled) return RunStatusCode::EnhancedAuthentication;
    if (facts.setupPasswordState == 1 && !passwordSupplied) return RunStatusCode::SetupPasswordSet;
    return std::nullopt;
}

Qualification QualifyPlatformWith(bool passwordSupplied) {
    const PlatformReading reading(PlatformReading::Probes::kAlways);
    // The profile is recorded whatever the verdict.
    RecordSystemProfile(reading.chassis, reading.product, reading.batteries, reading.bios);
    const PlatformFacts facts = reading.Facts();
    const Qualification qualification{FirstRefusal(facts, passwordSupplied),
                                      facts.setupPasswordState == 1};
    if (qualification.refusal) {
        RunStatusRecord::Instance().statusCode = static_cast<std::int32_t>(*qualification.refusal);
    }
    return qualification;
}

bool QualifyPlatform() { return !QualifyPlatformWith(/*passwordSupplied=*/false).refusal; }
