// The built program on machine trees: exit codes, console lines and argument decoding as a
// user sees them.
#include "support/machine_paths.h"
#include "support/machine_tree.h"
#include "support/program_run.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using ::PrintTo;

constexpr const char* kSettledLines =
    "Vantrel Cellkeeper Patch\n"
    "Patch was previously run on Tue Mar 16 08:05:09 2021\n"
    "Previous status code: 0\n"
    "\n";

struct UnprivilegedCase {
    const char* name;
    bool lockFileExists = false;  // an administrator's run created it before
};

class UnprivilegedE2eTest : public testing::TestWithParam<UnprivilegedCase> {};

// A caller who may not create the run lock goes on without it and meets the registry gate.
TEST_P(UnprivilegedE2eTest, KeyWithoutWriteAccessExitsWith34) {
    MachineTree machine;
    machine.WriteFile(kKeyFile, kSettledStore);
    if (GetParam().lockFileExists) {
        machine.WriteFile(kLockFile, "");
        std::filesystem::permissions(
            machine.Path(kLockFile),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    }
    namespace fs = std::filesystem;
    fs::permissions(machine.Path(kKeyFile),
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(machine.Path(kKeyFolder), fs::perms::owner_read | fs::perms::owner_exec |
                                                  fs::perms::group_read | fs::perms::group_exec |
                                                  fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(machine.Root(), fs::perms::others_read | fs::perms::others_exec,
                    fs::perm_options::add);
    // Root may write anything, so the program runs as an ordinary user then, from a copy that
    // user can reach wherever the checkout lies.
    const std::string prefix =
        geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    const fs::path program = machine.Path("cellkeeper-patch");
    fs::copy_file(CELLKEEPER_PATCH_EXE, program);
    fs::permissions(program, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                 fs::perms::others_read | fs::perms::others_exec);
    const ProgramOutcome outcome = RunProgram("/FORCE", prefix, program);
    EXPECT_EQ(outcome.exitCode, 34);
    EXPECT_EQ(outcome.output,
              "Vantrel Cellkeeper Patch\n"
              "FATAL ERROR: Unable to access required Windows registry; error code = 5\n");
    fs::permissions(machine.Path(kKeyFolder), fs::perms::owner_all, fs::perm_options::add);
    EXPECT_EQ(machine.ReadFile(kKeyFile), kSettledStore);
}

INSTANTIATE_TEST_SUITE_P(Cases, UnprivilegedE2eTest,
                         testing::Values(UnprivilegedCase{"NoLockYet", false},
                                         UnprivilegedCase{"LockOfAnAdministrator", true}),
                         CaseName());

// Eight runs started at once used to all write the setting and leave a status of 1 or 2 in the
// record; one run at a time, exactly one patches and the others find its record.
TEST(RunDriverE2eTest, EightRunsAtOnceSettleTheMachineOnce) {
    MachineTree machine;
    machine.CopyTree(SampleMachine("vantrel-notebook"), "");
    constexpr int kRuns = 8;
    std::vector<ProgramOutcome> outcomes(kRuns);
    std::vector<std::thread> runs;
    for (ProgramOutcome& outcome : outcomes) {
        runs.emplace_back([&outcome] { outcome = RunProgram(""); });
    }
    for (std::thread& run : runs) run.join();

    int patched = 0;
    for (const ProgramOutcome& outcome : outcomes) {
        EXPECT_EQ(outcome.exitCode, 0) << outcome.output;
        if (outcome.output == "Vantrel Cellkeeper Patch\nPatch successfully applied\n") {
            ++patched;
        } else {
            EXPECT_TRUE(outcome.output.starts_with(
                "Vantrel Cellkeeper Patch\nPrevious status code (from EFI variable): 0\n"))
                << outcome.output;
        }
    }
    EXPECT_EQ(patched, 1);
    const std::optional<std::string> store = machine.ReadFile(kKeyFile);
    ASSERT_TRUE(store);
    EXPECT_NE(store->find("\"Status\"=dword:00000000\n"), std::string::npos) << *store;
    const std::optional<std::string> variable = machine.ReadFile(kVariableFile);
    ASSERT_TRUE(variable);
    // The status word of the record, after the 4-byte attributes and 16 bytes of the record.
    ASSERT_EQ(variable->size(), 28u);
    EXPECT_EQ(variable->substr(20, 4), std::string(4, '\0'));
}

TEST(RunDriverE2eTest, BrokenStoreExitsWith35) {
    MachineTree machine;
    machine.WriteFile(kKeyFile, "[half a key\n");
    const ProgramOutcome outcome = RunProgram("");
    EXPECT_EQ(outcome.exitCode, 35);
    EXPECT_EQ(outcome.output,
              "Vantrel Cellkeeper Patch\n"
              "FATAL ERROR: Unable to access required Windows registry; error code = 1015\n");
    EXPECT_EQ(machine.ReadFile(kKeyFile), "[half a key\n");
}

struct ArgumentCase {
    const char* name;
    const char* arguments = "";
    bool goesOn = false;
};

class ArgumentE2eTest : public testing::TestWithParam<ArgumentCase> {};

// On a settled machine without the vendor namespace, a run that goes on past the previous-run
// gate ends with the COM error of the setting read (33); one that stops exits with 0.
TEST_P(ArgumentE2eTest, OnlyForceGoesPastTheGate) {
    MachineTree machine;
    machine.CopyTree(SampleMachine("no-bios-namespace"), "");
    machine.WriteFile(kKeyFile, kSettledStore);
    const ProgramOutcome outcome = RunProgram(GetParam().arguments);
    if (GetParam().goesOn) {
        EXPECT_EQ(outcome.exitCode, 33);
        EXPECT_EQ(outcome.output,
                  std::string(kSettledLines) + "FATAL ERROR: Application terminated abnormally\n");
    } else {
        EXPECT_EQ(outcome.exitCode, 0);
        EXPECT_EQ(outcome.output, kSettledLines);
    }
    EXPECT_EQ(machine.ReadFile(kKeyFile), kSettledStore);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ArgumentE2eTest,
    testing::Values(
        ArgumentCase{.name = "None", .arguments = "", .goesOn = false},
        ArgumentCase{.name = "MixedCase", .arguments = "/FoRcE", .goesOn = true},
        ArgumentCase{.name = "AmongOthers", .arguments = "/DEBUG /force extra", .goesOn = true},
        ArgumentCase{.name = "TrailingBlank", .arguments = "'/FORCE '", .goesOn = false},
        ArgumentCase{.name = "Dash", .arguments = "-FORCE", .goesOn = false},
        // Bytes that are no text in the locale must not stop the run.
        ArgumentCase{
            .name = "InvalidBytes", .arguments = "\"$(printf '\\377\\376')\"", .goesOn = false},
        ArgumentCase{.name = "InvalidBytesThenForce",
                     .arguments = "\"$(printf '\\377')\" /FORCE",
                     .goesOn = true}),
    CaseName());

struct HelpCase {
    const char* name;
    const char* arguments = "";
};

class HelpE2eTest : public testing::TestWithParam<HelpCase> {};

// A request for help on a notebook that a run would patch: the usage text, exit code 0, and
// not one byte of the machine changed (no registry store, no firmware variable, no setting).
TEST_P(HelpE2eTest, PrintsUsageAndTouchesNothing) {
    MachineTree machine;
    machine.CopyTree(SampleMachine("vantrel-notebook"), "");
    const std::map<std::string, std::string> before = machine.Snapshot();
    const ProgramOutcome outcome = RunProgram(GetParam().arguments);
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_TRUE(outcome.output.starts_with(
        "Vantrel Cellkeeper Patch " CELLKEEPER_VERSION
        "\n"
        "Usage: cellkeeper-patch [/FORCE] [/EXITSTATUS] [/PASSWORDFILE:<path>]\n"))
        << outcome.output;
    for (const char* part : {"/FORCE", "/EXITSTATUS",
                             "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel\\Vantrel Cellkeeper Patch",
                             "cellkeeper_patch", "33", "34", "35"}) {
        EXPECT_NE(outcome.output.find(part), std::string::npos) << part;
    }
    EXPECT_EQ(outcome.output.find("Patch successfully applied"), std::string::npos);
    EXPECT_EQ(machine.Snapshot(), before);
}

INSTANTIATE_TEST_SUITE_P(Cases, HelpE2eTest,
                         testing::Values(HelpCase{"SlashQuestion", "'/?'"},
                                         HelpCase{"DashQuestion", "'-?'"}, HelpCase{"SlashH", "/H"},
                                         HelpCase{"DashH", "-h"}, HelpCase{"SlashHelp", "/help"},
                                         HelpCase{"DoubleDashHelp", "--Help"},
                                         HelpCase{"WithForce", "/FORCE --help"}),
                         CaseName());

}  // namespace

namespace {

// A record that cannot reach the disk (here: no file may grow, as on a full disk) stops the run
// before the firmware changes, and no success is told: exit 33, the setting as it was, no
// firmware record.
TEST(DurableRecordE2eTest, StoreThatCannotBeWrittenStopsTheRunBeforeTheFirmwareChanges) {
    MachineTree machine;
    machine.CopyTree(SampleMachine("vantrel-notebook"), "");
    const std::optional<std::string> setting = machine.ReadFile(kCellkeeperFile);

    const ProgramOutcome outcome = RunProgram("", "prlimit --fsize=0 ");

    EXPECT_EQ(outcome.exitCode, 33) << outcome.output;
    EXPECT_NE(outcome.output.find("FATAL ERROR: Unable to save the run record; error code = "),
              std::string::npos)
        << outcome.output;
    EXPECT_EQ(outcome.output.find("Patch successfully applied"), std::string::npos)
        << outcome.output;
    EXPECT_EQ(machine.ReadFile(kCellkeeperFile), setting);
    EXPECT_FALSE(machine.ReadFile(kVariableFile));
    // Once the disk takes writes again, the next run patches.
    EXPECT_EQ(RunProgram("/EXITSTATUS").exitCode, 0);
    EXPECT_EQ(machine.ReadFile(kCellkeeperFile), "Let Vantrel manage my battery charging");
}

}  // namespace

namespace {

constexpr const char* kPendingReboot =
    "sys/class/firmware-attributes/vantrel-wmi/attributes/pending_reboot";

// A change the firmware says waits for the next start is told as Debian's tools expect it:
// run/reboot-required, and the package's name once in run/reboot-required.pkgs.
TEST(RestartNoticeE2eTest, ChangeThatWaitsForTheNextStartLeavesRebootRequired) {
    MachineTree machine;
    machine.CopyTree(SampleMachine("vantrel-notebook"), "");
    machine.MakeFolder("run");
    machine.MakeFolder("var/log");
    machine.WriteAttribute(kPendingReboot, "1");
    machine.WriteFile("run/reboot-required.pkgs", "linux-image-amd64\n");

    EXPECT_EQ(RunProgram("/EXITSTATUS").exitCode, 0);
    EXPECT_EQ(RunProgram("/FORCE").exitCode, 0);

    EXPECT_EQ(machine.ReadFile("run/reboot-required"), "*** System restart required ***\n");
    EXPECT_EQ(machine.ReadFile("run/reboot-required.pkgs"),
              "linux-image-amd64\ncellkeeper-patch\n");
    EXPECT_NE(machine.ReadFile(kLogFile).value_or("").find(
                  "pending restart: the change takes effect at the next start; told in "
                  "run/reboot-required"),
              std::string::npos);
}

// Nothing is told where nothing changed or nothing waits, and a link planted at the name is
// never written through.
TEST(RestartNoticeE2eTest, NoNoticeWithoutAPendingChangeAndNoneThroughALink) {
    MachineTree machine;
    machine.CopyTree(SampleMachine("vantrel-notebook"), "");
    machine.MakeFolder("run");
    machine.WriteAttribute(kPendingReboot, "0");
    EXPECT_EQ(RunProgram("").exitCode, 0);
    EXPECT_FALSE(machine.ReadFile("run/reboot-required"));

    machine.WriteAttribute(kPendingReboot, "1");
    machine.WriteFile("elsewhere", "untouched\n");
    std::filesystem::create_symlink(machine.Path("elsewhere"), machine.Path("run/reboot-required"));
    EXPECT_EQ(RunProgram("/FORCE").exitCode, 0);
    EXPECT_EQ(machine.ReadFile("elsewhere"), "untouched\n");
    EXPECT_FALSE(machine.ReadFile("run/reboot-required.pkgs"));
}

}  // namespace
