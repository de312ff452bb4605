// The read-only check's verdict: what a run without "/FORCE" would do on a machine, decided from
// what the check read, by the same rules the run applies (the earlier record, the patch plan,
// the qualification). A plain function of the facts, so that a table of machines can hold it
// against what the run then does.
#pragma once

#include "platform/platform.h"
#include "qualification/qualification.h"
#include "record/earlier_run.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Exit codes of the check.
inline constexpr int kCheckCompliant = 0;   // the setting holds the new value, or no target
inline constexpr int kCheckWouldPatch = 1;  // a run would change the setting now
inline constexpr int kCheckBlocked = 2;     // the old value stays and a run would not change it
inline constexpr int kCheckUnknown = 3;     // no vendor provider, no rights, an error

// What the check read. A fact it could not read is marked so here (and named in the report's
// "unreadable"); a verdict that depends on it is then unknown.
struct CheckFacts {
    // The tool's key: an error other than a missing key makes it unreadable.
    LONG registryError = ERROR_SUCCESS;
    RegistryRunValues registry;
    // The firmware variable; unreadable when the read failed for another reason than a missing
    // variable (no privilege, a read fault).
    bool firmwareUnreadable = false;
    FirmwareRecordBytes firmware;
    // The vendor's BIOS provider and the setting. settingError: the setting's read failed.
    bool providerPresent = false;
    HRESULT settingError = S_OK;
    std::wstring currentValue;  // empty: no such setting
    std::vector<std::wstring> possibleValues;
    // The configuration method's class has an instance to call the write on.
    bool methodFound = false;
    // The administrator supplied a setup password that can be used, or named a source that
    // cannot (the run would end with an error).
    bool passwordSupplied = false;
    bool passwordUnusable = false;
    PlatformFacts platform;
};

struct CheckVerdict {
    int exitCode = kCheckUnknown;
    // The status code the run would record; none when it would stop at an earlier record, end
    // before recording anything, or when that cannot be told.
    std::optional<std::int32_t> statusCode;
    // The settled status of the earlier record a run would stop at.
    std::optional<std::int64_t> settledStatusCode;
    std::string reason;
    bool operator==(const CheckVerdict&) const = default;
};

CheckVerdict DecideCheck(const CheckFacts& facts);

// Why a run ends with a COM error from the vendor's provider, in words, for the check's reason
// and the run log: no provider, no configuration method, or the bare code.
std::string ProviderFailure(HRESULT error);
