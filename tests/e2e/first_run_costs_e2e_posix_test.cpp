// What a run costs the machine, counted by strace: the files of the firmware-attributes device it
// opens (on a real machine each open asks the firmware) and the flushes of the disk. A first run
// asks for each file once for each state of the device and makes its record durable at two
// points; a settled run asks and flushes nothing.
#include "support/machine_tree.h"
#include "support/program_run.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <string>

namespace {

constexpr const char* kDevice = "/sys/class/firmware-attributes/vantrel-wmi/";

struct RunCosts {
    std::map<std::string, int> deviceOpens;  // by path under the device folder
    int flushes = 0;
};

// One run of the program on `machine` under strace. Folders (listed, not read) and the
// temporary files of a plain-folder stand-in for the device are no questions to a firmware.
RunCosts TracedRun(const MachineTree& machine) {
    const std::string trace = machine.Path("strace.out").string();
    const ProgramOutcome outcome =
        RunProgram("",
                   // LeakSanitizer cannot run under ptrace; the other tests check for leaks.
                   "ASAN_OPTIONS=detect_leaks=0 strace -f -qq -e "
                   "trace=open,openat,openat2,fsync,fdatasync,syncfs,sync,"
                   "sync_file_range,msync -o '" +
                       trace + "' ");
    EXPECT_EQ(outcome.exitCode, 0) << outcome.output;
    RunCosts costs;
    std::ifstream lines(trace);
    EXPECT_TRUE(lines) << "no trace: is strace installed?";
    const std::regex open(R"(^\d+\s+open(at2?)?\((AT_FDCWD, )?"([^"]*)\", ([^)]*))");
    const std::regex flush(R"(^\d+\s+(fsync|fdatasync|syncfs|sync|sync_file_range|msync)\()");
    const std::regex temporary(R"(\.tmp-[A-Za-z0-9]{6}$)");
    std::smatch match;
    for (std::string line; std::getline(lines, line);) {
        if (std::regex_search(line, flush)) {
            ++costs.flushes;
        } else if (std::regex_search(line, match, open)) {
            const std::string path = match[3];
            const std::size_t device = path.find(kDevice);
            if (device == std::string::npos ||
                match[4].str().find("O_DIRECTORY") != std::string::npos ||
                std::regex_search(path, temporary)) {
                continue;
            }
            ++costs.deviceOpens[path.substr(device + std::string(kDevice).size())];
        }
    }
    return costs;
}

class RunCostsE2eTest : public testing::Test {
  protected:
    void SetUp() override { machine_.CopyTree(SampleMachine("vantrel-notebook"), ""); }
    MachineTree machine_;
};

// The decision reads each file it needs once; the setting's current value is read, written and
// read back; pending_reboot is read once, after the write. The settings' choices make them
// enumerations, so their type files are never asked for.
TEST_F(RunCostsE2eTest, FirstRunAsksTheFirmwareForEachFileOncePerState) {
    const std::map<std::string, int> expected = {
        {"attributes/Cellkeeper/current_value", 3},
        {"attributes/Cellkeeper/possible_values", 1},
        {"attributes/Enhanced BIOS Authentication Mode/current_value", 1},
        {"attributes/Enhanced BIOS Authentication Mode/possible_values", 1},
        {"attributes/pending_reboot", 1},
        {"authentication/Setup Password/encodings", 1},
        {"authentication/Setup Password/is_enabled", 1},
        {"authentication/Setup Password/role", 1},
    };
    const std::map<std::string, int> opens = TracedRun(machine_).deviceOpens;
    EXPECT_EQ(opens, expected);
    int total = 0;
    for (const auto& [file, count] : opens) total += count;
    EXPECT_LE(total, 10);
}

// Two durable points of the registry record, each flushing its file system twice: before the
// firmware changes and at the end.
TEST_F(RunCostsE2eTest, FirstRunFlushesTheDiskAtTheTwoDurablePointsOnly) {
    const int flushes = TracedRun(machine_).flushes;
    EXPECT_GT(flushes, 0) << "the record never reached the disk for certain";
    EXPECT_LE(flushes, 4);
}

TEST_F(RunCostsE2eTest, SettledRunAsksAndFlushesNothing) {
    TracedRun(machine_);
    const RunCosts settled = TracedRun(machine_);
    EXPECT_EQ(settled.deviceOpens, (std::map<std::string, int>{}));
    EXPECT_EQ(settled.flushes, 0);
}

}  // namespace

namespace {

// On a machine without firmware variables the registry is the whole record: its "Status" is on
// disk (the key file renamed into place and flushed) before the run lets go of its lock, so a
// second run that takes the lock at that moment finds a settled record, never a "DateRun"
// without a "Status".
TEST(RunLockE2eTest, StatusIsOnDiskBeforeTheLockIsReleased) {
    MachineTree machine;
    machine.CopyTree(SampleMachine("vantrel-notebook-no-efi"), "");
    machine.MakeFolder("run");
    const std::string trace = machine.Path("strace.out").string();
    const ProgramOutcome outcome =
        RunProgram("",
                   "ASAN_OPTIONS=detect_leaks=0 strace -f -qq -e trace=openat,close,flock,rename,"
                   "renameat,renameat2,fsync,fdatasync,syncfs -o '" +
                       trace + "' ");
    ASSERT_EQ(outcome.exitCode, 0) << outcome.output;
    std::ifstream lines(trace);
    ASSERT_TRUE(lines) << "no trace: is strace installed?";
    const std::regex lockOpen(R"(openat\(.*cellkeeper-patch\.lock", .*\) = (\d+)$)");
    const std::regex keyRename(R"(rename.*Vantrel Cellkeeper Patch\.reg")");
    const std::regex flush(R"(\b(fsync|fdatasync|syncfs)\()");
    std::string lockFd;
    int lastRename = -1, lastFlush = -1, released = -1, index = 0;
    std::smatch match;
    for (std::string line; std::getline(lines, line); ++index) {
        if (lockFd.empty() && std::regex_search(line, match, lockOpen)) lockFd = match[1];
        if (std::regex_search(line, keyRename)) lastRename = index;
        if (std::regex_search(line, flush)) lastFlush = index;
        if (!lockFd.empty() && released < 0 &&
            (line.find("close(" + lockFd + ")") != std::string::npos ||
             line.find("flock(" + lockFd + ", LOCK_UN") != std::string::npos)) {
            released = index;
        }
    }
    ASSERT_FALSE(lockFd.empty()) << "the run took no lock";
    ASSERT_GE(released, 0) << "the run never let go of its lock";
    EXPECT_GE(lastRename, 0);
    EXPECT_LT(lastRename, released);
    EXPECT_LT(lastFlush, released);
    EXPECT_GT(lastFlush, lastRename);
    EXPECT_NE(machine
                  .ReadFile("var/lib/cellkeeper-patch/registry/HKEY_LOCAL_MACHINE/SOFTWARE/Vantrel/"
                            "Vantrel Cellkeeper Patch.reg")
                  .value_or("")
                  .find("\"Status\"=dword:00000000"),
              std::string::npos);
}

}  // namespace
