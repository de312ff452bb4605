#include "app/run_options.h"
#include "support/table_case.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct OptionCase {
    const char* name;
    std::vector<const wchar_t*> arguments;  // without the program path
    bool force;
};

class ForceOptionTest : public testing::TestWithParam<OptionCase> {};

TEST_P(ForceOptionTest, RecognisesOnlyTheExactOptionInAnyLetterCase) {
    std::vector<const wchar_t*> argv = {L"cellkeeper-patch"};
    argv.insert(argv.end(), GetParam().arguments.begin(), GetParam().arguments.end());
    EXPECT_EQ(HasForceOption(static_cast<int>(argv.size()), argv.data()), GetParam().force);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ForceOptionTest,
    testing::Values(
        OptionCase{.name = "NoArguments", .arguments = {}, .force = false},
        OptionCase{.name = "Upper", .arguments = {L"/FORCE"}, .force = true},
        OptionCase{.name = "Lower", .arguments = {L"/force"}, .force = true},
        OptionCase{.name = "Mixed", .arguments = {L"/Force"}, .force = true},
        OptionCase{.name = "AfterOther", .arguments = {L"/DEBUG", L"/FORCE"}, .force = true},
        OptionCase{.name = "BeforeOther", .arguments = {L"/FORCE", L"/DEBUG"}, .force = true},
        OptionCase{.name = "Repeated", .arguments = {L"/FORCE", L"/force"}, .force = true},
        OptionCase{.name = "OtherOnly", .arguments = {L"/DEBUG"}, .force = false},
        OptionCase{.name = "TrailingBlank", .arguments = {L"/FORCE "}, .force = false},
        OptionCase{.name = "Dash", .arguments = {L"-FORCE"}, .force = false},
        OptionCase{.name = "WithValue", .arguments = {L"/FORCE=1"}, .force = false},
        OptionCase{.name = "Short", .arguments = {L"/FORC"}, .force = false},
        OptionCase{.name = "NoSlash", .arguments = {L"FORCE"}, .force = false},
        OptionCase{.name = "Empty", .arguments = {L""}, .force = false}),
    CaseName());

class HelpOptionTest : public testing::TestWithParam<OptionCase> {};

// `force` here: whether the arguments ask for help.
TEST_P(HelpOptionTest, RecognisesEveryHelpSpellingInAnyLetterCase) {
    std::vector<const wchar_t*> argv = {L"cellkeeper-patch"};
    argv.insert(argv.end(), GetParam().arguments.begin(), GetParam().arguments.end());
    EXPECT_EQ(HasHelpOption(static_cast<int>(argv.size()), argv.data()), GetParam().force);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HelpOptionTest,
    testing::Values(OptionCase{.name = "NoArguments", .arguments = {}, .force = false},
                    OptionCase{.name = "SlashQuestion", .arguments = {L"/?"}, .force = true},
                    OptionCase{.name = "DashQuestion", .arguments = {L"-?"}, .force = true},
                    OptionCase{.name = "SlashH", .arguments = {L"/h"}, .force = true},
                    OptionCase{.name = "DashUpperH", .arguments = {L"-H"}, .force = true},
                    OptionCase{.name = "SlashHelp", .arguments = {L"/Help"}, .force = true},
                    OptionCase{.name = "DoubleDashHelp", .arguments = {L"--HELP"}, .force = true},
                    // Help wins over a run, wherever it stands.
                    OptionCase{
                        .name = "AfterForce", .arguments = {L"/FORCE", L"/?"}, .force = true},
                    OptionCase{.name = "ForceOnly", .arguments = {L"/FORCE"}, .force = false},
                    OptionCase{.name = "SingleDashHelp", .arguments = {L"-help"}, .force = false},
                    OptionCase{.name = "DoubleDashH", .arguments = {L"--h"}, .force = false},
                    OptionCase{.name = "QuestionAlone", .arguments = {L"?"}, .force = false},
                    OptionCase{.name = "TrailingBlank", .arguments = {L"/? "}, .force = false}),
    CaseName());

TEST(ForceOptionTest, IgnoresTheProgramPath) {
    const wchar_t* argv[] = {L"/FORCE"};
    EXPECT_FALSE(HasForceOption(1, argv));
}

}  // namespace
