#include "app/check_verdict.h"

#include "base/text.h"
#include "bios/named_texts.h"
#include "patch/patch_plan.h"
#include "platform/wbem_status.h"
#include "record/status_meaning.h"

#include <algorithm>
#include <cstdio>

namespace {

bool IsNoTarget(RunStatusCode code) {
    return code == RunStatusCode::WrongSystemVendor || code == RunStatusCode::NoBattery ||
           code == RunStatusCode::WrongFirmware;
}

std::string ErrorCode(long error) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(error) & 0xFFFFFFFFUL);
    return text;
}

// The provider checks a new value against the setting's choices and refuses one it does not
// offer; a setting that lists no choices may take any value.
bool OffersNewValue(const std::vector<std::wstring>& possibleValues) {
    return possibleValues.empty() ||
           std::any_of(possibleValues.begin(), possibleValues.end(),
                       [](const std::wstring& v) { return EqualsIgnoreCase(v, kValueAfterPatch); });
}

CheckVerdict Verdict(int exitCode, std::optional<RunStatusCode> status, std::string reason) {
    CheckVerdict verdict;
    verdict.exitCode = exitCode;
    if (status) verdict.statusCode = static_cast<std::int32_t>(*status);
    verdict.reason = std::move(reason);
    return verdict;
}

constexpr const char* kNotVantrel = "not a Vantrel computer";

// What a run that goes on past the previous-run gate would record, and the verdict on it.
CheckVerdict DecideGoingOn(const CheckFacts& facts) {
    const bool vantrel = IsVantrelComputer(facts.platform);
    if (facts.passwordUnusable) {
        // The run ends with a fatal error before it touches the firmware.
        return vantrel ? Verdict(kCheckUnknown, std::nullopt,
                                 "the setup password cannot be used: a run would end with an "
                                 "error")
                       : Verdict(kCheckCompliant, std::nullopt, kNotVantrel);
    }
    if (!facts.providerPresent) {
        // The run ends with a fatal error before it records anything.
        return vantrel ? Verdict(kCheckUnknown, std::nullopt,
                                 ProviderFailure(Hr(WBEM_E_CONNECTION_FAILED)))
                       : Verdict(kCheckCompliant, std::nullopt, kNotVantrel);
    }
    if (FAILED(facts.settingError)) {
        return vantrel ? Verdict(kCheckUnknown, std::nullopt,
                                 "the setting cannot be read (error " +
                                     ErrorCode(facts.settingError) + ")")
                       : Verdict(kCheckCompliant, std::nullopt, kNotVantrel);
    }
    const std::optional<RunStatusCode> refusal =
        FirstRefusal(facts.platform, facts.passwordSupplied);
    const bool noTarget = refusal && IsNoTarget(*refusal);
    const bool holdsNew = EqualsIgnoreCase(facts.currentValue, kValueAfterPatch);
    const PatchPlan plan = PlanPatch(facts.currentValue, /*force=*/false, [&] {
        return Qualification{refusal, facts.platform.setupPasswordState == 1};
    });
    // Not Vantrel's machine, whatever the setting: nothing to do here.
    const auto compliantIfNoTarget = [&](RunStatusCode status, std::string reason) {
        if (!vantrel) return Verdict(kCheckCompliant, status, kNotVantrel);
        if (noTarget) return Verdict(kCheckCompliant, status, StatusMeaning(*refusal));
        return Verdict(kCheckBlocked, status, std::move(reason));
    };
    switch (plan.step) {
        case PatchStep::kSettingNotFound:
            return compliantIfNoTarget(RunStatusCode::SettingNotFound,
                                       StatusMeaning(RunStatusCode::SettingNotFound));
        case PatchStep::kNotApplicable:
            if (holdsNew && !noTarget) {
                return Verdict(
                    kCheckCompliant, *plan.refusal,
                    StatusMeaning(RunStatusCode::Success) + "; " + StatusMeaning(*plan.refusal));
            }
            return compliantIfNoTarget(*plan.refusal, StatusMeaning(*plan.refusal));
        case PatchStep::kWrite:
            if (!OffersNewValue(facts.possibleValues)) {
                return Verdict(kCheckBlocked, RunStatusCode::WmiError,
                               "the setting does not offer the new value: the firmware would "
                               "refuse the change");
            }
            if (!facts.methodFound) {
                return Verdict(kCheckUnknown, std::nullopt,
                               ProviderFailure(Hr(WBEM_E_INVALID_CLASS)));
            }
            return Verdict(kCheckWouldPatch, RunStatusCode::Success,
                           "a run would change the setting now");
        case PatchStep::kNotRequired:
            return Verdict(kCheckCompliant, RunStatusCode::Success,
                           holdsNew ? StatusMeaning(RunStatusCode::Success)
                                    : "the setting holds another value, which a run leaves as "
                                      "it is");
    }
    return Verdict(kCheckUnknown, std::nullopt, "the check failed");
}

}  // namespace

std::string ProviderFailure(HRESULT error) {
    switch (error) {
        case Hr(WBEM_E_CONNECTION_FAILED):
        case Hr(WBEM_E_INVALID_NAMESPACE):
            return "no Vantrel BIOS provider: the setting cannot be read";
        case Hr(WBEM_E_INVALID_CLASS):
        case Hr(WBEM_E_NOT_FOUND):
        case Hr(WBEM_E_INVALID_METHOD):
            return "the Vantrel BIOS provider has no configuration method: the setting cannot be "
                   "written";
        default:
            return "the Vantrel BIOS provider failed with error " + ErrorCode(error);
    }
}

CheckVerdict DecideCheck(const CheckFacts& facts) {
    const bool vantrel = IsVantrelComputer(facts.platform);
    if (facts.registryError != ERROR_SUCCESS) {
        // The run might end at its registry gate, or not: only the run can tell.
        return vantrel ? Verdict(kCheckUnknown, std::nullopt, "the registry key cannot be read")
                       : Verdict(kCheckCompliant, std::nullopt, kNotVantrel);
    }
    if (facts.firmwareUnreadable) {
        // Whether an earlier record stops the run is unknown: only a verdict that no record can
        // change stands, and the status code the run would record is unknown.
        CheckVerdict verdict = DecideGoingOn(facts);
        verdict.statusCode.reset();
        if (verdict.exitCode == kCheckWouldPatch) {
            verdict.exitCode = kCheckUnknown;
            verdict.reason =
                "the firmware record cannot be read: an earlier run may have settled "
                "the matter";
        } else if (verdict.exitCode != kCheckUnknown) {
            verdict.reason += "; the firmware record cannot be read";
        }
        return verdict;
    }
    const FirmwareRunRecord& firmware = facts.firmware.record;
    const EarlierRun earlier = JudgeEarlierRun(firmware, [&] { return facts.registry; });
    if (!earlier.settled) return DecideGoingOn(facts);

    // The run stops at the earlier record and records nothing.
    CheckVerdict verdict;
    verdict.settledStatusCode = earlier.status;
    const auto settled = static_cast<std::int32_t>(earlier.status.value_or(0));
    const std::string earlierText = "an earlier run settled the matter with status " +
                                    std::to_string(*earlier.status) + " (" +
                                    StatusMeaning(settled) + ")";
    const std::optional<RunStatusCode> refusal = FirstRefusal(facts.platform);
    if (!vantrel) {
        verdict.exitCode = kCheckCompliant;
        verdict.reason = kNotVantrel;
    } else if (facts.providerPresent && EqualsIgnoreCase(facts.currentValue, kValueAfterPatch)) {
        verdict.exitCode = kCheckCompliant;
        verdict.reason = earlierText + "; the setting holds the new value";
    } else if (refusal && IsNoTarget(*refusal)) {
        verdict.exitCode = kCheckCompliant;
        verdict.reason = earlierText + "; " + StatusMeaning(*refusal);
    } else {
        verdict.exitCode = kCheckBlocked;
        verdict.reason = earlierText + "; only /FORCE would run again";
    }
    return verdict;
}
