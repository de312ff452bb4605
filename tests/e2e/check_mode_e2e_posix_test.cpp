// "/CHECK" on copies of the sample machines: its one JSON line, its exit code, and a machine
// tree that is byte for byte the same afterwards (no registry key, no variable, no log, no lock).
#include "support/machine_paths.h"
#include "support/machine_tree.h"
#include "support/program_run.h"
#include "support/test_env.h"

#include "support/table_case.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>

namespace {

// The firmware variable file: attributes 7, then a 24-byte record of `status` at 2021-03-16.
std::string FirmwareVariable(std::uint32_t status) {
    std::string bytes;
    auto put = [&bytes](std::uint64_t value, int size) {
        for (int i = 0; i < size; ++i)
            bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    };
    put(7, 4);
    put(24, 4);
    put(1, 4);
    put(1615881909, 8);
    put(status, 4);
    put(0, 4);
    return bytes;
}

struct CheckCase {
    const char* name;
    const char* machine = "vantrel-notebook";
    const char* arguments = "/CHECK";
    int exitCode = 1;
    const char* verdict = "would-patch";
    const char* statusCode = "0";  // as the JSON shows it
    // Left out where the machine has no earlier record.
    std::optional<std::uint32_t> firmwareStatus = {};  // an earlier run's firmware record
    bool settledStore = false;                         // an earlier run's registry record
};
using ::PrintTo;

class CheckModeTest : public testing::TestWithParam<CheckCase> {
  protected:
    MachineTree machine_;
};

TEST_P(CheckModeTest, ReportsTheVerdictAndWritesNothing) {
    const CheckCase& c = GetParam();
    machine_.CopyTree(SampleMachine(c.machine), "");
    if (c.firmwareStatus) machine_.WriteFile(kVariableFile, FirmwareVariable(*c.firmwareStatus));
    if (c.settledStore) machine_.WriteFile(kKeyFile, kSettledStore);
    const std::map<std::string, std::string> before = machine_.Snapshot();

    const ProgramOutcome outcome = RunProgram(c.arguments);

    EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.output;
    EXPECT_EQ(machine_.Snapshot(), before) << "the check changed the machine";
    const std::string& line = outcome.output;
    ASSERT_FALSE(line.empty());
    EXPECT_EQ(line.find('\n'), line.size() - 1) << "one line: " << line;
    EXPECT_LE(line.size() - 1, 2048u);
    EXPECT_TRUE(line.starts_with(R"({"version":")")) << line;
    EXPECT_NE(line.find(std::string(R"("verdict":")") + c.verdict + '"'), std::string::npos)
        << line;
    EXPECT_NE(line.find(std::string(R"("statusCode":)") + c.statusCode + ','), std::string::npos)
        << line;
}

INSTANTIATE_TEST_SUITE_P(
    SampleMachines, CheckModeTest,
    testing::Values(CheckCase{.name = "WouldPatch"},
                    CheckCase{.name = "LowerCaseDashes",
                              .machine = "vantrel-notebook-no-efi",
                              .arguments = "--check"},
                    CheckCase{.name = "CheckWinsOverForce", .arguments = "/force /check"},
                    CheckCase{.name = "AlreadyPatched",
                              .machine = "already-patched",
                              .arguments = "/Check",
                              .exitCode = 0,
                              .verdict = "compliant"},
                    CheckCase{.name = "OtherVendor",
                              .machine = "other-vendor",
                              .exitCode = 0,
                              .verdict = "compliant",
                              .statusCode = "3"},
                    CheckCase{.name = "NoBattery",
                              .machine = "no-battery",
                              .exitCode = 0,
                              .verdict = "compliant",
                              .statusCode = "4"},
                    CheckCase{.name = "ForeignBios",
                              .machine = "foreign-bios",
                              .exitCode = 0,
                              .verdict = "compliant",
                              .statusCode = "5"},
                    CheckCase{.name = "NoOemMarker",
                              .machine = "no-oem-marker",
                              .exitCode = 0,
                              .verdict = "compliant",
                              .statusCode = "5"},
                    CheckCase{.name = "SetupPassword",
                              .machine = "setup-password",
                              .exitCode = 2,
                              .verdict = "blocked",
                              .statusCode = "7"},
                    CheckCase{.name = "EnhancedAuthentication",
                              .machine = "enhanced-authentication",
                              .exitCode = 2,
                              .verdict = "blocked",
                              .statusCode = "8"},
                    CheckCase{.name = "NoSetting",
                              .machine = "no-cellkeeper",
                              .exitCode = 2,
                              .verdict = "blocked",
                              .statusCode = "9"},
                    CheckCase{.name = "NoProvider",
                              .machine = "no-bios-namespace",
                              .exitCode = 3,
                              .verdict = "unknown",
                              .statusCode = "null"},
                    CheckCase{.name = "WriteRefusedStillWouldPatch", .machine = "write-refused"},
                    CheckCase{.name = "SettledFirmwareRecordOldValue",
                              .exitCode = 2,
                              .verdict = "blocked",
                              .statusCode = "2",
                              .firmwareStatus = 0},
                    CheckCase{.name = "UnsettledFirmwareRecord", .firmwareStatus = 36},
                    CheckCase{.name = "SettledRegistryRecordOldValue",
                              .machine = "vantrel-notebook-no-efi",
                              .exitCode = 2,
                              .verdict = "blocked",
                              .statusCode = "2",
                              .settledStore = true},
                    CheckCase{.name = "SettledRecordNewValue",
                              .machine = "already-patched",
                              .exitCode = 0,
                              .verdict = "compliant",
                              .statusCode = "2",
                              .firmwareStatus = 0,
                              .settledStore = true}),
    CaseName());

class CheckOutputTest : public testing::Test {
  protected:
    MachineTree machine_;
};

// The JSON carries the records as a run would read them, and the device's pending restart.
TEST_F(CheckOutputTest, ShowsRecordsAndPendingRestart) {
    machine_.CopyTree(SampleMachine("vantrel-notebook"), "");
    machine_.WriteFile(kVariableFile, FirmwareVariable(7));
    machine_.WriteFile(kKeyFile, kSettledStore);
    machine_.WriteAttribute("sys/class/firmware-attributes/vantrel-wmi/attributes/pending_reboot",
                            "1");
    const ProgramOutcome outcome = RunProgram("/CHECK");
    EXPECT_NE(outcome.output.find(
                  R"("record":{"registry":{"DateRun":"2021-03-16T08:05:09Z","Status":0},)"
                  R"("firmware":{"runTime":"2021-03-16T08:05:09Z","status":7,"attributes":7}})"),
              std::string::npos)
        << outcome.output;
    EXPECT_NE(outcome.output.find(R"("pendingReboot":true)"), std::string::npos) << outcome.output;
    EXPECT_NE(outcome.output.find(R"("setupPassword":false)"), std::string::npos) << outcome.output;
}

TEST_F(CheckOutputTest, PendingRestartIsNullWithoutTheDevice) {
    machine_.CopyTree(SampleMachine("no-bios-namespace"), "");
    const ProgramOutcome outcome = RunProgram("/CHECK");
    EXPECT_NE(outcome.output.find(R"("pendingReboot":null)"), std::string::npos) << outcome.output;
    EXPECT_NE(outcome.output.find(R"("record":{"registry":null,"firmware":null})"),
              std::string::npos)
        << outcome.output;
}

}  // namespace
