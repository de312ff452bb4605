#include "qualification/platform_reading.h"

namespace {

bool Probe(BiosSecurityInfo& security, PlatformReading::Probes probes) {
    if (probes == PlatformReading::Probes::kWhenConnected && !security.services) return false;
    security.ProbeSetupPassword();
    security.ProbeEnhancedAuthentication();
    return true;
}

}  // namespace

PlatformReading::PlatformReading(Probes probes) : probed_(Probe(security, probes)) {}

PlatformFacts PlatformReading::Facts() const {
    return {.vendor = product.vendor,
            .batteryCount = batteries.batteryCount,
            .biosMaker = bios.manufacturer,
            .oemStrings = product.oemStrings,
            .enhancedAuthEnabled = security.enhancedAuthEnabled,
            .setupPasswordState = security.setupPasswordState};
}
