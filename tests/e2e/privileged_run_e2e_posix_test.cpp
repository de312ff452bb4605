// The built program as root on a machine where something hostile or odd stands in its way: the
// log's name taken by a link or a FIFO, a file-size limit, two runs that both find the log due
// for rotation, a read-only run/, oversized DMI texts and two setup-password folders. None may
// steer the run's writes, hang it, or leave a state that stops later runs.
#include "support/machine_paths.h"
#include "support/machine_tree.h"
#include "support/program_run.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr const char* kPatched = "Vantrel Cellkeeper Patch\nPatch successfully applied\n";
constexpr const char* kCellkeeper =
    "sys/class/firmware-attributes/vantrel-wmi/attributes/Cellkeeper/current_value";
constexpr const char* kNewValue = "Let Vantrel manage my battery charging";

class PrivilegedRunTest : public testing::Test {
  protected:
    PrivilegedRunTest() {
        machine_.CopyTree(SampleMachine("vantrel-notebook"), "");
        machine_.MakeFolder("var/log");
    }
    std::string LogPath() const { return machine_.Path(kLogFile).string(); }

    MachineTree machine_;
};

TEST_F(PrivilegedRunTest, LinkAtTheLogsNameIsNotFollowed) {
    machine_.WriteFile("outside", "precious\n");
    fs::create_symlink(machine_.Path("outside"), machine_.Path(kLogFile));
    const ProgramOutcome outcome = RunProgram("");
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.output, "Vantrel Cellkeeper Patch\nNo run log: " + LogPath() +
                                  " is a link\nPatch successfully applied\n");
    EXPECT_EQ(machine_.ReadFile("outside"), "precious\n");
    EXPECT_EQ(machine_.ReadFile(kCellkeeper), kNewValue);
}

TEST_F(PrivilegedRunTest, FifoAtTheLogsNameNeitherHangsNorStopsTheRun) {
    ASSERT_EQ(mkfifo(machine_.Path(kLogFile).c_str(), 0600), 0);
    const ProgramOutcome outcome = RunProgram("");
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.output, "Vantrel Cellkeeper Patch\nNo run log: " + LogPath() +
                                  " is not a regular file\nPatch successfully applied\n");
    EXPECT_EQ(machine_.ReadFile(kCellkeeper), kNewValue);
}

TEST_F(PrivilegedRunTest, LogPastTheFileSizeLimitLosesLinesNotTheRun) {
    // 600 KB: past a limit of 512 blocks (of 1 KiB), below the rotation size.
    machine_.WriteFile(kLogFile, std::string(600 * 1024, 'x'));
    const ProgramOutcome outcome = RunProgram("", "ulimit -f 512; ");
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.output, kPatched);
    EXPECT_EQ(machine_.ReadFile(kCellkeeper), kNewValue);
    EXPECT_TRUE(machine_.ReadFile(kKeyFile).value_or("").find("\"Status\"=dword:00000000") !=
                std::string::npos);
}

TEST_F(PrivilegedRunTest, TwoRunsThatFindTheLogDueRotateItOnce) {
    const std::string old(1024 * 1024 + 1, 'x');
    machine_.WriteFile(kLogFile, old);
    machine_.MakeFolder("run");
    // Both runs open the log while the test holds the run lock, so both find it due; the lock
    // then lets them on one after the other.
    const std::string program = CELLKEEPER_PATCH_EXE;
    const std::string script =
        "cd '" + machine_.Root().string() +
        "' || exit 1; exec 9>run/cellkeeper-patch.lock; "
        "flock 9; '" +
        program + "' 9>&- >/dev/null & a=$!; '" + program +
        "' 9>&- >/dev/null & "
        "b=$!; for p in $a $b; do until ls -l /proc/$p/fd 2>/dev/null | "
        "grep -q 'cellkeeper-patch.log$'; do sleep 0.05; done; done; flock -u 9; "
        "wait $a && wait $b";
    machine_.WriteFile("race.sh", script);
    ASSERT_EQ(std::system(("bash '" + machine_.Path("race.sh").string() + "'").c_str()), 0);
    EXPECT_EQ(machine_.ReadFile(std::string(kLogFile) + ".1"), old);
    // Both runs' lines are in the new log.
    const std::string log = machine_.ReadFile(kLogFile).value_or("");
    int starts = 0;
    for (std::size_t at = 0; (at = log.find(" start: ", at)) != std::string::npos; ++at) ++starts;
    EXPECT_EQ(starts, 2) << log.substr(0, 2000);
}

// Runs that all find the log past its size rotate it once: the history survives in ".1".
TEST(PrivilegedRunsE2eTest, RunsAtOnceRotateTheLogOnce) {
    MachineTree machine;
    machine.CopyTree(SampleMachine("no-bios-namespace"), "");
    machine.WriteFile(kKeyFile, kSettledStore);
    machine.MakeFolder("var/log");
    const std::string history(1024 * 1024 + 1, 'h');
    machine.WriteFile(kLogFile, history + "\n");
    constexpr int kRuns = 4;
    const std::string command = "for i in $(seq " + std::to_string(kRuns) + "); do '" +
                                std::string(CELLKEEPER_PATCH_EXE) + "' >/dev/null & done; wait";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string rotated = machine.ReadFile(std::string(kLogFile) + ".1").value_or("");
    EXPECT_TRUE(rotated.starts_with(history + "\n")) << rotated.size();
    const std::string current = machine.ReadFile(kLogFile).value_or("");
    const std::regex start(R"(Z start: )");
    const auto starts = [&](const std::string& text) {
        return std::distance(std::sregex_iterator(text.begin(), text.end(), start),
                             std::sregex_iterator());
    };
    EXPECT_EQ(starts(rotated) + starts(current), kRuns);
}

TEST_F(PrivilegedRunTest, ReadOnlyRunFolderIsAFailureToTakeTheLock) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting a read-only run/ needs root";
    machine_.MakeFolder("run");
    const std::string before = machine_.ReadFile(kCellkeeper).value_or("");
    const ProgramOutcome outcome =
        RunProgram("", "unshare -m sh -c 'mount -t tmpfs -o ro tmpfs \"" +
                           machine_.Path("run").string() + "\" && exec \"$0\" \"$@\"' ");
    EXPECT_EQ(outcome.exitCode, 33);
    EXPECT_EQ(outcome.output,
              "Vantrel Cellkeeper Patch\nFATAL ERROR: Unable to take the run lock, its folder is "
              "read-only; error code = 19\n");
    EXPECT_EQ(machine_.ReadFile(kCellkeeper), before);
    EXPECT_FALSE(fs::exists(machine_.Path(kKeyFile)));
}

TEST_F(PrivilegedRunTest, OversizedDmiTextsHaveNoValueAndEveryRunCanReadTheRecord) {
    for (const char* file : {"sys_vendor", "product_name", "bios_vendor", "bios_version"}) {
        machine_.WriteAttribute(std::string("sys/class/dmi/id/") + file,
                                std::string(65 * 1024, 'V'));
    }
    const ProgramOutcome first = RunProgram("");
    EXPECT_EQ(first.exitCode, 0);
    EXPECT_LT(fs::file_size(machine_.Path(kKeyFile)), 4096u);
    const ProgramOutcome second = RunProgram("/FORCE");
    EXPECT_EQ(second.exitCode, 0) << second.output;
}

TEST_F(PrivilegedRunTest, AnyEnabledSetupPasswordFolderCounts) {
    // "Setup Password" (off) comes first by name; "Supervisor" has the same role and is on.
    const std::string folder = "sys/class/firmware-attributes/vantrel-wmi/authentication/";
    machine_.WriteAttribute(folder + "Supervisor/role", "bios-admin");
    machine_.WriteAttribute(folder + "Supervisor/is_enabled", "1");
    const std::string before = machine_.ReadFile(kCellkeeper).value_or("");
    const ProgramOutcome outcome = RunProgram("");
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.output, "Vantrel Cellkeeper Patch\nPatch not applicable\n");
    EXPECT_EQ(machine_.ReadFile(kCellkeeper), before);
    EXPECT_TRUE(machine_.ReadFile(kKeyFile).value_or("").find("\"Status\"=dword:00000007") !=
                std::string::npos);
}

}  // namespace
