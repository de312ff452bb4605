// The two firmware security facts that keep the patch away: a BIOS setup password that is set,
// and enhanced BIOS authentication switched on. Both probes fail open.
#pragma once

#include "bios/bios_config_client.h"

#include <cstdint>

class BiosSecurityInfo : public BiosConfigClient {
  public:
    BiosSecurityInfo() = default;

    // Walks the password instances for "Setup Password" and reads its "IsSet".
    void ProbeSetupPassword();
    // Reads "Enhanced BIOS Authentication Mode" and looks for a marked enabled choice.
    void ProbeEnhancedAuthentication();

    // -1: no "Setup Password" instance or the query failed; 0: not set; 1: set.
    std::int32_t setupPasswordState = -1;
    bool enhancedAuthEnabled = false;
};
