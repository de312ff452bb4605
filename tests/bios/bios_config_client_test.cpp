#include "bios/bios_config_client.h"

#include "bios/named_texts.h"
#include "platform/wbem_status.h"
#include "support/table_case.h"
#include "vendor_bios.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class BiosConfigClientTest : public VendorBiosTest {};

TEST_F(BiosConfigClientTest, FreshClientIsConnectedButNotPrepared) {
    BiosConfigClient client;
    EXPECT_TRUE(client.services);
    EXPECT_EQ(client.namespacePath, kVendorBiosNamespace);
    EXPECT_THAT(wmi.Calls(),
                Contains("ConnectServer \\\\.\\root\\Vantrel\\InstrumentedBIOS flags=0x80"));
    EXPECT_THAT(client.methodClassName, IsEmpty());
    EXPECT_THAT(client.methodName, IsEmpty());
    EXPECT_TRUE(client.inParams.Empty());
    EXPECT_TRUE(client.outParams.Empty());
    EXPECT_EQ(client.methodStatus, S_FALSE);
    // Without a preparation the method call is refused before WMI hears of it.
    EXPECT_EQ(client.ExecuteMethod(L""), Hr(WBEM_E_FAILED));
    EXPECT_THAT(wmi.CallsStartingWith("ExecMethod"), IsEmpty());
}

TEST_F(BiosConfigClientTest, ReadsValueAndLeavesSettingCurrent) {
    AddChargingPolicySetting();
    BiosConfigClient client;
    wmi.ClearCalls();
    std::wstring value;
    ASSERT_EQ(client.ReadSettingValue(kChargingPolicySetting, value), S_OK);
    EXPECT_EQ(value, L"*Maximize my battery duration,Let Vantrel manage my battery charging");
    std::wstring current;
    EXPECT_EQ(client.current.GetString(kCurrentValueProperty, current), S_OK);
    EXPECT_EQ(current, kValueBeforePatch);
    EXPECT_THAT(wmi.Calls(),
                ElementsAre("ExecQuery WQL SELECT * FROM Vantrel_BIOSSetting where "
                            "Name='Cellkeeper' flags=0x30",
                            "Next timeout=20000 count=1", "Get Value", "Get CurrentValue"));
}

TEST_F(BiosConfigClientTest, SecondReadReplacesCurrentSetting) {
    AddChargingPolicySetting();
    AddSetting(kEnhancedAuthenticationSetting, L"*Disable,Enable", L"Disable");
    BiosConfigClient client;
    std::wstring value;
    ASSERT_EQ(client.ReadSettingValue(kChargingPolicySetting, value), S_OK);
    ASSERT_EQ(client.ReadSettingValue(kEnhancedAuthenticationSetting, value), S_OK);
    EXPECT_EQ(value, L"*Disable,Enable");
    std::wstring current;
    EXPECT_EQ(client.current.GetString(kCurrentValueProperty, current), S_OK);
    EXPECT_EQ(current, L"Disable");
}

TEST_F(BiosConfigClientTest, MissingSettingLeavesValueAndNothingCurrent) {
    AddSetting(kEnhancedAuthenticationSetting, L"*Disable,Enable", L"Disable");
    BiosConfigClient client;
    std::wstring value = L"as passed";
    EXPECT_EQ(client.ReadSettingValue(kChargingPolicySetting, value), Hr(WBEM_S_FALSE));
    EXPECT_EQ(value, L"as passed");
    std::wstring current = L"left over";
    EXPECT_EQ(client.current.GetString(kCurrentValueProperty, current), Hr(WBEM_E_INVALID_OBJECT));
    EXPECT_THAT(current, IsEmpty());
}

TEST_F(BiosConfigClientTest, QueryFailuresArePassedOnUnchanged) {
    AddChargingPolicySetting();
    BiosConfigClient client;
    std::wstring value = L"as passed";
    // A quote in the name makes the query malformed; the provider's code comes back as is.
    const HRESULT malformed = client.ReadSettingValue(L"Cell'keeper", value);
    EXPECT_NE(malformed, S_OK);
    EXPECT_THAT(wmi.CallsStartingWith("ExecQuery"),
                ElementsAre("ExecQuery WQL SELECT * FROM Vantrel_BIOSSetting where "
                            "Name='Cell'keeper' flags=0x30"));
    wmi.Fail("Next", Hr(WBEM_S_TIMEDOUT));
    EXPECT_EQ(client.ReadSettingValue(kChargingPolicySetting, value), Hr(WBEM_S_TIMEDOUT));
    EXPECT_EQ(value, L"as passed");
}

TEST_F(BiosConfigClientTest, NullValueReadsAsEmpty) {
    vendor.Add(WbemObjectBuilder(L"Vantrel_BIOSSetting")
                   .Set(L"Name", kChargingPolicySetting)
                   .Declare(L"Value", CIM_STRING));
    BiosConfigClient client;
    std::wstring value = L"as passed";
    EXPECT_EQ(client.ReadSettingValue(kChargingPolicySetting, value), S_OK);
    EXPECT_THAT(value, IsEmpty());
}

// The settings interface's word on a pending restart: only a text other than "0" says yes, and
// no word (no property, NULL, empty) is none.
struct PendingRebootCase {
    const char* name;
    std::function<void(WbemObjectBuilder&)> give;
    std::optional<bool> expected = std::nullopt;
};

class PendingRebootTest : public BiosConfigClientTest,
                          public testing::WithParamInterface<PendingRebootCase> {};

TEST_P(PendingRebootTest, IsReadFromTheCurrentInterface) {
    WbemObjectBuilder instance(kSettingsInterfaceClass);
    instance.Key(L"InstanceName").Set(L"InstanceName", L"ACPI\\PNP0C14\\0_0");
    GetParam().give(instance);
    vendor.Add(instance);
    BiosConfigClient client;
    ASSERT_EQ(client.SelectFirstInstance(kSettingsInterfaceClass), S_OK);
    EXPECT_EQ(client.CurrentPendingReboot(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, PendingRebootTest,
    testing::Values(
        PendingRebootCase{.name = "NoProperty", .give = [](WbemObjectBuilder&) {}},
        PendingRebootCase{
            .name = "Null",
            .give = [](WbemObjectBuilder& b) { b.Declare(kPendingRebootProperty, CIM_STRING); }},
        PendingRebootCase{.name = "Empty",
                          .give = [](WbemObjectBuilder& b) { b.Set(kPendingRebootProperty, L""); }},
        PendingRebootCase{.name = "Zero",
                          .give = [](WbemObjectBuilder& b) { b.Set(kPendingRebootProperty, L"0"); },
                          .expected = false},
        PendingRebootCase{.name = "One",
                          .give = [](WbemObjectBuilder& b) { b.Set(kPendingRebootProperty, L"1"); },
                          .expected = true}),
    CaseName());

TEST(BiosConfigClientWithoutNamespaceTest, ReadIsRaisedAsConnectionFailure) {
    FakeWmi wmi;  // no vendor namespace
    BiosConfigClient client;
    EXPECT_FALSE(client.services);
    std::wstring value = L"as passed";
    EXPECT_EQ(RaisedCode([&] { client.ReadSettingValue(kChargingPolicySetting, value); }),
              Hr(WBEM_E_CONNECTION_FAILED));
    EXPECT_EQ(RaisedCode([&] { client.SetBiosSetting(L""); }), Hr(WBEM_E_CONNECTION_FAILED));
    EXPECT_EQ(value, L"as passed");
    EXPECT_THAT(wmi.CallsStartingWith("ExecQuery"), IsEmpty());
}

}  // namespace
