#include "patch/patch_plan.h"

#include "base/text.h"
#include "bios/named_texts.h"

PatchPlan PlanPatch(const std::wstring& currentValue, bool force,
                    const std::function<Qualification()>& qualify) {
    if (currentValue.empty()) return {PatchStep::kSettingNotFound, std::nullopt, false};
    const Qualification qualification = qualify();
    if (qualification.refusal) {
        return {PatchStep::kNotApplicable, qualification.refusal, false};
    }
    if (force || EqualsIgnoreCase(currentValue, kValueBeforePatch)) {
        return {PatchStep::kWrite, std::nullopt, qualification.setupPasswordSet};
    }
    return {PatchStep::kNotRequired, std::nullopt, false};
}
