// The four profile records read from a fake root\cimv2, and the six values they leave under the
// tool's registry key.
#include "qualification/system_profile.h"
#include "base/console.h"
#include "base/text.h"
#include "platform/wbem_status.h"
#include "qualification/profile_record.h"
#include "record/run_status_record.h"
#include "support/fake_machine.h"
#include "support/machine_tree.h"
#include "support/tool_key_values.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

using ::PrintTo;

class SystemProfileTest : public ::testing::Test {
  protected:
    // Builds the records from the fake machine and writes the profile.
    void RecordProfile() {
        machine.LoadInto(wmi);
        const ChassisInfo chassis;
        const SystemProductInfo product;
        const BatteryInfo batteries;
        const BiosInfo bios;
        RecordSystemProfile(chassis, product, batteries, bios);
    }

    MachineTree tree;  // first: the tool's key lives under its root on Linux
    FakeWmi wmi;
    FakeMachine machine;
};

TEST_F(SystemProfileTest, WritesSixValuesWithTheirTypesAndSizes) {
    machine.model = L"Cellbook 14";
    machine.biosName = L"1.4.2";
    machine.batteries = 2;
    RecordProfile();

    const auto vendor = ReadToolString(L"SystemVendor");
    ASSERT_TRUE(vendor.has_value());
    EXPECT_EQ(vendor->text, L"Vantrel");
    EXPECT_EQ(vendor->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(vendor->size, (7u + 1u) * 2u);
    const auto model = ReadToolString(L"SystemModel");
    ASSERT_TRUE(model.has_value());
    EXPECT_EQ(model->text, L"Cellbook 14");
    EXPECT_EQ(model->size, (11u + 1u) * 2u);
    const auto biosName = ReadToolString(L"BIOSReleaseName");
    ASSERT_TRUE(biosName.has_value());
    EXPECT_EQ(biosName->text, L"1.4.2");
    const auto date = ReadToolString(L"BIOSReleaseDate");
    ASSERT_TRUE(date.has_value());
    EXPECT_EQ(date->text, L"20230115");
    EXPECT_EQ(ReadToolDword(L"HasNoteBookChassis"), 1u);
    EXPECT_EQ(ReadToolDword(L"NumBatteries"), 2u);
    EXPECT_EQ(RunStatusRecord::Instance().registryKey.lastError, ERROR_SUCCESS);
}

// A character outside the basic plane takes two UTF-16 code units on either platform.
TEST_F(SystemProfileTest, TextSizesCountUtf16CodeUnits) {
    machine.model = L"Cellbook \U0001F50B";
    RecordProfile();

    const auto model = ReadToolString(L"SystemModel");
    ASSERT_TRUE(model.has_value());
    EXPECT_EQ(model->text, L"Cellbook \U0001F50B");
    EXPECT_EQ(model->size, (9u + 2u + 1u) * 2u);
}

// Without any answer from root\cimv2 the values are still written, empty and zero.
TEST_F(SystemProfileTest, UnreachableNamespaceWritesEmptyValues) {
    wmi.Fail("ConnectServer", Hr(WBEM_E_INVALID_NAMESPACE));
    RecordProfile();

    for (const wchar_t* name :
         {L"SystemVendor", L"SystemModel", L"BIOSReleaseName", L"BIOSReleaseDate"}) {
        const auto value = ReadToolString(name);
        ASSERT_TRUE(value.has_value()) << ToUtf8(name);
        EXPECT_EQ(value->text, L"") << ToUtf8(name);
        EXPECT_EQ(value->size, 2u) << ToUtf8(name);
    }
    EXPECT_EQ(ReadToolDword(L"HasNoteBookChassis"), 0u);
    EXPECT_EQ(ReadToolDword(L"NumBatteries"), 0u);
}

struct ChassisCase {
    const char* name;
    std::vector<std::int32_t> types = {};
    DWORD notebook = 0;
};

class ChassisTest : public SystemProfileTest, public ::testing::WithParamInterface<ChassisCase> {};

TEST_P(ChassisTest, NotebookFlagFollowsTheChassisList) {
    machine.chassisTypes = GetParam().types;
    RecordProfile();
    EXPECT_EQ(ReadToolDword(L"HasNoteBookChassis"), GetParam().notebook);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, ChassisTest,
    ::testing::Values(ChassisCase{.name = "laptop_only", .types = {9}, .notebook = 0},
                      ChassisCase{.name = "desktop_then_notebook", .types = {3, 10}, .notebook = 1},
                      ChassisCase{.name = "empty", .types = {}, .notebook = 0},
                      ChassisCase{
                          .name = "sub_notebook_and_convertible", .types = {14, 31}, .notebook = 1},
                      ChassisCase{.name = "portable", .types = {8}, .notebook = 1},
                      ChassisCase{.name = "tablet", .types = {30}, .notebook = 1},
                      ChassisCase{.name = "detachable", .types = {32}, .notebook = 1},
                      ChassisCase{.name = "handheld", .types = {11}, .notebook = 0}),
    CaseName());

TEST_F(SystemProfileTest, NoEnclosureInstanceMeansNoNotebook) {
    machine.chassisTypes.reset();
    RecordProfile();
    EXPECT_EQ(ReadToolDword(L"HasNoteBookChassis"), 0u);
}

struct ReleaseDateCase {
    const char* name;
    std::optional<std::wstring> delivered = std::nullopt;
    std::wstring written = L"";
};

class ReleaseDateTest : public SystemProfileTest,
                        public ::testing::WithParamInterface<ReleaseDateCase> {};

TEST_P(ReleaseDateTest, WritesTheDatePart) {
    machine.releaseDate = GetParam().delivered;
    RecordProfile();
    const auto date = ReadToolString(L"BIOSReleaseDate");
    ASSERT_TRUE(date.has_value());
    EXPECT_EQ(date->text, GetParam().written);
    EXPECT_EQ(date->size, (GetParam().written.size() + 1) * 2);
}

INSTANTIATE_TEST_SUITE_P(
    Dates, ReleaseDateTest,
    ::testing::Values(
        ReleaseDateCase{.name = "full_cim_text",
                        .delivered = L"20230115000000.000000+000",
                        .written = L"20230115"},
        ReleaseDateCase{.name = "five_characters", .delivered = L"20231", .written = L"20231"},
        ReleaseDateCase{.name = "exactly_eight", .delivered = L"20230115", .written = L"20230115"},
        ReleaseDateCase{.name = "null", .delivered = std::nullopt, .written = L""}),
    CaseName());

struct BatteryCase {
    const char* name;
    int instances = 0;
    DWORD counted = 0;
    std::size_t fetches = 1;  // Next calls: the first result, then one per further instance
};

class BatteryTest : public SystemProfileTest, public ::testing::WithParamInterface<BatteryCase> {};

TEST_P(BatteryTest, CountsUpToFifteen) {
    machine.batteries = GetParam().instances;
    machine.LoadInto(wmi);
    {
        wmi.ClearCalls();
        const BatteryInfo batteries;
        EXPECT_EQ(batteries.batteryCount, static_cast<std::int32_t>(GetParam().counted));
        EXPECT_EQ(wmi.CallsStartingWith("Next").size(), GetParam().fetches);
        // The instances are only counted: no property is read.
        EXPECT_THAT(wmi.CallsStartingWith("Get "), IsEmpty());
    }
    EXPECT_EQ(wmi.LiveObjects(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Counts, BatteryTest,
    ::testing::Values(BatteryCase{.name = "none", .instances = 0, .counted = 0, .fetches = 1},
                      BatteryCase{.name = "one", .instances = 1, .counted = 1, .fetches = 2},
                      BatteryCase{.name = "three", .instances = 3, .counted = 3, .fetches = 4},
                      BatteryCase{.name = "fifteen", .instances = 15, .counted = 15, .fetches = 15},
                      BatteryCase{.name = "twenty", .instances = 20, .counted = 15, .fetches = 15}),
    CaseName());

TEST_F(SystemProfileTest, TwentyBatteriesAreRecordedAsFifteen) {
    machine.batteries = 20;
    RecordProfile();
    EXPECT_EQ(ReadToolDword(L"NumBatteries"), 15u);
}

TEST_F(SystemProfileTest, BlankOemStringEndsTheList) {
    machine.oemStrings = std::vector<std::wstring>{L"abc", L"   ", L"EDK2_1"};
    machine.LoadInto(wmi);
    const SystemProductInfo product;
    EXPECT_THAT(product.oemStrings, ElementsAre(L"abc"));
}

TEST_F(SystemProfileTest, FailedOemQueryStillReadsVendorAndModel) {
    machine.LoadInto(wmi);
    wmi.Fail("ExecQuery WQL SELECT OEMStringArray FROM Win32_ComputerSystem",
             Hr(WBEM_E_ACCESS_DENIED));
    const SystemProductInfo product;
    EXPECT_THAT(product.oemStrings, IsEmpty());
    EXPECT_EQ(product.vendor, L"Vantrel");
    EXPECT_EQ(product.modelName, L"Cellbook 14");
}

// Each record asks exactly its query on its own connection and reads the first instance only.
TEST_F(SystemProfileTest, RecordsRunTheirQueriesOnTheirOwnConnections) {
    machine.LoadInto(wmi);
    {
        const ChassisInfo chassis;
        const SystemProductInfo product;
        const BiosInfo bios;
        EXPECT_THAT(chassis.chassisTypes, ElementsAre(10));
        EXPECT_EQ(bios.biosName, L"1.4.2");
        EXPECT_EQ(bios.manufacturer, L"Vantrel");
        EXPECT_EQ(bios.releaseDate, L"20230115000000.000000+000");
    }
    std::vector<std::string> traffic;
    for (const std::string& call : wmi.Calls()) {
        if (call.rfind("ConnectServer", 0) == 0 || call.rfind("ExecQuery", 0) == 0 ||
            call.rfind("Get ", 0) == 0) {
            traffic.push_back(call);
        }
    }
    EXPECT_THAT(
        traffic,
        ElementsAre("ConnectServer \\\\.\\root\\cimv2 flags=0x80",
                    "ExecQuery WQL SELECT ChassisTypes FROM Win32_SystemEnclosure flags=0x30",
                    "Get ChassisTypes", "ConnectServer \\\\.\\root\\cimv2 flags=0x80",
                    "ExecQuery WQL SELECT OEMStringArray FROM Win32_ComputerSystem flags=0x30",
                    "Get OEMStringArray",
                    "ExecQuery WQL SELECT Name,Vendor FROM Win32_ComputerSystemProduct flags=0x30",
                    "Get Name", "Get Vendor", "ConnectServer \\\\.\\root\\cimv2 flags=0x80",
                    "ExecQuery WQL SELECT Name,Manufacturer,ReleaseDate FROM Win32_BIOS flags=0x30",
                    "Get Name", "Get Manufacturer", "Get ReleaseDate"));
    EXPECT_EQ(wmi.LiveObjects(), 0);
}

}  // namespace
