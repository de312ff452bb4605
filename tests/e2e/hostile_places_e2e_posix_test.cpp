// What others on the machine can leave where the program, run as root, writes or waits: a link
// or a FIFO at the log's name, a file-size limit, a read-only run/. The run never writes through
// a link, never blocks, never dies of a signal and never goes on unlocked in silence.
#include "support/machine_paths.h"
#include "support/machine_tree.h"
#include "support/program_run.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>

namespace {

namespace fs = std::filesystem;

const std::string kPatched = "Vantrel Cellkeeper Patch\nPatch successfully applied\n";

std::string NoLogLine(const MachineTree& machine) {
    return "WARNING: No run log this time; " + machine.Path(kLogFile).string() +
           " cannot be opened as a plain file; error code = 1920\n";
}

MachineTree& Notebook(MachineTree& machine) {
    machine.CopyTree(SampleMachine("vantrel-notebook"), "");
    machine.MakeFolder("var/log");
    return machine;
}

TEST(HostileLogE2eTest, LinkAtTheLogsNameIsNeverFollowed) {
    MachineTree machine;
    Notebook(machine);
    machine.WriteFile("etc/shadow-of-a-file", "owned by root\n");
    fs::create_symlink(machine.Path("etc/shadow-of-a-file"), machine.Path(kLogFile));
    const ProgramOutcome outcome = RunProgram("");
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.output, NoLogLine(machine) + kPatched);
    EXPECT_EQ(machine.ReadFile("etc/shadow-of-a-file"), "owned by root\n");
    EXPECT_TRUE(fs::is_symlink(machine.Path(kLogFile)));
    EXPECT_TRUE(machine.ReadFile(kKeyFile).has_value()) << "the run went on";
}

// Without O_NONBLOCK the open waits for a reader for ever, before the banner.
TEST(HostileLogE2eTest, FifoAtTheLogsNameNeitherBlocksNorIsWritten) {
    MachineTree machine;
    Notebook(machine);
    ASSERT_EQ(mkfifo(machine.Path(kLogFile).c_str(), 0644), 0);
    const ProgramOutcome outcome = RunProgram("");
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.output, NoLogLine(machine) + kPatched);
    EXPECT_TRUE(machine.ReadFile(kKeyFile).has_value());
}

// A write past the limit would raise SIGXFSZ and end the run before it records anything.
TEST(HostileLogE2eTest, LogPastAFileSizeLimitLosesLinesNotTheRun) {
    MachineTree machine;
    Notebook(machine);
    const std::string old(600 * 1024, 'x');
    machine.WriteFile(kLogFile, old);
    const ProgramOutcome outcome = RunProgram("", "prlimit --fsize=524288 ");
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.output, kPatched);
    EXPECT_EQ(machine.ReadFile(kLogFile), old);
    EXPECT_TRUE(machine.ReadFile(kKeyFile).has_value());
}

// Runs that all find the log past its size rotate it once: the history survives in ".1".
TEST(HostileLogE2eTest, RunsAtOnceRotateTheLogOnce) {
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

// ProtectSystem=strict without a writable /run: the lock file cannot be made. Such a run used to
// pass for one without rights and went on unlocked.
TEST(HostileLockE2eTest, ReadOnlyRunFolderEndsTheRunWith33) {
    MachineTree machine;
    Notebook(machine);
    machine.MakeFolder("run");
    const std::string run = machine.Path("run").string();
    // A mount namespace of the run's own, in which run/ is a read-only bind mount of itself.
    const ProgramOutcome outcome =
        RunProgram("",
                   "unshare -m sh -c 'mount --bind \"$0\" \"$0\" && mount -o remount,bind,ro "
                   "\"$0\" \"$0\" && exec \"$@\"' '" +
                       run + "' ");
    EXPECT_EQ(outcome.exitCode, 33);
    EXPECT_EQ(outcome.output,
              "Vantrel Cellkeeper Patch\nFATAL ERROR: Unable to take the run lock; error code = "
              "19\n");
    EXPECT_FALSE(machine.ReadFile(kKeyFile).has_value());
    EXPECT_FALSE(fs::exists(machine.Path(kLockFile)));
}

}  // namespace
