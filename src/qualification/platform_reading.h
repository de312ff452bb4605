// One reading of the machine for the qualification: the four profile records and the security
// probe, created in the qualification's order and released in reverse, each closing its own
// connection. The run and the read-only check read the machine through it alike.
#pragma once

#include "qualification/bios_security_info.h"
#include "qualification/qualification.h"
#include "qualification/system_profile.h"

class PlatformReading {
  public:
    // kAlways: the run's way; a probe without a vendor connection raises _com_error, so that
    // no unread security fact ever lets a machine pass. kWhenConnected: the check's way; without
    // a connection the security facts stay unknown.
    enum class Probes { kAlways, kWhenConnected };

    explicit PlatformReading(Probes probes);
    PlatformReading(const PlatformReading&) = delete;
    PlatformReading& operator=(const PlatformReading&) = delete;

    PlatformFacts Facts() const;

    const ChassisInfo chassis;
    const SystemProductInfo product;
    BiosSecurityInfo security;

  private:
    // Initialised here, between the members, so that the probes run before the records below
    // are created.
    bool probed_;

  public:
    const BatteryInfo batteries;
    const BiosInfo bios;
};
