#include "patch/patch_plan.h"

#include "base/text.h"
#include "bios/bios_constants.h"

PatchPlan PlanPatch(const std::wstring& currentValue, bool force,
                    const std::function<std::optional<RunStatusCode>()>& qualify) {
    if (currentValue.empty()) return {PatchStep::kSettingNotFound, std::nullopt};
    if (const std::optional<RunStatusCode> refusal = qualify()) {
        return {PatchStep::kNotApplicable, refusal};
    }
    if (force || EqualsIgnoreCase(currentValue, kValueBeforePatch)) {
        return {PatchStep::kWrite, std::nullopt};
    }
    return {PatchStep::kNotRequired, std::nullopt};
}
