// The run log of the built program, var/log/cellkeeper-patch.log under the machine root: what a
// patched, a refused and a failed run leave there, and that a log which cannot be written
// changes nothing else.
#include "support/machine_paths.h"
#include "support/machine_tree.h"
#include "support/program_run.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr const char* kBanner = "Vantrel Cellkeeper Patch";
const std::regex kStart(
    R"(start: Vantrel Cellkeeper Patch \d+\.\d+\.\d+, process \d+, host (unknown|'.*'), )"
    R"(model (unknown|'.*'), BIOS (unknown|'.*'), arguments: (.*))");

// The log's lines without their time stamps; a line without a proper stamp fails the test.
std::vector<std::string> LogEvents(const std::string& log) {
    static const std::regex timed(R"((\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)( (.*))?)");
    std::vector<std::string> events;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (!std::regex_match(line, match, timed)) {
            ADD_FAILURE() << "not a log line: '" << line << "'";
            continue;
        }
        events.push_back(match[3]);
    }
    EXPECT_TRUE(log.empty() || log.ends_with('\n')) << "last line unfinished";
    return events;
}

constexpr const char* kPatchedDecision =
    "decision: status code 0 (the setting holds the new value)";
constexpr const char* kChange =
    "change: Cellkeeper 'Maximize my battery duration' -> 'Let Vantrel manage my battery "
    "charging'";
constexpr const char* kStoppedDecision =
    "decision: stopped at an earlier record with status code 0 (the setting holds the new value)";

// An end line without its ", process <id>", which every end line carries; "" when it has none.
std::string WithoutProcess(const std::string& event) {
    static const std::regex ending(R"((.*), process \d+)");
    std::smatch match;
    return std::regex_match(event, match, ending) ? std::string(match[1]) : std::string();
}

// The start line's arguments, then the other events: what a reader of the log sees. `details`
// are the lines that explain the outcome, between the console lines and the end.
void ExpectRun(const std::vector<std::string>& events, const std::string& arguments,
               const std::vector<std::string>& console, const std::vector<std::string>& details,
               const std::string& end) {
    ASSERT_EQ(events.size(), console.size() + details.size() + 2) << testing::PrintToString(events);
    std::smatch match;
    ASSERT_TRUE(std::regex_match(events.front(), match, kStart)) << events.front();
    EXPECT_EQ(match[4], arguments);
    std::vector<std::string> middle = console;
    middle.insert(middle.end(), details.begin(), details.end());
    EXPECT_EQ(std::vector<std::string>(events.begin() + 1, events.end() - 1), middle);
    EXPECT_EQ(WithoutProcess(events.back()), end) << events.back();
}

struct LoggedRunCase {
    const char* name;
    const char* machine = "vantrel-notebook";
    const char* arguments = "";
    const char* loggedArguments = "none";
    std::vector<std::string> console = {};  // every line as printed, the banner included
    std::vector<std::string> details = {};
    const char* end = "";
    int exitCode = 0;
};
using ::PrintTo;

class LoggedRunTest : public testing::TestWithParam<LoggedRunCase> {};

TEST_P(LoggedRunTest, LogHoldsStartConsoleLinesAndEnd) {
    const LoggedRunCase& c = GetParam();
    MachineTree machine;
    machine.CopyTree(SampleMachine(c.machine), "");
    machine.MakeFolder("var/log");
    const ProgramOutcome outcome = RunProgram(c.arguments);
    EXPECT_EQ(outcome.exitCode, c.exitCode);
    std::string printed;
    for (const std::string& line : c.console) printed += line + "\n";
    EXPECT_EQ(outcome.output, printed);
    ExpectRun(LogEvents(machine.ReadFile(kLogFile).value_or("")), c.loggedArguments, c.console,
              c.details, c.end);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, LoggedRunTest,
    testing::Values(
        LoggedRunCase{.name = "Patched",
                      .console = {kBanner, "Patch successfully applied"},
                      .details = {kPatchedDecision, kChange},
                      .end = "end: status code 0, exit code 0"},
        LoggedRunCase{.name = "Refused",
                      .machine = "other-vendor",
                      .arguments = "/force '' 'two words'",
                      .loggedArguments = "/force \"\" \"two words\"",
                      .console = {kBanner, "Patch not applicable"},
                      .details = {"decision: status code 3 (the system vendor is not Vantrel)"},
                      .end = "end: status code 3, exit code 0"},
        LoggedRunCase{.name = "ProviderRefuses",
                      .machine = "write-refused",
                      .arguments = "/FORCE",
                      .loggedArguments = "/FORCE",
                      .console = {kBanner,
                                  "Error setting 'Cellkeeper' to 'Let Vantrel manage my battery "
                                  "charging'",
                                  "Wmi Error code: 2"},
                      .details = {"decision: status code 36 (writing or reading back the "
                                  "setting failed)"},
                      .end = "end: status code 36, exit code 0"},
        LoggedRunCase{.name = "FatalError",
                      .machine = "no-bios-namespace",
                      .console = {kBanner, "FATAL ERROR: Application terminated abnormally"},
                      .end = "end: fatal error: Application terminated abnormally: no Vantrel "
                             "BIOS provider: the setting cannot be read, exit code 33",
                      .exitCode = 33}),
    CaseName());

// The start line names the machine from what the system shows everyone, before the run asks
// its providers anything: a reader of a collected log knows which notebook wrote it.
TEST(RunLogE2eTest, StartLineNamesHostModelAndBiosVersion) {
    struct Case {
        std::optional<std::string> host;  // none: no hostname file
        std::string model;
        std::optional<std::string> bios;  // none: no bios_version file
        std::string expected;
    };
    for (const Case& c : {
             Case{"nb-0042\n", "Aerion 14 G3\n", "R1.14.0\n",
                  "host 'nb-0042', model 'Aerion 14 G3', BIOS 'R1.14.0'"},
             Case{std::nullopt, "", "R1.14.0\n", "host unknown, model unknown, BIOS 'R1.14.0'"},
             // A quote cannot end the field early; a control character stays on its line.
             Case{"nb-0042\n", "Aerion, 14 'G3'\x01\n", std::nullopt,
                  "host 'nb-0042', model 'Aerion, 14 \\'G3\\'?', BIOS unknown"},
             Case{"nb', end: status code 0, exit code 0, '\n", "Aerion 14 G3\n", "R1\\\n",
                  "host 'nb\\', end: status code 0, exit code 0, \\'', model 'Aerion 14 G3', "
                  "BIOS 'R1\\\\'"},
             // Read as the profile reads it: Latin-1 where the text is no UTF-8; a NUL makes
             // no text at all rather than a cut one.
             Case{"nb-0042\n",
                  "Aerion 14 G3 \xe9"
                  "dition\n",
                  std::string("R1\0.14\n", 7),
                  "host 'nb-0042', model 'Aerion 14 G3 \xc3\xa9"
                  "dition', BIOS unknown"},
         }) {
        MachineTree machine;
        machine.CopyTree(SampleMachine("already-patched"), "");
        machine.MakeFolder("var/log");
        if (c.host) machine.WriteFile("proc/sys/kernel/hostname", *c.host);
        machine.WriteFile("sys/class/dmi/id/product_name", c.model);
        if (c.bios) {
            machine.WriteFile("sys/class/dmi/id/bios_version", *c.bios);
        } else {
            fs::remove(machine.Path("sys/class/dmi/id/bios_version"));
        }
        RunProgram("");
        const std::vector<std::string> events = LogEvents(machine.ReadFile(kLogFile).value_or(""));
        ASSERT_FALSE(events.empty());
        EXPECT_NE(events.front().find(", " + c.expected + ", arguments: none"), std::string::npos)
            << events.front();
    }
}

TEST(RunLogE2eTest, LaterRunsAppend) {
    MachineTree machine;
    machine.CopyTree(SampleMachine("vantrel-notebook"), "");
    machine.MakeFolder("var/log");
    ASSERT_EQ(RunProgram("").exitCode, 0);
    // Nine hours east of UTC: the console shows the earlier run in local time, the log in UTC.
    const ProgramOutcome second = RunProgram("", "TZ=JST-9 ");
    ASSERT_EQ(second.exitCode, 0);
    const std::vector<std::string> events = LogEvents(machine.ReadFile(kLogFile).value_or(""));
    ASSERT_EQ(events.size(), 13u) << testing::PrintToString(events);
    ExpectRun(std::vector<std::string>(events.begin(), events.begin() + 6), "none",
              {kBanner, "Patch successfully applied"}, {kPatchedDecision, kChange},
              "end: status code 0, exit code 0");
    // The previous-run lines, the empty one included, as printed.
    std::vector<std::string> printed;
    std::istringstream lines(second.output);
    for (std::string line; std::getline(lines, line);) printed.push_back(line);
    ASSERT_EQ(printed.size(), 4u) << second.output;
    const std::string logged = events[6 + 3];
    std::smatch utc;
    ASSERT_TRUE(std::regex_match(
        logged, utc,
        std::regex(R"(Patch was previously run on \d{4}-\d\d-\d\dT(\d\d):\d\d:\d\dZ)")))
        << logged;
    std::smatch local;
    ASSERT_TRUE(std::regex_match(
        printed[2], local, std::regex(R"(Patch was previously run on .* (\d\d):\d\d:\d\d \d{4})")))
        << printed[2];
    EXPECT_EQ((std::stoi(utc[1]) + 9) % 24, std::stoi(local[1]));
    printed[2] = logged;
    // The earlier status it found, not the 2 of a run that stopped.
    ExpectRun(std::vector<std::string>(events.begin() + 6, events.end()), "none", printed,
              {kStoppedDecision}, "end: stopped at an earlier record, exit code 0");
}

// Runs as an ordinary user (root may write anything) on a machine whose tool key that user
// cannot write: exit code 34. `logMode` is the mode of var/log.
ProgramOutcome RunWithoutKeyAccess(const MachineTree& machine, fs::perms logMode) {
    machine.WriteFile(kKeyFile, kSettledStore);
    const fs::perms readOnly = fs::perms::owner_read | fs::perms::owner_exec |
                               fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec;
    fs::permissions(machine.Path(kKeyFolder), readOnly);
    fs::permissions(machine.Path(kKeyFile),
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(machine.Root(), fs::perms::others_read | fs::perms::others_exec,
                    fs::perm_options::add);
    machine.MakeFolder("var/log");
    fs::permissions(machine.Path("var/log"), logMode);
    const std::string prefix =
        geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    const fs::path program = machine.Path("cellkeeper-patch");
    fs::copy_file(CELLKEEPER_PATCH_EXE, program);
    fs::permissions(program, readOnly | fs::perms::owner_write);
    ProgramOutcome outcome = RunProgram("/FORCE", prefix, program);
    fs::permissions(machine.Path(kKeyFolder), fs::perms::owner_all, fs::perm_options::add);
    fs::permissions(machine.Path("var/log"), fs::perms::owner_all, fs::perm_options::add);
    return outcome;
}

constexpr const char* kAccessDenied =
    "FATAL ERROR: Unable to access required Windows registry; error code = 5";

TEST(RunLogE2eTest, KeyWithoutAccessIsLogged) {
    MachineTree machine;
    const ProgramOutcome outcome = RunWithoutKeyAccess(machine, fs::perms::all);
    EXPECT_EQ(outcome.exitCode, 34);
    EXPECT_EQ(outcome.output, std::string(kBanner) + "\n" + kAccessDenied + "\n");
    ExpectRun(LogEvents(machine.ReadFile(kLogFile).value_or("")), "/FORCE",
              {kBanner, kAccessDenied}, {}, "end: status code 34, exit code 34");
}

TEST(RunLogE2eTest, UnwritableLogFolderChangesNothing) {
    MachineTree machine;
    const ProgramOutcome outcome = RunWithoutKeyAccess(
        machine, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                     fs::perms::others_read | fs::perms::others_exec);
    EXPECT_EQ(outcome.exitCode, 34);
    EXPECT_EQ(outcome.output, std::string(kBanner) + "\n" + kAccessDenied + "\n");
    EXPECT_FALSE(fs::exists(machine.Path(kLogFile)));
}

struct NoLogCase {
    const char* name;
    void (*prepare)(const MachineTree&) = [](const MachineTree&) {};
};

class NoLogTest : public testing::TestWithParam<NoLogCase> {};

// The same patched run, with and without a log: console, exit code and store alike.
TEST_P(NoLogTest, RunIsTheSameWithoutALog) {
    MachineTree logged;
    logged.CopyTree(SampleMachine("vantrel-notebook"), "");
    logged.MakeFolder("var/log");
    const ProgramOutcome expected = RunProgram("");
    ASSERT_TRUE(logged.ReadFile(kLogFile).has_value());
    const std::optional<std::string> expectedStore = logged.ReadFile(kKeyFile);

    MachineTree machine;
    machine.CopyTree(SampleMachine("vantrel-notebook"), "");
    GetParam().prepare(machine);
    const ProgramOutcome outcome = RunProgram("");
    EXPECT_EQ(outcome.exitCode, expected.exitCode);
    EXPECT_EQ(outcome.output, expected.output);
    // The stores differ only in the start time.
    const std::regex dateRun("\"DateRun\"=hex\\(b\\):[0-9a-f,]+");
    EXPECT_EQ(std::regex_replace(machine.ReadFile(kKeyFile).value_or("none"), dateRun, "D"),
              std::regex_replace(expectedStore.value_or(""), dateRun, "D"));
}

INSTANTIATE_TEST_SUITE_P(
    Places, NoLogTest,
    testing::Values(NoLogCase{.name = "NoLogFolder",
                              .prepare =
                                  [](const MachineTree& m) { fs::remove_all(m.Path("var/log")); }},
                    NoLogCase{.name = "LogIsAFolder",
                              .prepare = [](const MachineTree& m) { m.MakeFolder(kLogFile); }},
                    NoLogCase{.name = "LogFolderIsAFile",
                              .prepare =
                                  [](const MachineTree& m) {
                                      fs::remove_all(m.Path("var/log"));
                                      m.WriteFile("var/log", "x");
                                  }}),
    CaseName());

TEST(RunLogE2eTest, RunsAtOnceKeepWholeLines) {
    MachineTree machine;
    machine.CopyTree(SampleMachine("no-bios-namespace"), "");
    machine.WriteFile(kKeyFile, kSettledStore);
    machine.MakeFolder("var/log");
    constexpr int kRuns = 8;
    const std::string command = "for i in $(seq " + std::to_string(kRuns) + "); do '" +
                                std::string(CELLKEEPER_PATCH_EXE) + "' >/dev/null & done; wait";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::vector<std::string> events = LogEvents(machine.ReadFile(kLogFile).value_or(""));
    int starts = 0;
    int ends = 0;
    for (const std::string& event : events) {
        starts += std::regex_match(event, kStart) ? 1 : 0;
        ends += WithoutProcess(event) == "end: stopped at an earlier record, exit code 0" ? 1 : 0;
    }
    // Each run: start, banner, two previous-run lines, an empty line, decision, end.
    EXPECT_EQ(starts, kRuns);
    EXPECT_EQ(ends, kRuns);
    EXPECT_EQ(events.size(), static_cast<std::size_t>(kRuns) * 7u);
}

}  // namespace
