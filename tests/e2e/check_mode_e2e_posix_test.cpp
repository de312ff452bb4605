// "/CHECK" on copies of the sample machines: its one JSON line, its exit code, and a machine
// tree that is byte for byte the same afterwards (no registry key, no variable, no log, no lock).
#include "support/machine_paths.h"
#include "support/machine_tree.h"
#include "support/program_run.h"
#include "support/test_env.h"

#include "support/table_case.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
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

// A machine tree changed by hand, beyond the sample it starts from.
using Mending = void (*)(MachineTree& machine);

struct CheckCase {
    const char* name;
    const char* machine = "vantrel-notebook";
    const char* arguments = "/CHECK";
    int exitCode = 1;
    const char* verdict = "would-patch";
    // As the JSON shows them: the code a run would record, and the settled code of the
    // earlier record it would stop at.
    const char* statusCode = "0";
    const char* settledStatusCode = "null";
    // Left out where the machine has no earlier record.
    std::optional<std::uint32_t> firmwareStatus = {};  // an earlier run's firmware record
    bool settledStore = false;                         // an earlier run's registry record
    Mending mending = nullptr;
};
using ::PrintTo;

// The JSON member `name` as it stands: a number, null, or a quoted text.
std::string Member(const std::string& line, const std::string& name) {
    const std::string key = '"' + name + "\":";
    const std::size_t at = line.find(key);
    if (at == std::string::npos) return "<missing>";
    const std::size_t start = at + key.size();
    return line.substr(start, line.find_first_of(",}", start) - start);
}

class CheckModeTest : public testing::TestWithParam<CheckCase> {
  protected:
    MachineTree machine_;
};

// The check's verdict, and then the run on the same machine: what the check says the run
// records is what it records (or the earlier record it stops at), and the setting changes
// exactly when the check said "would-patch".
TEST_P(CheckModeTest, TellsWhatTheRunThenDoesAndWritesNothing) {
    const CheckCase& c = GetParam();
    machine_.CopyTree(SampleMachine(c.machine), "");
    if (c.firmwareStatus) machine_.WriteFile(kVariableFile, FirmwareVariable(*c.firmwareStatus));
    if (c.settledStore) machine_.WriteFile(kKeyFile, kSettledStore);
    if (c.mending) c.mending(machine_);
    const std::map<std::string, std::string> before = machine_.Snapshot();

    const ProgramOutcome outcome = RunProgram(c.arguments);

    EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.output;
    EXPECT_EQ(machine_.Snapshot(), before) << "the check changed the machine";
    const std::string& line = outcome.output;
    ASSERT_FALSE(line.empty());
    EXPECT_EQ(line.find('\n'), line.size() - 1) << "one line: " << line;
    EXPECT_LE(line.size() - 1, 2048u);
    EXPECT_TRUE(line.starts_with(R"({"version":")")) << line;
    EXPECT_EQ(Member(line, "verdict"), '"' + std::string(c.verdict) + '"') << line;
    EXPECT_EQ(Member(line, "statusCode"), c.statusCode) << line;
    EXPECT_EQ(Member(line, "settledStatusCode"), c.settledStatusCode) << line;

    // With /EXITSTATUS the run's exit code is the status it recorded, or the settled one it
    // stopped at; 33 to 35 when it recorded nothing.
    const std::optional<std::string> settingBefore = machine_.ReadFile(kCellkeeperFile);
    const ProgramOutcome run = RunProgram("/EXITSTATUS");
    const std::string told =
        c.settledStatusCode != std::string("null") ? c.settledStatusCode : c.statusCode;
    if (told == "null") {
        EXPECT_GE(run.exitCode, 33) << run.output;
        EXPECT_LE(run.exitCode, 35) << run.output;
    } else {
        // An exit code has 8 bits here.
        EXPECT_EQ(run.exitCode, static_cast<int>(std::stoll(told) & 0xFF)) << run.output;
    }
    if (c.statusCode != std::string("null")) {
        char status[32];
        std::snprintf(status, sizeof status, "\"Status\"=dword:%08x\n",
                      static_cast<unsigned>(std::stoul(c.statusCode)));
        EXPECT_NE(machine_.ReadFile(kKeyFile).value_or("").find(status), std::string::npos)
            << run.output;
    }
    EXPECT_EQ(machine_.ReadFile(kCellkeeperFile) != settingBefore,
              c.verdict == std::string("would-patch"))
        << run.output;
}

// Another maker's notebook: no vendor device, but another maker's firmware-attributes device.
void OtherMakerWithoutProvider(MachineTree& machine) {
    machine.WriteFile("sys/class/dmi/id/sys_vendor", "Northwind Systems\n");
    machine.WriteFile(
        "sys/class/firmware-attributes/northwind-wmi/attributes/Cellkeeper/"
        "current_value",
        "Maximize my battery duration\n");
}
void OtherVendorWithoutSetting(MachineTree& machine) {
    std::filesystem::remove_all(
        machine.Path("sys/class/firmware-attributes/vantrel-wmi/attributes/Cellkeeper"));
}
// A store the run cannot read: it ends at its registry gate (35).
void GarbageStore(MachineTree& machine) { machine.WriteFile(kKeyFile, "garbage\n"); }
void StoreIsAFolder(MachineTree& machine) { machine.MakeFolder(kKeyFile); }
// The setting lists its choices without the new value: the firmware refuses the write.
void NewValueNotOffered(MachineTree& machine) {
    machine.WriteAttribute(
        "sys/class/firmware-attributes/vantrel-wmi/attributes/Cellkeeper/possible_values",
        "Maximize my battery duration;Balanced");
}
void SettingHoldsNewValue(MachineTree& machine) {
    machine.WriteAttribute(
        "sys/class/firmware-attributes/vantrel-wmi/attributes/Cellkeeper/current_value",
        "Let Vantrel manage my battery charging");
}
// A record that settles the matter in the registry, an unsettled one in the firmware.
void UnsettledFirmwareOverSettledStore(MachineTree& machine) {
    machine.WriteFile(kVariableFile, FirmwareVariable(36));
    machine.WriteFile(kKeyFile, kSettledStore);
}
void RegistryStatusAllBitsSet(MachineTree& machine) {
    machine.WriteFile(kKeyFile,
                      std::string(kStoreStart) + kEarlierDateRun + "\"Status\"=dword:ffffffff\n");
}

INSTANTIATE_TEST_SUITE_P(
    SampleMachines, CheckModeTest,
    testing::Values(CheckCase{.name = "WouldPatch"},
                    CheckCase{.name = "LowerCaseDashes",
                              .machine = "vantrel-notebook-no-efi",
                              .arguments = "--check"},
                    CheckCase{.name = "CheckWinsOverForce", .arguments = "/force /check"},
                    CheckCase{.name = "CheckKeepsItsCodesWithExitStatus",
                              .arguments = "/EXITSTATUS /CHECK"},
                    CheckCase{.name = "AlreadyPatched",
                              .machine = "already-patched",
                              .arguments = "/Check",
                              .exitCode = 0,
                              .verdict = "compliant"},
                    // Every refusal of the qualification.
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
                    CheckCase{.name = "RefusedButHoldsTheNewValue",
                              .machine = "setup-password",
                              .exitCode = 0,
                              .verdict = "compliant",
                              .statusCode = "7",
                              .mending = SettingHoldsNewValue},
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
                    // Other makers: not ours, whatever their firmware offers.
                    CheckCase{.name = "OtherMakerWithoutProvider",
                              .machine = "no-bios-namespace",
                              .exitCode = 0,
                              .verdict = "compliant",
                              .statusCode = "null",
                              .mending = OtherMakerWithoutProvider},
                    CheckCase{.name = "OtherVendorWithoutSetting",
                              .machine = "other-vendor",
                              .exitCode = 0,
                              .verdict = "compliant",
                              .statusCode = "9",
                              .mending = OtherVendorWithoutSetting},
                    // What the firmware would refuse, and a store the run cannot read.
                    CheckCase{.name = "WriteRefused",
                              .machine = "write-refused",
                              .exitCode = 2,
                              .verdict = "blocked",
                              .statusCode = "36"},
                    CheckCase{.name = "NewValueNotOffered",
                              .exitCode = 2,
                              .verdict = "blocked",
                              .statusCode = "36",
                              .mending = NewValueNotOffered},
                    CheckCase{.name = "GarbageStore",
                              .exitCode = 3,
                              .verdict = "unknown",
                              .statusCode = "null",
                              .mending = GarbageStore},
                    CheckCase{.name = "StoreIsAFolder",
                              .exitCode = 3,
                              .verdict = "unknown",
                              .statusCode = "null",
                              .mending = StoreIsAFolder},
                    // Each settled and unsettled record.
                    CheckCase{.name = "SettledFirmwareRecordOldValue",
                              .exitCode = 2,
                              .verdict = "blocked",
                              .statusCode = "null",
                              .settledStatusCode = "0",
                              .firmwareStatus = 0},
                    CheckCase{.name = "SettledFirmwareRecordNoBattery",
                              .machine = "no-battery",
                              .exitCode = 0,
                              .verdict = "compliant",
                              .statusCode = "null",
                              .settledStatusCode = "4",
                              .firmwareStatus = 4},
                    CheckCase{.name = "UnsettledFirmwareRecord", .firmwareStatus = 36},
                    CheckCase{.name = "UnsettledFirmwareOverSettledStore",
                              .mending = UnsettledFirmwareOverSettledStore},
                    CheckCase{.name = "SettledRegistryRecordOldValue",
                              .machine = "vantrel-notebook-no-efi",
                              .exitCode = 2,
                              .verdict = "blocked",
                              .statusCode = "null",
                              .settledStatusCode = "0",
                              .settledStore = true},
                    CheckCase{.name = "RegistryStatusAllBitsSetSettles",
                              .machine = "vantrel-notebook-no-efi",
                              .exitCode = 2,
                              .verdict = "blocked",
                              .statusCode = "null",
                              .settledStatusCode = "-1",
                              .mending = RegistryStatusAllBitsSet},
                    CheckCase{.name = "SettledRecordNewValue",
                              .machine = "already-patched",
                              .exitCode = 0,
                              .verdict = "compliant",
                              .statusCode = "null",
                              .settledStatusCode = "0",
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

namespace {

// Every text at its longest and escaped six times over, every fact that can be unreadable at
// once: the line still holds within what a deployment console shows.
TEST(CheckLineE2eTest, LongestTextsStayWithinTheLine) {
    MachineTree machine;
    machine.CopyTree(SampleMachine("vantrel-notebook"), "");
    const std::string quotes(300, '"');
    for (const char* file : {"sys_vendor", "product_name", "bios_vendor", "bios_version"}) {
        machine.WriteAttribute(std::string("sys/class/dmi/id/") + file, quotes);
    }
    std::string accented;
    for (int i = 0; i < 200; ++i) accented += "\xC3\xA9";
    std::string choices = accented;
    for (int i = 0; i < 7; ++i) choices += ";" + accented;
    const std::string setting = "sys/class/firmware-attributes/vantrel-wmi/attributes/Cellkeeper/";
    machine.WriteAttribute(setting + "possible_values", choices);
    machine.WriteAttribute(setting + "current_value", accented);
    machine.WriteFile(kKeyFile, "garbage\n");
    const ProgramOutcome outcome =
        RunProgram("/CHECK '/PASSWORDFILE:/nonexistent/" + std::string(3000, 'x') + "'");
    EXPECT_EQ(outcome.exitCode, 0) << outcome.output;
    EXPECT_LE(outcome.output.size() - 1, 2048u) << outcome.output;
    EXPECT_NE(outcome.output.find(R"("unreadable":["registry key (error )"), std::string::npos)
        << outcome.output;
    EXPECT_NE(outcome.output.find(R"(,"setup password: the file /nonexistent/xxx)"),
              std::string::npos)
        << outcome.output;
}

}  // namespace
