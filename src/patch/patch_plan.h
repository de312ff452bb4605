// What the charging-policy patch does on a machine: the decision alone, as a function of what
// was read, for the run and the read-only check alike.
#pragma once

#include "qualification/qualification.h"
#include "record/run_status_code.h"

#include <functional>
#include <optional>
#include <string>

enum class PatchStep {
    kSettingNotFound,  // status 9, never overridden by force
    kNotApplicable,    // the qualification refused the machine: `refusal`
    kWrite,            // the old value (or any value, with force) is to be replaced
    kNotRequired,      // status 0 without a write
};

struct PatchPlan {
    PatchStep step = PatchStep::kSettingNotFound;
    std::optional<RunStatusCode> refusal = std::nullopt;
    // The write sends the supplied setup password: only where the firmware has one set, as
    // firmware counts every wrong attempt.
    bool withPassword = false;
    bool operator==(const PatchPlan&) const = default;
};

// The order is fixed: a missing setting (an empty current value), then a machine that is no
// target, are never overridden by force. `qualify` runs the qualification (with the supplied
// password, if any, counted); it is called only once the setting was found.
PatchPlan PlanPatch(const std::wstring& currentValue, bool force,
                    const std::function<Qualification()>& qualify);
