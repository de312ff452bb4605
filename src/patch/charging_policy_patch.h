// The charging-policy patch: looks at the "Cellkeeper" setting, asks whether this machine is a
// target, writes the new value when it has to, reads it back and reports the outcome as console
// lines and as the run's status code.
#pragma once

#include "base/secret_text.h"
#include "bios/bios_config_client.h"
#include "platform/platform.h"

#include <optional>
#include <string>

// Raised before the write when the firmware takes the supplied password only in a form that
// cannot carry it: sent, it would count as a wrong attempt.
struct PasswordNotSendable {};

class ChargingPolicyPatch : public BiosConfigClient {
  public:
    ChargingPolicyPatch() = default;

    // Returns true when the patch was applied and verified, or was not required. A COM error
    // raised by the write passes through unchanged.
    bool DecideAndPatch(bool force);

    // Writes the new value and reads it back; true when the value read back is the new one.
    // `withPassword`: the write sends setupPassword.
    bool ApplyPatch(bool withPassword = false);

    // The setting's "Value" text; filled by the run driver's read and by the re-read.
    std::wstring settingValue;
    // The setting's "CurrentValue" text, the value every decision looks at; empty means that
    // the setting was not found or could not be read.
    std::wstring currentValue;
    // 0, or the provider's return code of the write, or the HRESULT of a failed read.
    HRESULT lastError = 0;
    // The value before a write, once the patch wrote one.
    std::optional<std::wstring> valueBefore;
    // The BIOS setup password the administrator supplied (empty: none). With it the machine
    // qualifies despite a setup password, and the write sends it where the firmware has one
    // set; a write it made that the firmware refuses settles the matter (status 10).
    SecretText setupPassword;
    // Whether the write sent the supplied password.
    bool passwordSent = false;

    // The provider's "PendingReboot" after a write (Linux: the device's pending_reboot); none
    // where the provider does not say.
    std::optional<bool> ReadPendingReboot();
};
