// The patch's decision alone: the order of setting, qualification and value.
#include "patch/patch_plan.h"
#include "support/table_case.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

struct PlanCase {
    const char* name;
    const wchar_t* currentValue = L"Maximize my battery duration";
    bool force = false;
    std::optional<RunStatusCode> refusal = {};
    bool setupPasswordSet = false;
    PatchPlan plan = {PatchStep::kWrite, std::nullopt, false};
    bool qualifies = true;  // whether the qualification is asked at all
};
using ::PrintTo;

class PlanPatchTest : public testing::TestWithParam<PlanCase> {};

TEST_P(PlanPatchTest, DecidesInItsFixedOrder) {
    const PlanCase& c = GetParam();
    bool asked = false;
    const PatchPlan plan = PlanPatch(c.currentValue, c.force, [&] {
        asked = true;
        return Qualification{c.refusal, c.setupPasswordSet};
    });
    EXPECT_EQ(plan, c.plan);
    EXPECT_EQ(asked, c.qualifies);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlanPatchTest,
    testing::Values(
        PlanCase{.name = "OldValueIsWritten"},
        PlanCase{.name = "OldValueInAnyLetterCase",
                 .currentValue = L"maximize MY battery duration"},
        PlanCase{.name = "NewValueNeedsNothing",
                 .currentValue = L"Let Vantrel manage my battery charging",
                 .plan = {PatchStep::kNotRequired, std::nullopt, false}},
        PlanCase{.name = "OtherValueIsLeftAlone",
                 .currentValue = L"Balanced",
                 .plan = {PatchStep::kNotRequired, std::nullopt, false}},
        PlanCase{.name = "ForceWritesAnyValue", .currentValue = L"Balanced", .force = true},
        // A qualified machine with a setup password set (the administrator supplied one): the
        // write sends it; without one set it is never sent.
        PlanCase{.name = "WriteSendsThePasswordWhereOneIsSet",
                 .setupPasswordSet = true,
                 .plan = {PatchStep::kWrite, std::nullopt, true}},
        PlanCase{.name = "NoWriteNoPassword",
                 .currentValue = L"Balanced",
                 .setupPasswordSet = true,
                 .plan = {PatchStep::kNotRequired, std::nullopt, false}},
        // A missing setting comes first, before the qualification is even asked, force or not.
        PlanCase{.name = "NoSetting",
                 .currentValue = L"",
                 .force = true,
                 .refusal = RunStatusCode::NoBattery,
                 .plan = {PatchStep::kSettingNotFound, std::nullopt, false},
                 .qualifies = false},
        PlanCase{.name = "RefusalWinsOverForce",
                 .force = true,
                 .refusal = RunStatusCode::SetupPasswordSet,
                 .plan = {PatchStep::kNotApplicable, RunStatusCode::SetupPasswordSet, false}}),
    CaseName());

}  // namespace
