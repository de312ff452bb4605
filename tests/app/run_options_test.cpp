#include "app/run_options.h"
#include "support/table_case.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using OptionRecogniser = bool (*)(int argc, const wchar_t* const* argv);

struct OptionCase {
    const char* name;
    OptionRecogniser recogniser = HasForceOption;  // or HasHelpOption
    std::vector<const wchar_t*> arguments = {};    // without the program path
    bool recognised = false;
};

class OptionTest : public testing::TestWithParam<OptionCase> {};

TEST_P(OptionTest, RecognisesOnlyItsOwnSpellingsInAnyLetterCase) {
    const OptionCase& c = GetParam();
    std::vector<const wchar_t*> argv = {L"cellkeeper-patch"};
    argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
    EXPECT_EQ(c.recogniser(static_cast<int>(argv.size()), argv.data()), c.recognised);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OptionTest,
    testing::Values(
        // /FORCE, exactly.
        OptionCase{.name = "ForceNoArguments"},
        OptionCase{.name = "ForceUpper", .arguments = {L"/FORCE"}, .recognised = true},
        OptionCase{.name = "ForceLower", .arguments = {L"/force"}, .recognised = true},
        OptionCase{.name = "ForceMixed", .arguments = {L"/Force"}, .recognised = true},
        OptionCase{
            .name = "ForceAfterOther", .arguments = {L"/DEBUG", L"/FORCE"}, .recognised = true},
        OptionCase{
            .name = "ForceBeforeOther", .arguments = {L"/FORCE", L"/DEBUG"}, .recognised = true},
        OptionCase{
            .name = "ForceRepeated", .arguments = {L"/FORCE", L"/force"}, .recognised = true},
        OptionCase{.name = "ForceOtherOnly", .arguments = {L"/DEBUG"}},
        OptionCase{.name = "ForceTrailingBlank", .arguments = {L"/FORCE "}},
        OptionCase{.name = "ForceDash", .arguments = {L"-FORCE"}},
        OptionCase{.name = "ForceWithValue", .arguments = {L"/FORCE=1"}},
        OptionCase{.name = "ForceShort", .arguments = {L"/FORC"}},
        OptionCase{.name = "ForceNoSlash", .arguments = {L"FORCE"}},
        OptionCase{.name = "ForceEmpty", .arguments = {L""}},
        // Every spelling of help.
        OptionCase{.name = "HelpNoArguments", .recogniser = HasHelpOption},
        OptionCase{.name = "HelpSlashQuestion",
                   .recogniser = HasHelpOption,
                   .arguments = {L"/?"},
                   .recognised = true},
        OptionCase{.name = "HelpDashQuestion",
                   .recogniser = HasHelpOption,
                   .arguments = {L"-?"},
                   .recognised = true},
        OptionCase{.name = "HelpSlashH",
                   .recogniser = HasHelpOption,
                   .arguments = {L"/h"},
                   .recognised = true},
        OptionCase{.name = "HelpDashUpperH",
                   .recogniser = HasHelpOption,
                   .arguments = {L"-H"},
                   .recognised = true},
        OptionCase{.name = "HelpSlashHelp",
                   .recogniser = HasHelpOption,
                   .arguments = {L"/Help"},
                   .recognised = true},
        OptionCase{.name = "HelpDoubleDashHelp",
                   .recogniser = HasHelpOption,
                   .arguments = {L"--HELP"},
                   .recognised = true},
        // Help wins over a run, wherever it stands.
        OptionCase{.name = "HelpAfterForce",
                   .recogniser = HasHelpOption,
                   .arguments = {L"/FORCE", L"/?"},
                   .recognised = true},
        OptionCase{.name = "HelpForceOnly", .recogniser = HasHelpOption, .arguments = {L"/FORCE"}},
        OptionCase{
            .name = "HelpSingleDashHelp", .recogniser = HasHelpOption, .arguments = {L"-help"}},
        OptionCase{.name = "HelpDoubleDashH", .recogniser = HasHelpOption, .arguments = {L"--h"}},
        OptionCase{.name = "HelpQuestionAlone", .recogniser = HasHelpOption, .arguments = {L"?"}},
        OptionCase{
            .name = "HelpTrailingBlank", .recogniser = HasHelpOption, .arguments = {L"/? "}}),
    CaseName());

TEST(ForceOptionTest, IgnoresTheProgramPath) {
    const wchar_t* argv[] = {L"/FORCE"};
    EXPECT_FALSE(HasForceOption(1, argv));
}

}  // namespace
