#include "app/run_options.h"
#include "support/table_case.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using OptionRecogniser = bool (*)(int argc, const wchar_t* const* argv);

struct OptionCase {
    const char* name;
    OptionRecogniser recogniser;            // HasForceOption or HasHelpOption
    std::vector<const wchar_t*> arguments;  // without the program path
    bool recognised;
};

class OptionTest : public testing::TestWithParam<OptionCase> {};

TEST_P(OptionTest, RecognisesOnlyItsOwnSpellingsInAnyLetterCase) {
    const OptionCase& c = GetParam();
    std::vector<const wchar_t*> argv = {L"cellkeeper-patch"};
    argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
    EXPECT_EQ(c.recogniser(static_cast<int>(argv.size()), argv.data()), c.recognised);
}

INSTANTIATE_TEST_SUITE_P(Cases, OptionTest,
                         testing::Values(
                             // /FORCE, exactly.
                             OptionCase{.name = "ForceNoArguments",
                                        .recogniser = HasForceOption,
                                        .arguments = {},
                                        .recognised = false},
                             OptionCase{.name = "ForceUpper",
                                        .recogniser = HasForceOption,
                                        .arguments = {L"/FORCE"},
                                        .recognised = true},
                             OptionCase{.name = "ForceLower",
                                        .recogniser = HasForceOption,
                                        .arguments = {L"/force"},
                                        .recognised = true},
                             OptionCase{.name = "ForceMixed",
                                        .recogniser = HasForceOption,
                                        .arguments = {L"/Force"},
                                        .recognised = true},
                             OptionCase{.name = "ForceAfterOther",
                                        .recogniser = HasForceOption,
                                        .arguments = {L"/DEBUG", L"/FORCE"},
                                        .recognised = true},
                             OptionCase{.name = "ForceBeforeOther",
                                        .recogniser = HasForceOption,
                                        .arguments = {L"/FORCE", L"/DEBUG"},
                                        .recognised = true},
                             OptionCase{.name = "ForceRepeated",
                                        .recogniser = HasForceOption,
                                        .arguments = {L"/FORCE", L"/force"},
                                        .recognised = true},
                             OptionCase{.name = "ForceOtherOnly",
                                        .recogniser = HasForceOption,
                                        .arguments = {L"/DEBUG"},
                                        .recognised = false},
                             OptionCase{.name = "ForceTrailingBlank",
                                        .recogniser = HasForceOption,
                                        .arguments = {L"/FORCE "},
                                        .recognised = false},
                             OptionCase{.name = "ForceDash",
                                        .recogniser = HasForceOption,
                                        .arguments = {L"-FORCE"},
                                        .recognised = false},
                             OptionCase{.name = "ForceWithValue",
                                        .recogniser = HasForceOption,
                                        .arguments = {L"/FORCE=1"},
                                        .recognised = false},
                             OptionCase{.name = "ForceShort",
                                        .recogniser = HasForceOption,
                                        .arguments = {L"/FORC"},
                                        .recognised = false},
                             OptionCase{.name = "ForceNoSlash",
                                        .recogniser = HasForceOption,
                                        .arguments = {L"FORCE"},
                                        .recognised = false},
                             OptionCase{.name = "ForceEmpty",
                                        .recogniser = HasForceOption,
                                        .arguments = {L""},
                                        .recognised = false},
                             // Every spelling of help.
                             OptionCase{.name = "HelpNoArguments",
                                        .recogniser = HasHelpOption,
                                        .arguments = {},
                                        .recognised = false},
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
                             OptionCase{.name = "HelpForceOnly",
                                        .recogniser = HasHelpOption,
                                        .arguments = {L"/FORCE"},
                                        .recognised = false},
                             OptionCase{.name = "HelpSingleDashHelp",
                                        .recogniser = HasHelpOption,
                                        .arguments = {L"-help"},
                                        .recognised = false},
                             OptionCase{.name = "HelpDoubleDashH",
                                        .recogniser = HasHelpOption,
                                        .arguments = {L"--h"},
                                        .recognised = false},
                             OptionCase{.name = "HelpQuestionAlone",
                                        .recogniser = HasHelpOption,
                                        .arguments = {L"?"},
                                        .recognised = false},
                             OptionCase{.name = "HelpTrailingBlank",
                                        .recogniser = HasHelpOption,
                                        .arguments = {L"/? "},
                                        .recognised = false}),
                         CaseName());

TEST(ForceOptionTest, IgnoresTheProgramPath) {
    const wchar_t* argv[] = {L"/FORCE"};
    EXPECT_FALSE(HasForceOption(1, argv));
}

}  // namespace
