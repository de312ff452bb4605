// The built program on copies of the sample machines, as an administrator meets it: every line
// it prints, its exit code, the registry store file and the firmware variable's bytes.
#include "base/text.h"
#include "record/run_date.h"
#include "support/machine_paths.h"
#include "support/machine_tree.h"
#include "support/program_run.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr const char* kOld = "Maximize my battery duration";
constexpr const char* kNew = "Let Vantrel manage my battery charging";
constexpr const char* kApplied = "Patch successfully applied";
constexpr const char* kNotApplicable = "Patch not applicable";
constexpr const char* kErrorSetting =
    "Error setting 'Cellkeeper' to 'Let Vantrel manage my battery charging'";

std::uint64_t LittleEndian(const std::string& bytes, std::size_t offset, std::size_t size) {
    std::uint64_t value = 0;
    for (std::size_t i = size; i-- > 0;) {
        value = (value << 8) | static_cast<unsigned char>(bytes.at(offset + i));
    }
    return value;
}

// The value line `"Name"=...` of the store file, without the name; no value when absent.
std::optional<std::string> StoreValue(const std::string& store, const std::string& name) {
    std::istringstream lines(store);
    const std::string prefix = "\"" + name + "\"=";
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with(prefix)) return line.substr(prefix.size());
    }
    return std::nullopt;
}

// A "hex(b):" value of the store as the signed number it holds.
std::int64_t QwordFromStore(const std::string& data) {
    EXPECT_TRUE(data.starts_with("hex(b):")) << data;
    std::string bytes;
    std::istringstream hex(data.substr(7));
    for (std::string pair; std::getline(hex, pair, ',');) {
        bytes.push_back(static_cast<char>(std::stoi(pair, nullptr, 16)));
    }
    EXPECT_EQ(bytes.size(), 8u);
    return static_cast<std::int64_t>(LittleEndian(bytes, 0, 8));
}

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

class SampleMachineTest : public testing::Test {
  protected:
    void Use(const char* sample) { machine_.CopyTree(SampleMachine(sample), ""); }

    ProgramOutcome Run(const std::string& arguments = "") { return RunProgram(arguments); }

    std::string Store() const { return machine_.ReadFile(kKeyFile).value_or(""); }
    std::optional<std::string> Variable() const { return machine_.ReadFile(kVariableFile); }
    // The setting as sysfs shows it, without the line end a reader strips.
    std::string Cellkeeper() const {
        std::string value = machine_.ReadFile(kCellkeeperFile).value_or("");
        if (value.ends_with('\n')) value.pop_back();
        return value;
    }

    // The firmware variable holds attributes 7 and the 24-byte record of a run with `status`;
    // returns the record's run time.
    std::int64_t ExpectFirmwareRecord(std::uint32_t status) const {
        const std::optional<std::string> bytes = Variable();
        if (!bytes) {
            ADD_FAILURE() << "no firmware variable";
            return 0;
        }
        EXPECT_EQ(bytes->size(), 28u);
        if (bytes->size() != 28u) return 0;
        EXPECT_EQ(LittleEndian(*bytes, 0, 4), 7u) << "attributes";
        EXPECT_EQ(LittleEndian(*bytes, 4, 4), 24u) << "record size";
        EXPECT_EQ(LittleEndian(*bytes, 8, 4), 1u) << "version";
        EXPECT_EQ(LittleEndian(*bytes, 20, 4), status) << "status";
        EXPECT_EQ(LittleEndian(*bytes, 24, 4), 0u) << "reserved";
        return static_cast<std::int64_t>(LittleEndian(*bytes, 12, 8));
    }

    std::string PreviousFromFirmware(std::uint32_t status, std::int64_t runTime) const {
        return Lines({"Previous status code (from EFI variable): " + std::to_string(status),
                      "Patch was previously run on " + ToUtf8(FormatRunDate(runTime)), ""});
    }

    MachineTree machine_;
    ScopedTimeZone zone_{"UTC0"};
};

struct FirstRunCase {
    const char* name;
    const char* machine = "vantrel-notebook";
    const char* arguments = "";
    std::vector<std::string> lines = {kNotApplicable};  // after the banner
    int exitCode = 0;
    std::optional<std::uint32_t> status = std::nullopt;  // none: the run ended before persisting
    const char* cellkeeperAfter = kOld;                  // nullptr: the machine has no such setting
};
using ::PrintTo;

class FirstRunTest : public SampleMachineTest, public testing::WithParamInterface<FirstRunCase> {};

TEST_P(FirstRunTest, PrintsRecordsAndChangesOnlyWhatItShould) {
    const FirstRunCase& c = GetParam();
    Use(c.machine);
    const ProgramOutcome outcome = Run(c.arguments);

    std::vector<std::string> expected{"Vantrel Cellkeeper Patch"};
    expected.insert(expected.end(), c.lines.begin(), c.lines.end());
    EXPECT_EQ(outcome.output, Lines(expected));
    EXPECT_EQ(outcome.exitCode, c.exitCode);

    const std::string store = Store();
    // Every first run that reaches the previous-run check leaves its start time.
    const std::optional<std::string> dateRun = StoreValue(store, "DateRun");
    ASSERT_TRUE(dateRun.has_value()) << store;
    const std::int64_t started = QwordFromStore(*dateRun);
    if (c.status) {
        char dword[20];
        std::snprintf(dword, sizeof dword, "dword:%08x", *c.status);
        EXPECT_EQ(StoreValue(store, "Status"), std::string(dword)) << store;
        EXPECT_EQ(ExpectFirmwareRecord(*c.status), started);
    } else {
        EXPECT_EQ(StoreValue(store, "Status"), std::nullopt) << store;
        EXPECT_EQ(Variable(), std::nullopt);
    }
    if (c.cellkeeperAfter) {
        EXPECT_EQ(Cellkeeper(), c.cellkeeperAfter);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, FirstRunTest,
    testing::Values(
        FirstRunCase{.name = "Patched", .lines = {kApplied}, .status = 0u, .cellkeeperAfter = kNew},
        FirstRunCase{.name = "NotRequired",
                     .machine = "already-patched",
                     .lines = {"Patch not required"},
                     .status = 0u,
                     .cellkeeperAfter = kNew},
        FirstRunCase{.name = "ForcedOnPatched",
                     .machine = "already-patched",
                     .arguments = "/FORCE",
                     .lines = {kApplied},
                     .status = 0u,
                     .cellkeeperAfter = kNew},
        FirstRunCase{.name = "OtherVendor", .machine = "other-vendor", .status = 3u},
        FirstRunCase{.name = "NoBattery", .machine = "no-battery", .status = 4u},
        FirstRunCase{.name = "ForeignBios", .machine = "foreign-bios", .status = 5u},
        FirstRunCase{.name = "NoOemMarker", .machine = "no-oem-marker", .status = 5u},
        FirstRunCase{.name = "SetupPassword", .machine = "setup-password", .status = 7u},
        FirstRunCase{.name = "EnhancedAuthentication",
                     .machine = "enhanced-authentication",
                     .arguments = "/FORCE",
                     .status = 8u},
        FirstRunCase{.name = "SettingMissing",
                     .machine = "no-cellkeeper",
                     .arguments = "/FORCE",
                     .lines = {"BIOS setting 'Cellkeeper' not found; patch not applicable"},
                     .status = 9u,
                     .cellkeeperAfter = nullptr},
        FirstRunCase{.name = "ProviderRefuses",
                     .machine = "write-refused",
                     .lines = {kErrorSetting, "Wmi Error code: 2"},
                     .status = 36u},
        FirstRunCase{.name = "NoVendorNamespace",
                     .machine = "no-bios-namespace",
                     .lines = {"FATAL ERROR: Application terminated abnormally"},
                     .exitCode = 33,
                     .cellkeeperAfter = nullptr}),
    CaseName());

TEST_F(SampleMachineTest, ProfileIsRecordedInTheStore) {
    Use("vantrel-notebook");
    ASSERT_EQ(Run().exitCode, 0);
    const std::string store = Store();
    EXPECT_EQ(StoreValue(store, "SystemVendor"), "\"Vantrel\"");
    EXPECT_EQ(StoreValue(store, "SystemModel"), "\"Aerion 14 G3\"");
    EXPECT_EQ(StoreValue(store, "BIOSReleaseName"), "\"R1.14.0\"");
    EXPECT_EQ(StoreValue(store, "BIOSReleaseDate"), "\"20210316\"");
    EXPECT_EQ(StoreValue(store, "HasNoteBookChassis"), "dword:00000001");
    EXPECT_EQ(StoreValue(store, "NumBatteries"), "dword:00000001");
}

TEST_F(SampleMachineTest, SettledRunStopsAtTheGateAndForceRunsAgain) {
    Use("vantrel-notebook");
    ASSERT_EQ(Run().output, Lines({"Vantrel Cellkeeper Patch", kApplied}));
    const std::int64_t firstRun = ExpectFirmwareRecord(0);
    const std::string store = Store();
    const std::optional<std::string> variable = Variable();

    const ProgramOutcome second = Run();
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_EQ(second.output, "Vantrel Cellkeeper Patch\n" + PreviousFromFirmware(0, firstRun));
    EXPECT_EQ(Store(), store) << "a stopped run writes nothing";
    EXPECT_EQ(Variable(), variable) << "a stopped run writes nothing";

    const ProgramOutcome forced = Run("/force");
    EXPECT_EQ(forced.exitCode, 0);
    EXPECT_EQ(forced.output,
              "Vantrel Cellkeeper Patch\n" + PreviousFromFirmware(0, firstRun) + kApplied + "\n");
    EXPECT_GE(ExpectFirmwareRecord(0), firstRun);
    EXPECT_EQ(Cellkeeper(), kNew);
}

// An earlier version stored its record with attributes 5 (non-volatile, runtime access), and
// firmware refuses to change a variable's attributes: a forced run removes that record and
// writes its own with attributes 7.
TEST_F(SampleMachineTest, RecordOfAttributesFiveIsReplacedByAForcedRun) {
    Use("vantrel-notebook");
    constexpr std::int64_t kEarlierRun = 1615881909;  // Tue Mar 16 08:05:09 2021 UTC
    std::string earlier("\x05\x00\x00\x00\x18\x00\x00\x00\x01\x00\x00\x00", 12);
    for (int i = 0; i < 8; ++i) earlier.push_back(static_cast<char>(kEarlierRun >> (8 * i)));
    earlier.append(8, '\0');  // status 0, reserved
    machine_.WriteFile(kVariableFile, earlier);

    const ProgramOutcome stopped = Run();
    EXPECT_EQ(stopped.output, "Vantrel Cellkeeper Patch\n" + PreviousFromFirmware(0, kEarlierRun));
    EXPECT_EQ(Variable(), earlier) << "a stopped run writes nothing";

    const ProgramOutcome forced = Run("/FORCE");
    EXPECT_EQ(forced.exitCode, 0);
    EXPECT_EQ(forced.output, "Vantrel Cellkeeper Patch\n" + PreviousFromFirmware(0, kEarlierRun) +
                                 kApplied + "\n");
    EXPECT_GT(ExpectFirmwareRecord(0), kEarlierRun);
    EXPECT_EQ(StoreValue(Store(), "Status"), "dword:00000000");
}

TEST_F(SampleMachineTest, WithoutFirmwareVariablesTheRegistryDecides) {
    Use("vantrel-notebook-no-efi");
    ASSERT_EQ(Run().output, Lines({"Vantrel Cellkeeper Patch", kApplied}));
    const std::int64_t firstRun = QwordFromStore(StoreValue(Store(), "DateRun").value_or(""));

    const ProgramOutcome second = Run();
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_EQ(second.output,
              Lines({"Vantrel Cellkeeper Patch",
                     "Patch was previously run on " + ToUtf8(FormatRunDate(firstRun)),
                     "Previous status code: 0", ""}));
}

TEST_F(SampleMachineTest, ProviderErrorDoesNotSettleTheMatter) {
    Use("write-refused");
    ASSERT_EQ(Run().exitCode, 0);
    const std::int64_t firstRun = ExpectFirmwareRecord(36);

    const ProgramOutcome second = Run();
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_EQ(second.output, "Vantrel Cellkeeper Patch\n" + PreviousFromFirmware(36, firstRun) +
                                 Lines({kErrorSetting, "Wmi Error code: 2"}));
    ExpectFirmwareRecord(36);
}

// Password folders as a driver may name them: the kernel names a password by its role.
struct PasswordFolderCase {
    const char* name;
    const char* folder = "";
    const char* role = nullptr;  // nullptr: no role file
    const char* isEnabled = "1";
    std::vector<std::string> lines = {kApplied};  // after the banner
    std::uint32_t status = 0;
};
using ::PrintTo;

class PasswordFolderTest : public SampleMachineTest,
                           public testing::WithParamInterface<PasswordFolderCase> {};

TEST_P(PasswordFolderTest, OnlyASetSetupPasswordBlocks) {
    const PasswordFolderCase& c = GetParam();
    Use("vantrel-notebook");
    const std::string authentication = "sys/class/firmware-attributes/vantrel-wmi/authentication/";
    std::filesystem::remove_all(machine_.Path(authentication + "Setup Password"));
    const std::string folder = authentication + c.folder + "/";
    machine_.WriteAttribute(folder + "is_enabled", c.isEnabled);
    machine_.WriteAttribute(folder + "mechanism", "password");
    machine_.WriteFile(folder + "current_password", "");
    if (c.role) machine_.WriteAttribute(folder + "role", c.role);

    const ProgramOutcome outcome = Run();
    std::vector<std::string> expected{"Vantrel Cellkeeper Patch"};
    expected.insert(expected.end(), c.lines.begin(), c.lines.end());
    EXPECT_EQ(outcome.output, Lines(expected));
    EXPECT_EQ(outcome.exitCode, 0);
    ExpectFirmwareRecord(c.status);
}

INSTANTIATE_TEST_SUITE_P(Roles, PasswordFolderTest,
                         testing::Values(PasswordFolderCase{.name = "AdminFolderSet",
                                                            .folder = "Admin",
                                                            .role = "bios-admin",
                                                            .lines = {kNotApplicable},
                                                            .status = 7u},
                                         PasswordFolderCase{.name = "AdminFolderNotSet",
                                                            .folder = "Admin",
                                                            .role = "bios-admin",
                                                            .isEnabled = "0"},
                                         PasswordFolderCase{.name = "PowerOnAloneNeverBlocks",
                                                            .folder = "System",
                                                            .role = "power-on"},
                                         PasswordFolderCase{.name = "PowerOnInASetupPasswordFolder",
                                                            .folder = "Setup Password",
                                                            .role = "power-on"},
                                         PasswordFolderCase{.name = "NoRoleFileKeepsTheFolderName",
                                                            .folder = "Setup Password",
                                                            .lines = {kNotApplicable},
                                                            .status = 7u}),
                         CaseName());

// Captured trees of other makers' firmware (kernel drivers of Dell and Lenovo), laid beside or
// instead of Vantrel's device on the sample notebook.
struct ForeignDeviceCase {
    const char* name;
    const char* fixture = "";
    const char* device = "";
};
using ::PrintTo;

class ForeignDeviceTest : public SampleMachineTest,
                          public testing::WithParamInterface<ForeignDeviceCase> {
  protected:
    static constexpr const char* kClassFolder = "sys/class/firmware-attributes";

    void AddForeignDevice() {
        const ForeignDeviceCase& c = GetParam();
        machine_.CopyTree(SharedFixturesFolder() / "firmware-attributes" / c.fixture / c.device,
                          std::string(kClassFolder) + "/" + c.device);
    }
    std::map<std::string, std::string> ForeignDevice() const {
        return machine_.Snapshot(std::string(kClassFolder) + "/" + GetParam().device);
    }
};

// Without Vantrel's device the machine has no vendor namespace, as on Windows: the run ends
// with exit code 33 before any firmware write, and the other maker's settings stay as they are.
TEST_P(ForeignDeviceTest, AloneItIsNoVendorNamespace) {
    Use("vantrel-notebook");
    std::filesystem::remove_all(machine_.Path(std::string(kClassFolder) + "/vantrel-wmi"));
    AddForeignDevice();
    const std::map<std::string, std::string> before = ForeignDevice();
    ASSERT_FALSE(before.empty());

    const ProgramOutcome outcome = Run("/FORCE");
    EXPECT_EQ(outcome.exitCode, 33);
    EXPECT_EQ(outcome.output, Lines({"Vantrel Cellkeeper Patch",
                                     "FATAL ERROR: Application terminated abnormally"}));
    EXPECT_EQ(Variable(), std::nullopt);
    EXPECT_EQ(StoreValue(Store(), "Status"), std::nullopt);
    EXPECT_EQ(ForeignDevice(), before);
}

TEST_P(ForeignDeviceTest, BesideVantrelsDeviceItIsLeftAlone) {
    Use("vantrel-notebook");
    AddForeignDevice();
    const std::map<std::string, std::string> before = ForeignDevice();

    const ProgramOutcome outcome = Run("/FORCE");
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.output, Lines({"Vantrel Cellkeeper Patch", kApplied}));
    EXPECT_EQ(Cellkeeper(), kNew);
    ExpectFirmwareRecord(0);
    EXPECT_EQ(ForeignDevice(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Makers, ForeignDeviceTest,
    testing::Values(
        ForeignDeviceCase{
            .name = "Dell", .fixture = "dell-xps13-9310", .device = "dell-wmi-sysman"},
        ForeignDeviceCase{
            .name = "LenovoOlderKernel", .fixture = "lenovo-p14s-gen1", .device = "thinklmi"},
        ForeignDeviceCase{.name = "Lenovo", .fixture = "lenovo-p620-6.3", .device = "thinklmi"}),
    CaseName());

}  // namespace
