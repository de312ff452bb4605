// The program killed (SIGKILL) just before and just after each call that changes a file, in a
// first run, in a /FORCE run over an earlier record and in a run over an earlier failed write
// (status 36 in the registry and the firmware): after every kill the store still
// parses and holds what was there before, and two more runs leave the machine patched with
// status 0 and no temporary file of the store behind.
#include "support/machine_paths.h"
#include "support/machine_tree.h"
#include "support/program_run.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace {

using ::PrintTo;

constexpr const char* kNew = "Let Vantrel manage my battery charging";
// An earlier run that settled the machine, and a profile value it recorded.
const std::string kEarlierStore = kSettledStore + "\"SystemVendor\"=\"Vantrel\"\n";
// An earlier run whose write failed, in the registry and in the firmware.
const std::string kUnsettledStore =
    std::string(kStoreStart) + kEarlierDateRun + "\"Status\"=dword:00000024\n";
const std::string kUnsettledVariable = [] {
    std::string bytes("\x07\x00\x00\x00\x18\x00\x00\x00\x01\x00\x00\x00", 12);
    bytes += std::string("\xb5\x66\x50\x60\x00\x00\x00\x00", 8);
    bytes += std::string("\x24\x00\x00\x00\x00\x00\x00\x00", 8);
    return bytes;
}();
// No call of a run comes near this many; a campaign that does has lost its way.
constexpr long kMaxKillPoints = 2000;

struct CampaignCase {
    const char* name;
    const char* arguments = "";
    // The registry holds a settled run, the setting its old value again.
    bool earlierRecord = false;
    // The registry and the firmware hold a run whose write failed (36): a run goes on.
    bool unsettledRecord = false;
    bool after = false;  // killed just after each call, else just before it
};

class KillCampaignE2eTest : public testing::TestWithParam<CampaignCase> {
  protected:
    // The shim's settings before the program; ASan must accept a library loaded before it.
    static std::string KillPrefix(long point, bool after) {
        std::string asan = "verify_asan_link_order=0";
        if (const char* options = std::getenv("ASAN_OPTIONS")) asan += ":" + std::string(options);
        return "CELLKEEPER_KILL_AT=" + std::to_string(point) +
               " CELLKEEPER_KILL_AFTER=" + (after ? "1" : "0") + " ASAN_OPTIONS='" + asan +
               "' LD_PRELOAD='" + CELLKEEPER_KILL_SHIM + "' ";
    }

    // One kill and its two reruns; false once the run went through without reaching `point`.
    bool KillAndSettle(long point) {
        const bool after = GetParam().after;
        SCOPED_TRACE(testing::Message()
                     << "killed " << (after ? "after" : "before") << " call " << point);
        MachineTree machine;
        machine.CopyTree(SampleMachine("vantrel-notebook"), "");
        if (GetParam().earlierRecord) machine.WriteFile(kKeyFile, kEarlierStore);
        if (GetParam().unsettledRecord) {
            machine.WriteFile(kKeyFile, kUnsettledStore);
            machine.WriteFile(kVariableFile, kUnsettledVariable);
        }

        const ProgramOutcome killed = RunProgram(GetParam().arguments, KillPrefix(point, after));
        // The shell between us and the program reports the kill as 128 + SIGKILL.
        if (killed.exitCode != -1 && killed.exitCode != 128 + SIGKILL) {
            EXPECT_EQ(killed.exitCode, 0) << killed.output;
            return false;
        }
        const std::optional<std::string> store = machine.ReadFile(kKeyFile);
        if (GetParam().earlierRecord || GetParam().unsettledRecord) {
            EXPECT_TRUE(store && store->find(kEarlierDateRun) != std::string::npos)
                << store.value_or("<no store>");
        }
        for (int rerun = 1; rerun <= 2; ++rerun) {
            const ProgramOutcome outcome = RunProgram(GetParam().arguments);
            // 35 would mean a store that no longer parses.
            EXPECT_EQ(outcome.exitCode, 0) << "rerun " << rerun << ":\n" << outcome.output;
        }
        const std::string settled = machine.ReadFile(kKeyFile).value_or("<no store>");
        // A kill between the firmware record and "Status" leaves the registry without a status,
        // or with the earlier unsettled one; the rerun that stops at the firmware record
        // brings the registry in line with it.
        const bool registrySettled =
            settled.find("\"Status\"=dword:00000000\n") != std::string::npos;
        EXPECT_TRUE(registrySettled) << settled;
        EXPECT_NE(settled.find("\"DateRun\"="), std::string::npos) << settled;
        EXPECT_EQ(machine.ReadFile(kCellkeeperFile), kNew);
        // Left-overs go with the next write of the key.
        for (const auto& entry : std::filesystem::directory_iterator(machine.Path(kKeyFolder))) {
            EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos)
                << entry.path();
        }
        return true;
    }
};

TEST_P(KillCampaignE2eTest, EveryKillIsSettledByTheSecondRerun) {
    long point = 1;
    for (; point <= kMaxKillPoints; ++point) {
        if (!KillAndSettle(point)) break;
        ASSERT_FALSE(HasFailure());
    }
    EXPECT_LE(point, kMaxKillPoints);
    // The campaign reached at least the registry key, the setting and the record.
    EXPECT_GT(point, 10);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, KillCampaignE2eTest,
    testing::Values(
        CampaignCase{.name = "FirstRunKilledBefore"},
        CampaignCase{.name = "FirstRunKilledAfter", .after = true},
        CampaignCase{.name = "ForcedRunOverAnEarlierRecordKilledBefore",
                     .arguments = "/FORCE",
                     .earlierRecord = true},
        CampaignCase{.name = "ForcedRunOverAnEarlierRecordKilledAfter",
                     .arguments = "/FORCE",
                     .earlierRecord = true,
                     .after = true},
        CampaignCase{.name = "RunOverAnUnsettledRecordKilledBefore", .unsettledRecord = true},
        CampaignCase{
            .name = "RunOverAnUnsettledRecordKilledAfter", .unsettledRecord = true, .after = true}),
    CaseName());

}  // namespace
