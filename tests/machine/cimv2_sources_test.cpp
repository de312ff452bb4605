#include "platform/machine/cimv2_sources.h"
#include "support/machine_tree.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using ::PrintTo;

struct ChassisCase {
    const char* name;
    const char* text;
    std::optional<std::int32_t> number;
};

class ChassisTypeTest : public testing::TestWithParam<ChassisCase> {};

TEST_P(ChassisTypeTest, ParsesOneDecimalNumber) {
    EXPECT_EQ(machine::ParseChassisType(GetParam().text), GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(Cases, ChassisTypeTest,
                         testing::Values(ChassisCase{"Laptop", "9", 9},
                                         ChassisCase{"Notebook", "10", 10},
                                         ChassisCase{"Convertible", "31", 31},
                                         ChassisCase{"LeadingZero", "010", 10},
                                         ChassisCase{"Largest", "65535", 65535},
                                         ChassisCase{"TooLarge", "65536", std::nullopt},
                                         ChassisCase{"Huge", "99999999999999999999", std::nullopt},
                                         ChassisCase{"Negative", "-3", std::nullopt},
                                         ChassisCase{"Garbage", "Notebook", std::nullopt},
                                         ChassisCase{"TrailingText", "10 x", std::nullopt},
                                         ChassisCase{"Empty", "", std::nullopt}),
                         CaseName());

struct DateCase {
    const char* name;
    const char* text;
    std::optional<std::wstring> cim;
};

class BiosDateTest : public testing::TestWithParam<DateCase> {};

TEST_P(BiosDateTest, GivesTheCimDateTime) {
    EXPECT_EQ(machine::BiosDateToCimText(GetParam().text), GetParam().cim);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BiosDateTest,
    testing::Values(DateCase{"Valid", "03/15/2024", L"20240315000000.000000+000"},
                    DateCase{"LeapDay", "02/29/2020", L"20200229000000.000000+000"},
                    DateCase{"EndOfYear", "12/31/1999", L"19991231000000.000000+000"},
                    DateCase{"MonthZero", "00/10/2024", std::nullopt},
                    DateCase{"MonthThirteen", "13/10/2024", std::nullopt},
                    DateCase{"DayZero", "01/00/2024", std::nullopt},
                    DateCase{"AprilThirtyFirst", "04/31/2024", std::nullopt},
                    DateCase{"TwoDigitYear", "03/15/24", std::nullopt},
                    DateCase{"IsoOrder", "2024-03-15", std::nullopt},
                    DateCase{"Garbage", "not a date", std::nullopt},
                    DateCase{"Empty", "", std::nullopt}),
    CaseName());

struct SupplyFiles {
    const char* type;
    const char* scope;    // nullptr: no file
    const char* present;  // nullptr: no file
};

struct BatteryCase {
    const char* name;
    SupplyFiles supply;
    bool counts;
};

class BatteryFilterTest : public testing::TestWithParam<BatteryCase> {};

TEST_P(BatteryFilterTest, CountsSystemBatteriesThatArePresent) {
    MachineTree tree;
    const SupplyFiles& files = GetParam().supply;
    tree.WriteAttribute("sys/class/power_supply/BAT0/type", files.type);
    if (files.scope) tree.WriteAttribute("sys/class/power_supply/BAT0/scope", files.scope);
    if (files.present) tree.WriteAttribute("sys/class/power_supply/BAT0/present", files.present);
    EXPECT_EQ(machine::ListBatteries().size(), GetParam().counts ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BatteryFilterTest,
    testing::Values(BatteryCase{"PlainBattery", {"Battery", nullptr, nullptr}, true},
                    BatteryCase{"SystemScope", {"Battery", "System", "1"}, true},
                    BatteryCase{"DeviceScope", {"Battery", "Device", "1"}, false},
                    BatteryCase{"NotPresent", {"Battery", nullptr, "0"}, false},
                    BatteryCase{"PresentGarbage", {"Battery", nullptr, "yes"}, false},
                    BatteryCase{"Mains", {"Mains", nullptr, nullptr}, false},
                    BatteryCase{"Usb", {"USB", nullptr, "1"}, false},
                    BatteryCase{"TypeLowerCase", {"battery", nullptr, nullptr}, false}),
    CaseName());

TEST(BatteryNamesTest, ModelNameElseFolderNameInFolderOrder) {
    MachineTree tree;
    EXPECT_TRUE(machine::ListBatteries().empty());
    tree.WriteAttribute("sys/class/power_supply/BAT1/type", "Battery");
    tree.WriteAttribute("sys/class/power_supply/BAT0/type", "Battery");
    tree.WriteAttribute("sys/class/power_supply/BAT0/model_name", "5B10W13975");
    tree.WriteAttribute("sys/class/power_supply/BAT1/model_name", "");
    tree.WriteAttribute("sys/class/power_supply/AC/type", "Mains");
    const auto batteries = machine::ListBatteries();
    ASSERT_EQ(batteries.size(), 2u);
    EXPECT_EQ(batteries[0].folder, L"BAT0");
    EXPECT_EQ(batteries[0].name, L"5B10W13975");
    EXPECT_EQ(batteries[1].folder, L"BAT1");
    EXPECT_EQ(batteries[1].name, L"BAT1");
}

TEST(DmiTextTest, ReadsDecodedTextUnderTheRoot) {
    MachineTree tree;
    EXPECT_FALSE(machine::HasDmiFolder());
    EXPECT_FALSE(machine::ReadDmiText("sys_vendor"));
    tree.WriteAttribute("sys/class/dmi/id/sys_vendor", "Vantrel\xE9");
    EXPECT_TRUE(machine::HasDmiFolder());
    EXPECT_EQ(machine::ReadDmiText("sys_vendor"), L"Vantrel\u00E9");
}

}  // namespace
