// Decides whether this machine is a target of the charging-policy patch.
#pragma once

#include "record/run_status_code.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The facts the six tests look at, as the profile records and the security probe read them.
struct PlatformFacts {
    std::wstring vendor;
    std::int32_t batteryCount = 0;
    std::wstring biosMaker;
    std::vector<std::wstring> oemStrings;
    bool enhancedAuthEnabled = false;
    // -1: unknown; 0: not set; 1: set.
    std::int32_t setupPasswordState = -1;
};

// The first of the six tests that refuses the machine, in their fixed order: vendor, battery,
// BIOS maker, OEM marker, enhanced authentication, setup password. None: a target. A setup
// password that is set refuses the machine only when the administrator supplied none.
std::optional<RunStatusCode> FirstRefusal(const PlatformFacts& facts,
                                          bool passwordSupplied = false);

// The qualification's outcome for the write that may follow it.
struct Qualification {
    std::optional<RunStatusCode> refusal = std::nullopt;
    // The firmware says a setup password is set: only then does the write send one.
    bool setupPasswordSet = false;
};

// True when an OEM string is the firmware's marker "EDK2_1".
bool HasFirmwareMarker(const std::vector<std::wstring>& oemStrings);

// True when the computer's vendor is Vantrel: the first test, which alone says whether the
// machine is one of ours at all.
bool IsVantrelComputer(const PlatformFacts& facts);

// Gathers the profile, records it, probes the firmware security facts and applies the six tests
// in order. On refusal sets the run's status code to the reason; on acceptance leaves the
// status code alone. Prints nothing.
Qualification QualifyPlatformWith(bool passwordSupplied);

// QualifyPlatformWith without a supplied password; true when the machine is a target.
bool QualifyPlatform();
