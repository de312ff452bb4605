#include "machine_providers/cimv2_sources.h"
#include "support/machine_tree.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using ::PrintTo;

struct ChassisCase {
    const char* name;
    const char* text = "";
    std::optional<std::int32_t> number = std::nullopt;
};

class ChassisTypeTest : public testing::TestWithParam<ChassisCase> {};

TEST_P(ChassisTypeTest, ParsesOneDecimalNumber) {
    EXPECT_EQ(machine_providers::ParseChassisType(GetParam().text), GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChassisTypeTest,
    testing::Values(ChassisCase{.name = "Laptop", .text = "9", .number = 9},
                    ChassisCase{.name = "Notebook", .text = "10", .number = 10},
                    ChassisCase{.name = "Convertible", .text = "31", .number = 31},
                    ChassisCase{.name = "LeadingZero", .text = "010", .number = 10},
                    ChassisCase{.name = "Largest", .text = "65535", .number = 65535},
                    ChassisCase{.name = "TooLarge", .text = "65536", .number = std::nullopt},
                    ChassisCase{
                        .name = "Huge", .text = "99999999999999999999", .number = std::nullopt},
                    ChassisCase{.name = "Negative", .text = "-3", .number = std::nullopt},
                    ChassisCase{.name = "Garbage", .text = "Notebook", .number = std::nullopt},
                    ChassisCase{.name = "TrailingText", .text = "10 x", .number = std::nullopt},
                    ChassisCase{.name = "Empty", .text = "", .number = std::nullopt}),
    CaseName());

struct DateCase {
    const char* name;
    const char* text = "";
    std::optional<std::wstring> cim = std::nullopt;
};

class BiosDateTest : public testing::TestWithParam<DateCase> {};

TEST_P(BiosDateTest, GivesTheCimDateTime) {
    EXPECT_EQ(machine_providers::BiosDateToCimText(GetParam().text), GetParam().cim);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BiosDateTest,
    testing::Values(
        DateCase{.name = "Valid", .text = "03/15/2024", .cim = L"20240315000000.000000+000"},
        DateCase{.name = "LeapDay", .text = "02/29/2020", .cim = L"20200229000000.000000+000"},
        DateCase{.name = "EndOfYear", .text = "12/31/1999", .cim = L"19991231000000.000000+000"},
        DateCase{.name = "MonthZero", .text = "00/10/2024", .cim = std::nullopt},
        DateCase{.name = "MonthThirteen", .text = "13/10/2024", .cim = std::nullopt},
        DateCase{.name = "DayZero", .text = "01/00/2024", .cim = std::nullopt},
        DateCase{.name = "AprilThirtyFirst", .text = "04/31/2024", .cim = std::nullopt},
        DateCase{.name = "TwoDigitYear", .text = "03/15/24", .cim = std::nullopt},
        DateCase{.name = "IsoOrder", .text = "2024-03-15", .cim = std::nullopt},
        DateCase{.name = "Garbage", .text = "not a date", .cim = std::nullopt},
        DateCase{.name = "Empty", .text = "", .cim = std::nullopt}),
    CaseName());

struct SupplyFiles {
    const char* type;
    const char* scope;    // nullptr: no file
    const char* present;  // nullptr: no file
};

struct BatteryCase {
    const char* name;
    SupplyFiles supply = {};
    bool counts = false;
};

class BatteryFilterTest : public testing::TestWithParam<BatteryCase> {};

TEST_P(BatteryFilterTest, CountsSystemBatteriesThatArePresent) {
    MachineTree tree;
    const SupplyFiles& files = GetParam().supply;
    tree.WriteAttribute("sys/class/power_supply/BAT0/type", files.type);
    if (files.scope) tree.WriteAttribute("sys/class/power_supply/BAT0/scope", files.scope);
    if (files.present) tree.WriteAttribute("sys/class/power_supply/BAT0/present", files.present);
    EXPECT_EQ(machine_providers::ListBatteries().size(), GetParam().counts ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BatteryFilterTest,
    testing::Values(BatteryCase{.name = "PlainBattery",
                                .supply = {.type = "Battery", .scope = nullptr, .present = nullptr},
                                .counts = true},
                    BatteryCase{.name = "SystemScope",
                                .supply = {.type = "Battery", .scope = "System", .present = "1"},
                                .counts = true},
                    BatteryCase{.name = "DeviceScope",
                                .supply = {.type = "Battery", .scope = "Device", .present = "1"},
                                .counts = false},
                    BatteryCase{.name = "NotPresent",
                                .supply = {.type = "Battery", .scope = nullptr, .present = "0"},
                                .counts = false},
                    BatteryCase{.name = "PresentGarbage",
                                .supply = {.type = "Battery", .scope = nullptr, .present = "yes"},
                                .counts = false},
                    BatteryCase{.name = "Mains",
                                .supply = {.type = "Mains", .scope = nullptr, .present = nullptr},
                                .counts = false},
                    BatteryCase{.name = "Usb",
                                .supply = {.type = "USB", .scope = nullptr, .present = "1"},
                                .counts = false},
                    BatteryCase{.name = "TypeLowerCase",
                                .supply = {.type = "battery", .scope = nullptr, .present = nullptr},
                                .counts = false}),
    CaseName());

TEST(BatteryNamesTest, ModelNameElseFolderNameInFolderOrder) {
    MachineTree tree;
    EXPECT_TRUE(machine_providers::ListBatteries().empty());
    tree.WriteAttribute("sys/class/power_supply/BAT1/type", "Battery");
    tree.WriteAttribute("sys/class/power_supply/BAT0/type", "Battery");
    tree.WriteAttribute("sys/class/power_supply/BAT0/model_name", "5B10W13975");
    tree.WriteAttribute("sys/class/power_supply/BAT1/model_name", "");
    tree.WriteAttribute("sys/class/power_supply/AC/type", "Mains");
    const auto batteries = machine_providers::ListBatteries();
    ASSERT_EQ(batteries.size(), 2u);
    EXPECT_EQ(batteries[0].folder, L"BAT0");
    EXPECT_EQ(batteries[0].name, L"5B10W13975");
    EXPECT_EQ(batteries[1].folder, L"BAT1");
    EXPECT_EQ(batteries[1].name, L"BAT1");
}

TEST(DmiTextTest, ReadsDecodedTextUnderTheRoot) {
    MachineTree tree;
    EXPECT_FALSE(machine_providers::HasDmiFolder());
    EXPECT_FALSE(machine_providers::ReadDmiText("sys_vendor"));
    tree.WriteAttribute("sys/class/dmi/id/sys_vendor", "Vantrel\xE9");
    EXPECT_TRUE(machine_providers::HasDmiFolder());
    EXPECT_EQ(machine_providers::ReadDmiText("sys_vendor"), L"Vantrel\u00E9");
}

}  // namespace
