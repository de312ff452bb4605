#include "patch/charging_policy_patch.h"

#include "base/console.h"
#include "base/text.h"
#include "bios/named_texts.h"
#include "patch/patch_plan.h"
#include "qualification/qualification.h"
#include "record/run_status_record.h"

#include <string>

namespace {

void SetStatus(RunStatusCode code) {
    RunStatusRecord::Instance().statusCode = static_cast<std::int32_t>(code);
}

}  // namespace

bool ChargingPolicyPatch::DecideAndPatch(bool force) {
    const bool passwordSupplied = !setupPassword.empty();
    const PatchPlan plan = PlanPatch(
        currentValue, force, [passwordSupplied] { return QualifyPlatformWith(passwordSupplied); });
    switch (plan.step) {
        case PatchStep::kSettingNotFound:
            SetStatus(RunStatusCode::SettingNotFound);
            WriteLine(L"BIOS setting '" + kChargingPolicySetting +
                      L"' not found; patch not applicable");
            return false;
        case PatchStep::kNotApplicable:
            // The qualification has set the status code to its reason.
            WriteLine(L"Patch not applicable");
            return false;
        case PatchStep::kWrite:
            return ApplyPatch(plan.withPassword && passwordSupplied);
        case PatchStep::kNotRequired:
            WriteLine(L"Patch not required");
            SetStatus(RunStatusCode::Success);
            return true;
    }
    return false;
}

bool ChargingPolicyPatch::ApplyPatch(bool withPassword) {
    valueBefore = currentValue;
    // The record written so far (the first run's "DateRun", the profile) is on disk before the
    // firmware changes, or the firmware is left alone.
    RunStatusRecord& record = RunStatusRecord::Instance();
    if (record.MakeDurable() != ERROR_SUCCESS) throw RecordNotDurable{record.registryKey.lastError};
    if (withPassword && !CanSendPassword(setupPassword.text())) throw PasswordNotSendable{};
    // A COM error raised on the way to the provider's method leaves from here.
    passwordSent = withPassword;
    lastError =
        static_cast<HRESULT>(SetBiosSetting(withPassword ? setupPassword.text() : std::wstring()));
    const bool refused = lastError != S_OK;
    if (!refused) {
        lastError = ReadSettingValue(kChargingPolicySetting, settingValue);
        if (lastError == S_OK) lastError = current.GetString(kCurrentValueProperty, currentValue);
        if (lastError == S_OK && EqualsIgnoreCase(currentValue, kValueAfterPatch)) {
            WriteLine(L"Patch successfully applied");
            SetStatus(RunStatusCode::Success);
            return true;
        }
    }
    WriteLine(L"Error setting '" + kChargingPolicySetting + L"' to '" + kValueAfterPatch + L"'");
    if (lastError != S_OK) {
        // A refused password counts as a wrong attempt in the firmware, which locks its setup
        // after a few: the matter is settled, and only /FORCE tries again.
        SetStatus(passwordSent && refused ? RunStatusCode::SetupPasswordRefused
                                          : RunStatusCode::WmiError);
        WriteLine(L"Wmi Error code: " + std::to_wstring(lastError));
    }
    return false;
}

std::optional<bool> ChargingPolicyPatch::ReadPendingReboot() {
    if (SelectFirstInstance(kSettingsInterfaceClass) != S_OK) return std::nullopt;
    return CurrentPendingReboot();
}
