// QualifyPlatform on fake machines: the six tests in their order, the security probes failing
// open, the profile recorded before any verdict, and the five connections it holds.
#include "qualification/qualification.h"
#include "platform/wbem_status.h"
#include "qualification/bios_security_info.h"
#include "record/run_status_record.h"
#include "support/fake_machine.h"
#include "support/machine_tree.h"
#include "support/tool_key_values.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

using ::testing::ElementsAre;

namespace {

using ::PrintTo;

// A status no qualification sets, so a test sees whether QualifyPlatform touched it.
constexpr auto kStatusBefore = static_cast<std::int32_t>(RunStatusCode::PreviouslyRun);

class QualificationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        RunStatusRecord& record = RunStatusRecord::Instance();
        ASSERT_EQ(record.registryKey.lastError, ERROR_SUCCESS);
        record.statusCode = kStatusBefore;
        SeedStaleProfile(record.registryKey.handle.get());
    }

    std::int32_t Status() const { return RunStatusRecord::Instance().statusCode; }

    MachineTree tree;  // first: the tool's key lives under its root on Linux
    FakeWmi wmi;
    FakeMachine machine;
};

struct QualifyCase {
    const char* name;
    // What differs from the qualifying notebook; nothing by default.
    std::function<void(FakeMachine&)> change = [](FakeMachine&) {};
    RunStatusCode refusal = RunStatusCode::Success;  // Success: the machine qualifies
    const char* failingCall = nullptr;
};

Variant Text(const wchar_t* text) { return Variant::String(text); }
std::vector<std::wstring> Strings(std::vector<std::wstring> items) { return items; }

class QualifyTest : public QualificationTest, public ::testing::WithParamInterface<QualifyCase> {};

TEST_P(QualifyTest, AppliesTheTestsInOrder) {
    GetParam().change(machine);
    machine.LoadInto(wmi);
    if (GetParam().failingCall != nullptr) wmi.Fail(GetParam().failingCall, Hr(WBEM_E_FAILED));

    const bool qualifies = QualifyPlatform();

    if (GetParam().refusal == RunStatusCode::Success) {
        EXPECT_TRUE(qualifies);
        EXPECT_EQ(Status(), kStatusBefore);
    } else {
        EXPECT_FALSE(qualifies);
        EXPECT_EQ(Status(), static_cast<std::int32_t>(GetParam().refusal));
    }
    // The profile was written before the verdict, refusals included.
    const auto vendor = ReadToolString(L"SystemVendor");
    ASSERT_TRUE(vendor.has_value());
    EXPECT_EQ(vendor->text, machine.vendor);
    EXPECT_EQ(ReadToolDword(L"NumBatteries"), static_cast<DWORD>(machine.batteries));
}

using R = RunStatusCode;

INSTANTIATE_TEST_SUITE_P(
    Machines, QualifyTest,
    ::testing::Values(
        QualifyCase{.name = "qualifying_notebook"},
        // The chassis is recorded, never tested.
        QualifyCase{
            .name = "desktop_chassis",
            .change = [](FakeMachine& m) { m.chassisTypes = std::vector<std::int32_t>{3}; }},
        QualifyCase{.name = "vendor_in_mixed_case",
                    .change = [](FakeMachine& m) { m.vendor = L"vAnTREL"; }},
        QualifyCase{.name = "vendor_with_trailing_blank",
                    .change = [](FakeMachine& m) { m.vendor = L"Vantrel "; },
                    .refusal = R::WrongSystemVendor},
        QualifyCase{.name = "vendor_empty",
                    .change = [](FakeMachine& m) { m.vendor = L""; },
                    .refusal = R::WrongSystemVendor},
        QualifyCase{.name = "other_vendor_without_battery",
                    .change =
                        [](FakeMachine& m) {
                            m.vendor = L"Othermaker";
                            m.batteries = 0;
                        },
                    .refusal = R::WrongSystemVendor},
        QualifyCase{.name = "no_battery",
                    .change = [](FakeMachine& m) { m.batteries = 0; },
                    .refusal = R::NoBattery},
        QualifyCase{.name = "no_battery_and_foreign_bios",
                    .change =
                        [](FakeMachine& m) {
                            m.batteries = 0;
                            m.manufacturer = L"Othermaker";
                        },
                    .refusal = R::NoBattery},
        QualifyCase{.name = "foreign_bios_with_marker",
                    .change = [](FakeMachine& m) { m.manufacturer = L"Othermaker"; },
                    .refusal = R::WrongFirmware},
        QualifyCase{.name = "bios_manufacturer_in_small_letters",
                    .change = [](FakeMachine& m) { m.manufacturer = L"vantrel"; }},
        QualifyCase{.name = "oem_strings_without_marker",
                    .change =
                        [](FakeMachine& m) {
                            m.oemStrings = Strings({L"abc", L"def"});
                        },
                    .refusal = R::WrongFirmware},
        QualifyCase{.name = "no_oem_strings",
                    .change = [](FakeMachine& m) { m.oemStrings.reset(); },
                    .refusal = R::WrongFirmware},
        QualifyCase{.name = "marker_in_small_letters",
                    .change = [](FakeMachine& m) { m.oemStrings = Strings({L"edk2_1"}); }},
        QualifyCase{.name = "marker_with_a_further_digit",
                    .change = [](FakeMachine& m) { m.oemStrings = Strings({L"EDK2_10"}); },
                    .refusal = R::WrongFirmware},
        QualifyCase{.name = "marker_after_other_strings",
                    .change =
                        [](FakeMachine& m) {
                            m.oemStrings = Strings({L"abc", L"def", L"EDK2_1"});
                        }},
        QualifyCase{.name = "marker_behind_a_blank_string",
                    .change =
                        [](FakeMachine& m) {
                            m.oemStrings = Strings({L"abc", L"   ", L"EDK2_1"});
                        },
                    .refusal = R::WrongFirmware},
        QualifyCase{.name = "enhanced_authentication_marked",
                    .change = [](FakeMachine& m) { m.enhancedAuthentication = L"Disable,*Enable"; },
                    .refusal = R::EnhancedAuthentication},
        QualifyCase{.name = "enhanced_authentication_in_small_letters",
                    .change = [](FakeMachine& m) { m.enhancedAuthentication = L"disable,*enable"; },
                    .refusal = R::EnhancedAuthentication},
        QualifyCase{.name = "enhanced_authentication_marker_inside_a_word",
                    .change = [](FakeMachine& m) { m.enhancedAuthentication = L"x*ENABLED"; },
                    .refusal = R::EnhancedAuthentication},
        QualifyCase{
            .name = "enable_without_asterisk",
            .change = [](FakeMachine& m) { m.enhancedAuthentication = L"*Disable,Enable"; }},
        QualifyCase{.name = "no_enhanced_authentication_setting",
                    .change = [](FakeMachine& m) { m.enhancedAuthentication.reset(); }},
        QualifyCase{.name = "setup_password_set_as_text",
                    .change =
                        [](FakeMachine& m) {
                            m.passwords = {{L"Setup Password", Text(L"1")}};
                        },
                    .refusal = R::SetupPasswordSet},
        QualifyCase{.name = "setup_password_set_as_integer",
                    .change =
                        [](FakeMachine& m) {
                            m.passwords = {{L"Setup Password", Variant::Int32(1)}};
                        },
                    .refusal = R::SetupPasswordSet},
        QualifyCase{.name = "setup_password_name_in_other_case",
                    .change =
                        [](FakeMachine& m) {
                            m.passwords = {{L"SETUP password", Text(L"1")}};
                        },
                    .refusal = R::SetupPasswordSet},
        QualifyCase{.name = "setup_password_found_after_others",
                    .change =
                        [](FakeMachine& m) {
                            m.passwords = {{L"Power-On Password", Text(L"0")},
                                           {L"System Password", Text(L"0")},
                                           {L"Setup Password", Text(L"1")}};
                        },
                    .refusal = R::SetupPasswordSet},
        QualifyCase{.name = "setup_password_is_set_zero",
                    .change =
                        [](FakeMachine& m) {
                            m.passwords = {{L"Setup Password", Text(L"0")}};
                        }},
        QualifyCase{.name = "setup_password_is_set_empty",
                    .change =
                        [](FakeMachine& m) {
                            m.passwords = {{L"Setup Password", Text(L"")}};
                        }},
        QualifyCase{.name = "setup_password_is_set_eleven",
                    .change =
                        [](FakeMachine& m) {
                            m.passwords = {{L"Setup Password", Text(L"11")}};
                        }},
        QualifyCase{.name = "setup_password_is_set_null",
                    .change =
                        [](FakeMachine& m) {
                            m.passwords = {{L"Setup Password", Variant::Null()}};
                        }},
        // Only the "Setup Password" instance counts, whatever the others say.
        QualifyCase{.name = "other_password_set",
                    .change =
                        [](FakeMachine& m) {
                            m.passwords = {{L"Power-On Password", Text(L"1")}};
                        }},
        QualifyCase{.name = "no_password_instances",
                    .change = [](FakeMachine& m) { m.passwords.clear(); }},
        QualifyCase{.name = "password_query_fails",
                    .change =
                        [](FakeMachine& m) {
                            m.passwords = {{L"Setup Password", Text(L"1")}};
                        },
                    .failingCall = "ExecQuery WQL SELECT * FROM VantrelBIOS_BIOSPassword"},
        QualifyCase{.name = "enhanced_authentication_read_fails",
                    .change = [](FakeMachine& m) { m.enhancedAuthentication = L"*Enable"; },
                    .failingCall = "ExecQuery WQL SELECT * FROM Vantrel_BIOSSetting"},
        QualifyCase{.name = "enhanced_authentication_and_password_both_on",
                    .change =
                        [](FakeMachine& m) {
                            m.enhancedAuthentication = L"*Enable";
                            m.passwords = {{L"Setup Password", Text(L"1")}};
                        },
                    .refusal = R::EnhancedAuthentication}),
    CaseName());

// Five connections, opened in creation order and held until the verdict, then closed in
// reverse order: BiosInfo, BatteryInfo, BiosSecurityInfo, SystemProductInfo, ChassisInfo.
TEST_F(QualificationTest, OpensFiveConnectionsAndClosesThemInReverse) {
    machine.LoadInto(wmi);
    ASSERT_TRUE(QualifyPlatform());

    std::vector<std::string> traffic;
    for (const std::string& call : wmi.Calls()) {
        if (call.rfind("ConnectServer", 0) == 0 || call.rfind("ExecQuery", 0) == 0 ||
            call.rfind("Release services", 0) == 0) {
            traffic.push_back(call);
        }
    }
    const std::string cimv2 = "\\\\.\\root\\cimv2";
    const std::string vendor = "\\\\.\\root\\Vantrel\\InstrumentedBIOS";
    EXPECT_THAT(
        traffic,
        ElementsAre("ConnectServer " + cimv2 + " flags=0x80",
                    "ExecQuery WQL SELECT ChassisTypes FROM Win32_SystemEnclosure flags=0x30",
                    "ConnectServer " + cimv2 + " flags=0x80",
                    "ExecQuery WQL SELECT OEMStringArray FROM Win32_ComputerSystem flags=0x30",
                    "ExecQuery WQL SELECT Name,Vendor FROM Win32_ComputerSystemProduct flags=0x30",
                    "ConnectServer " + vendor + " flags=0x80",
                    "ExecQuery WQL SELECT * FROM VantrelBIOS_BIOSPassword flags=0x30",
                    "ExecQuery WQL SELECT * FROM Vantrel_BIOSSetting where Name='Enhanced BIOS "
                    "Authentication Mode' flags=0x30",
                    "ConnectServer " + cimv2 + " flags=0x80",
                    "ExecQuery WQL SELECT Name FROM Win32_Battery flags=0x30",
                    "ConnectServer " + cimv2 + " flags=0x80",
                    "ExecQuery WQL SELECT Name,Manufacturer,ReleaseDate FROM Win32_BIOS flags=0x30",
                    "Release services " + cimv2, "Release services " + cimv2,
                    "Release services " + vendor, "Release services " + cimv2,
                    "Release services " + cimv2));
    EXPECT_EQ(wmi.LiveObjects(), 0);
}

// The password walk stops at the "Setup Password" instance and reads "IsSet" of that one only.
TEST_F(QualificationTest, PasswordWalkStopsAtSetupPassword) {
    machine.passwords = {{L"Power-On Password", Text(L"1")},
                         {L"Setup Password", Text(L"0")},
                         {L"System Password", Text(L"1")}};
    machine.LoadInto(wmi);
    BiosSecurityInfo security;
    wmi.ClearCalls();
    security.ProbeSetupPassword();
    EXPECT_EQ(security.setupPasswordState, 0);
    EXPECT_THAT(wmi.CallsStartingWith("Get "), ElementsAre("Get Name", "Get Name", "Get IsSet"));
    EXPECT_THAT(wmi.CallsStartingWith("Next"),
                ElementsAre("Next timeout=20000 count=1", "Next timeout=20000 count=1"));
}

TEST_F(QualificationTest, SecurityProbesStartUnknown) {
    machine.LoadInto(wmi);
    const BiosSecurityInfo security;
    EXPECT_EQ(security.setupPasswordState, -1);
    EXPECT_FALSE(security.enhancedAuthEnabled);
}

// A key that refuses writes: every value is still attempted, the last result stays in
// lastError, and the tests still decide.
TEST_F(QualificationTest, RejectedProfileWritesDoNotStopTheTests) {
    RegistryKey& key = RunStatusRecord::Instance().registryKey;
    UniqueKey readOnly;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kToolKeyPath, 0, KEY_READ | KEY_WOW64_64KEY,
                            readOnly.put()),
              ERROR_SUCCESS);
    // Lends the read-only key to the record for the call, and takes the record's own back after.
    struct LentKey {
        UniqueKey& held;
        UniqueKey& lent;
        ~LentKey() { std::swap(held, lent); }
    } lend{key.handle, readOnly};
    std::swap(key.handle, readOnly);

    machine.vendor = L"Othermaker";
    machine.LoadInto(wmi);
    EXPECT_FALSE(QualifyPlatform());
    EXPECT_EQ(key.lastError, ERROR_ACCESS_DENIED);
    EXPECT_EQ(Status(), static_cast<std::int32_t>(RunStatusCode::WrongSystemVendor));
    const auto vendor = ReadToolString(L"SystemVendor");
    ASSERT_TRUE(vendor.has_value());
    EXPECT_EQ(vendor->text, L"stale");
}

// lastError ends with the result of the last write, not of an earlier call.
TEST_F(QualificationTest, LastErrorHoldsTheLastWrite) {
    RunStatusRecord::Instance().registryKey.lastError = ERROR_FILE_NOT_FOUND;
    machine.LoadInto(wmi);
    ASSERT_TRUE(QualifyPlatform());
    EXPECT_EQ(RunStatusRecord::Instance().registryKey.lastError, ERROR_SUCCESS);
}

// Without the vendor namespace the setting read raises: nothing is recorded and no verdict is
// given; the run's top level deals with it.
TEST_F(QualificationTest, MissingVendorNamespaceRaisesBeforeTheProfile) {
    machine.LoadInto(wmi);
    wmi.Fail("ConnectServer \\\\.\\root\\Vantrel", Hr(WBEM_E_INVALID_NAMESPACE));
    try {
        QualifyPlatform();
        ADD_FAILURE() << "QualifyPlatform returned";
    } catch (const _com_error& error) {
        EXPECT_EQ(error.Error(), Hr(WBEM_E_CONNECTION_FAILED));
    }
    EXPECT_EQ(Status(), kStatusBefore);
    const auto vendor = ReadToolString(L"SystemVendor");
    ASSERT_TRUE(vendor.has_value());
    EXPECT_EQ(vendor->text, L"stale");
    EXPECT_EQ(wmi.LiveObjects(), 0);
}

}  // namespace
