#include "app/run_options.h"
#include "support/table_case.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct OptionCase {
    const char* name;
    std::vector<const wchar_t*> arguments = {};  // without the program path
    RunOptions options = {};
};

constexpr RunOptions kForce{.force = true};
constexpr RunOptions kHelp{.mode = RunMode::kHelp};

class RunOptionsTest : public testing::TestWithParam<OptionCase> {};

TEST_P(RunOptionsTest, ReadsEachOptionInItsOwnSpellingsOnly) {
    const OptionCase& c = GetParam();
    std::vector<const wchar_t*> argv = {L"cellkeeper-patch"};
    argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
    EXPECT_EQ(ReadRunOptions(static_cast<int>(argv.size()), argv.data()), c.options);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RunOptionsTest,
    testing::Values(
        OptionCase{.name = "NoArguments"},
        // /FORCE, exactly, in any letter case and position.
        OptionCase{.name = "ForceUpper", .arguments = {L"/FORCE"}, .options = kForce},
        OptionCase{.name = "ForceLower", .arguments = {L"/force"}, .options = kForce},
        OptionCase{.name = "ForceMixed", .arguments = {L"/Force"}, .options = kForce},
        OptionCase{
            .name = "ForceAfterOther", .arguments = {L"/DEBUG", L"/FORCE"}, .options = kForce},
        OptionCase{
            .name = "ForceBeforeOther", .arguments = {L"/FORCE", L"/DEBUG"}, .options = kForce},
        OptionCase{.name = "ForceRepeated", .arguments = {L"/FORCE", L"/force"}, .options = kForce},
        OptionCase{.name = "OtherOnly", .arguments = {L"/DEBUG"}},
        OptionCase{.name = "ForceTrailingBlank", .arguments = {L"/FORCE "}},
        OptionCase{.name = "ForceDash", .arguments = {L"-FORCE"}},
        OptionCase{.name = "ForceWithValue", .arguments = {L"/FORCE=1"}},
        OptionCase{.name = "ForceShort", .arguments = {L"/FORC"}},
        OptionCase{.name = "ForceNoSlash", .arguments = {L"FORCE"}},
        OptionCase{.name = "Empty", .arguments = {L""}},
        OptionCase{.name = "Null", .arguments = {nullptr, L"/FORCE"}, .options = kForce},
        // /EXITSTATUS goes with /FORCE, and a check keeps it without acting on it.
        OptionCase{
            .name = "ExitStatus", .arguments = {L"/exitstatus"}, .options = {.exitStatus = true}},
        OptionCase{.name = "ExitStatusWithForce",
                   .arguments = {L"/FORCE", L"/ExitStatus"},
                   .options = {.force = true, .exitStatus = true}},
        OptionCase{.name = "ExitStatusDash", .arguments = {L"-EXITSTATUS"}},
        OptionCase{.name = "ExitStatusWithCheck",
                   .arguments = {L"/EXITSTATUS", L"/CHECK"},
                   .options = {.mode = RunMode::kCheck, .exitStatus = true}},
        // Every spelling of help, the version and the check.
        OptionCase{.name = "HelpSlashQuestion", .arguments = {L"/?"}, .options = kHelp},
        OptionCase{.name = "HelpDashQuestion", .arguments = {L"-?"}, .options = kHelp},
        OptionCase{.name = "HelpSlashH", .arguments = {L"/h"}, .options = kHelp},
        OptionCase{.name = "HelpDashUpperH", .arguments = {L"-H"}, .options = kHelp},
        OptionCase{.name = "HelpSlashHelp", .arguments = {L"/Help"}, .options = kHelp},
        OptionCase{.name = "HelpDoubleDashHelp", .arguments = {L"--HELP"}, .options = kHelp},
        OptionCase{.name = "HelpSingleDashHelp", .arguments = {L"-help"}},
        OptionCase{.name = "HelpDoubleDashH", .arguments = {L"--h"}},
        OptionCase{.name = "HelpQuestionAlone", .arguments = {L"?"}},
        OptionCase{.name = "HelpTrailingBlank", .arguments = {L"/? "}},
        OptionCase{.name = "VersionSlash",
                   .arguments = {L"/Version"},
                   .options = {.mode = RunMode::kVersion}},
        OptionCase{.name = "VersionDoubleDash",
                   .arguments = {L"--VERSION"},
                   .options = {.mode = RunMode::kVersion}},
        OptionCase{.name = "VersionSingleDash", .arguments = {L"-version"}},
        OptionCase{
            .name = "CheckSlash", .arguments = {L"/check"}, .options = {.mode = RunMode::kCheck}},
        OptionCase{.name = "CheckDoubleDash",
                   .arguments = {L"--Check"},
                   .options = {.mode = RunMode::kCheck}},
        OptionCase{.name = "CheckWithValue", .arguments = {L"/CHECK:1"}},
        // The order of precedence, wherever each stands: help, the version, the check, a run.
        OptionCase{.name = "HelpAfterForce",
                   .arguments = {L"/FORCE", L"/?"},
                   .options = {.mode = RunMode::kHelp, .force = true}},
        OptionCase{.name = "HelpAfterVersionAndCheck",
                   .arguments = {L"/CHECK", L"/VERSION", L"-h"},
                   .options = kHelp},
        OptionCase{.name = "VersionBeforeCheck",
                   .arguments = {L"/VERSION", L"/CHECK"},
                   .options = {.mode = RunMode::kVersion}},
        OptionCase{.name = "VersionAfterCheck",
                   .arguments = {L"/CHECK", L"--version"},
                   .options = {.mode = RunMode::kVersion}},
        OptionCase{.name = "CheckWithForce",
                   .arguments = {L"/FORCE", L"/CHECK"},
                   .options = {.mode = RunMode::kCheck, .force = true}}),
    CaseName());

TEST(RunOptionsTest, IgnoresTheProgramPath) {
    const wchar_t* argv[] = {L"/FORCE"};
    EXPECT_EQ(ReadRunOptions(1, argv), RunOptions{});
}

}  // namespace
