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
    testing::Values(OptionCase{"NoArguments", {}, false}, OptionCase{"Upper", {L"/FORCE"}, true},
                    OptionCase{"Lower", {L"/force"}, true}, OptionCase{"Mixed", {L"/Force"}, true},
                    OptionCase{"AfterOther", {L"/DEBUG", L"/FORCE"}, true},
                    OptionCase{"BeforeOther", {L"/FORCE", L"/DEBUG"}, true},
                    OptionCase{"Repeated", {L"/FORCE", L"/force"}, true},
                    OptionCase{"OtherOnly", {L"/DEBUG"}, false},
                    OptionCase{"TrailingBlank", {L"/FORCE "}, false},
                    OptionCase{"Dash", {L"-FORCE"}, false},
                    OptionCase{"WithValue", {L"/FORCE=1"}, false},
                    OptionCase{"Short", {L"/FORC"}, false},
                    OptionCase{"NoSlash", {L"FORCE"}, false}, OptionCase{"Empty", {L""}, false}),
    CaseName());

class HelpOptionTest : public testing::TestWithParam<OptionCase> {};

// `force` here: whether the arguments ask for help.
TEST_P(HelpOptionTest, RecognisesEveryHelpSpellingInAnyLetterCase) {
    std::vector<const wchar_t*> argv = {L"cellkeeper-patch"};
    argv.insert(argv.end(), GetParam().arguments.begin(), GetParam().arguments.end());
    EXPECT_EQ(HasHelpOption(static_cast<int>(argv.size()), argv.data()), GetParam().force);
}

INSTANTIATE_TEST_SUITE_P(Cases, HelpOptionTest,
                         testing::Values(OptionCase{"NoArguments", {}, false},
                                         OptionCase{"SlashQuestion", {L"/?"}, true},
                                         OptionCase{"DashQuestion", {L"-?"}, true},
                                         OptionCase{"SlashH", {L"/h"}, true},
                                         OptionCase{"DashUpperH", {L"-H"}, true},
                                         OptionCase{"SlashHelp", {L"/Help"}, true},
                                         OptionCase{"DoubleDashHelp", {L"--HELP"}, true},
                                         // Help wins over a run, wherever it stands.
                                         OptionCase{"AfterForce", {L"/FORCE", L"/?"}, true},
                                         OptionCase{"ForceOnly", {L"/FORCE"}, false},
                                         OptionCase{"SingleDashHelp", {L"-help"}, false},
                                         OptionCase{"DoubleDashH", {L"--h"}, false},
                                         OptionCase{"QuestionAlone", {L"?"}, false},
                                         OptionCase{"TrailingBlank", {L"/? "}, false}),
                         CaseName());

TEST(ForceOptionTest, IgnoresTheProgramPath) {
    const wchar_t* argv[] = {L"/FORCE"};
    EXPECT_FALSE(HasForceOption(1, argv));
}

}  // namespace
