#include "patch/charging_policy_patch.h"

#include "base/console.h"
#include "base/text.h"
#include "bios/bios_constants.h"
#include "qualification/qualification.h"
#include "record/run_status_record.h"

#include <string>

namespace {

void SetStatus(RunStatusCode code) {
    RunStatusRecord::Instance().statusCode = static_cast<std::int32_t>(code);
}

}  // namespace

bool ChargingPolicyPatch::DecideAndPatch(bool force) {
    // The order is fixed: a missing setting, then a machine that is no target, are never
    // overridden by force.
    if (currentValue.empty()) {
        SetStatus(RunStatusCode::SettingNotFound);
        WriteLine(L"BIOS setting '" + kChargingPolicySetting +
                  L"' not found; patch not applicable");
        return false;
    }
    if (!QualifyPlatform()) {
        WriteLine(L"Patch not applicable");
        return false;
    }
    if (force || EqualsIgnoreCase(currentValue, kValueBeforePatch)) return ApplyPatch();
    WriteLine(L"Patch not required");
    SetStatus(RunStatusCode::Success);
    return true;
}

bool ChargingPolicyPatch::ApplyPatch() {
    valueBefore = currentValue;
    // A COM error raised on the way to the provider's method leaves from here.
    lastError = static_cast<HRESULT>(SetBiosSetting(/*password=*/std::wstring()));
    if (lastError == S_OK) {
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
        SetStatus(RunStatusCode::WmiError);
        WriteLine(L"Wmi Error code: " + std::to_wstring(lastError));
    }
    return false;
}

std::optional<bool> ChargingPolicyPatch::ReadPendingReboot() {
    if (SelectFirstInstance(kSettingsInterfaceClass) != S_OK) return std::nullopt;
    std::wstring pending;
    if (current.GetString(L"PendingReboot", pending) != S_OK || pending.empty()) {
        return std::nullopt;
    }
    return pending != L"0";
}
