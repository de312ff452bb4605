#include "bios/bios_config_client.h"

#include "bios/named_texts.h"
#include "platform/wbem_status.h"
#include "support/table_case.h"
#include "vendor_bios.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {

using ::PrintTo;

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;

constexpr char kNextLine[] = "Next timeout=20000 count=1";

class BiosSettingWriteTest : public VendorBiosTest {
  protected:
    // A machine where the write can succeed: the setting, the method and UTF-16 passwords.
    void AddWritableMachine() {
        AddChargingPolicySetting();
        AddSettingsInterface();
        AddPasswordEncodings(Variant::Strings({L"utf-16", L"kbd"}));
        vendor.MethodReturns(kSetSettingMethod, Variant::Int32(0));
    }
};

TEST_F(BiosSettingWriteTest, WriteTrafficFollowsTheMethodCallOrder) {
    AddWritableMachine();
    BiosConfigClient client;
    wmi.ClearCalls();
    EXPECT_EQ(client.SetBiosSetting(L""), 0u);
    const std::string path =
        "\\\\.\\root\\Vantrel\\InstrumentedBIOS:"
        "Vantrel_BIOSSettingInterface.InstanceName=\"ACPI\\\\PNP0C14\\\\0_0\"";
    EXPECT_THAT(
        wmi.Calls(),
        ElementsAre("GetObject Vantrel_BIOSSettingInterface flags=0x0",
                    "GetMethod SetBIOSSetting in", "SpawnInstance", "Put Name=Cellkeeper",
                    "Put Value=Let Vantrel manage my battery charging",
                    "CreateInstanceEnum Vantrel_BIOSPassword flags=0x30", kNextLine,
                    "ExecQuery WQL SELECT * FROM Vantrel_BIOSSetting where Name='Setup Password' "
                    "flags=0x30",
                    kNextLine, "Get SupportedEncoding", "Put Password=<utf-16/>",
                    "CreateInstanceEnum Vantrel_BIOSSettingInterface flags=0x30", kNextLine,
                    "Get __PATH", "ExecMethod " + path + " SetBIOSSetting flags=0x0",
                    "Get Return"));
    EXPECT_EQ(LastArgument(L"Name"), kChargingPolicySetting);
    EXPECT_EQ(LastArgument(L"Value"), kValueAfterPatch);
    EXPECT_EQ(LastArgument(L"Password"), L"<utf-16/>");
    // The prepared state stays with the client; the interface instance is current.
    EXPECT_EQ(client.methodStatus, S_OK);
    EXPECT_EQ(client.methodClassName, kSettingsInterfaceClass);
    EXPECT_EQ(client.methodName, kSetSettingMethod);
    EXPECT_FALSE(client.outParams.Empty());
    std::wstring currentPath;
    EXPECT_EQ(client.current.GetString(L"__PATH", currentPath), S_OK);
    EXPECT_EQ(currentPath, kInterfacePath);
}

TEST_F(BiosSettingWriteTest, SecondWritePreparesAfreshAndAsksNoPasswordFacts) {
    AddWritableMachine();
    BiosConfigClient client;
    ASSERT_EQ(client.SetBiosSetting(L""), 0u);
    wmi.ClearCalls();
    ASSERT_EQ(client.SetBiosSetting(L""), 0u);
    EXPECT_THAT(wmi.CallsStartingWith("GetObject"), SizeIs(1));
    EXPECT_THAT(wmi.CallsStartingWith("CreateInstanceEnum Vantrel_BIOSPassword"), IsEmpty());
    EXPECT_THAT(wmi.CallsStartingWith("ExecMethod"), SizeIs(1));
}

TEST_F(BiosSettingWriteTest, EmptyInterfacePathCallsMethodOnClass) {
    AddChargingPolicySetting();
    AddSettingsInterface();
    wmi.Fail("Get __PATH", S_OK);  // answers without a value: the path reads as empty
    vendor.MethodReturns(kSetSettingMethod, Variant::Int32(0));
    BiosConfigClient client;
    EXPECT_EQ(client.SetBiosSetting(L""), 0u);
    EXPECT_THAT(wmi.CallsStartingWith("ExecMethod"),
                ElementsAre("ExecMethod Vantrel_BIOSSettingInterface SetBIOSSetting flags=0x0"));
}

TEST_F(BiosSettingWriteTest, NoInterfaceInstanceRaisesAfterAllArgumentsArePut) {
    AddChargingPolicySetting();
    AddSettingsInterface(/*withInstance=*/false);
    BiosConfigClient client;
    EXPECT_EQ(RaisedCode([&] { client.SetBiosSetting(L""); }), std::optional<HRESULT>(S_FALSE));
    EXPECT_THAT(
        wmi.CallsStartingWith("Put"),
        ElementsAre("Put Name=Cellkeeper", "Put Value=Let Vantrel manage my battery charging",
                    "Put Password=<kbd/>"));
    EXPECT_THAT(wmi.CallsStartingWith("ExecMethod"), IsEmpty());
}

struct ReturnCase {
    const char* name;
    std::function<Variant()> value = [] { return Variant::Int32(0); };
    std::uint32_t code = 0;
};

class ReturnCodeTest : public BiosSettingWriteTest,
                       public testing::WithParamInterface<ReturnCase> {};

TEST_P(ReturnCodeTest, ProviderCodeIsReturned) {
    AddWritableMachine();
    vendor.MethodReturns(kSetSettingMethod, GetParam().value());
    BiosConfigClient client;
    EXPECT_EQ(client.SetBiosSetting(L""), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ReturnCodeTest,
    testing::Values(
        ReturnCase{.name = "SignedZero", .value = [] { return Variant::Int32(0); }, .code = 0u},
        ReturnCase{.name = "SignedFailure", .value = [] { return Variant::Int32(5); }, .code = 5u},
        ReturnCase{.name = "Unsigned",
                   .value = [] { return Variant::UInt32(4000000000u); },
                   .code = 4000000000u},
        ReturnCase{
            .name = "DigitsText", .value = [] { return Variant::String(L"2"); }, .code = 2u}),
    CaseName());

// Every failure on the way to the method's answer is raised with its code.
struct RaiseCase {
    const char* name;
    std::function<void(FakeWmi&, FakeNamespace&)> arrange = [](FakeWmi&, FakeNamespace&) {};
    HRESULT raised = S_OK;
    bool methodCalled = false;  // ExecMethod was called
};

class SetBiosSettingRaiseTest : public BiosSettingWriteTest,
                                public testing::WithParamInterface<RaiseCase> {};

TEST_P(SetBiosSettingRaiseTest, FailureIsRaised) {
    AddWritableMachine();
    GetParam().arrange(wmi, vendor);
    BiosConfigClient client;
    EXPECT_EQ(RaisedCode([&] { client.SetBiosSetting(L""); }),
              std::optional<HRESULT>(GetParam().raised));
    EXPECT_THAT(wmi.CallsStartingWith("ExecMethod"), SizeIs(GetParam().methodCalled ? 1 : 0));
}

INSTANTIATE_TEST_SUITE_P(
    Steps, SetBiosSettingRaiseTest,
    testing::Values(
        RaiseCase{.name = "ClassMissing",
                  .arrange = [](FakeWmi& wmi,
                                FakeNamespace&) { wmi.Fail("GetObject", Hr(WBEM_E_NOT_FOUND)); },
                  .raised = Hr(WBEM_E_NOT_FOUND)},
        RaiseCase{.name = "MethodMissing",
                  .arrange = [](FakeWmi& wmi,
                                FakeNamespace&) { wmi.Fail("GetMethod", Hr(WBEM_E_NOT_FOUND)); },
                  .raised = Hr(WBEM_E_NOT_FOUND)},
        RaiseCase{
            .name = "SpawnFails",
            .arrange = [](FakeWmi& wmi,
                          FakeNamespace&) { wmi.Fail("SpawnInstance", Hr(WBEM_E_OUT_OF_MEMORY)); },
            .raised = Hr(WBEM_E_OUT_OF_MEMORY)},
        RaiseCase{.name = "NameRefused",
                  .arrange = [](FakeWmi& wmi,
                                FakeNamespace&) { wmi.Fail("Put Name", Hr(WBEM_E_TYPE_MISMATCH)); },
                  .raised = Hr(WBEM_E_TYPE_MISMATCH)},
        RaiseCase{.name = "ValueRefused",
                  .arrange = [](FakeWmi& wmi,
                                FakeNamespace&) { wmi.Fail("Put Value", Hr(WBEM_E_NOT_FOUND)); },
                  .raised = Hr(WBEM_E_NOT_FOUND)},
        RaiseCase{.name = "PasswordRefused",
                  .arrange =
                      [](FakeWmi& wmi, FakeNamespace&) {
                          wmi.Fail("Put Password", Hr(WBEM_E_INVALID_PARAMETER));
                      },
                  .raised = Hr(WBEM_E_INVALID_PARAMETER)},
        RaiseCase{.name = "InterfaceEnumerationFails",
                  .arrange =
                      [](FakeWmi& wmi, FakeNamespace&) {
                          wmi.Fail("CreateInstanceEnum Vantrel_BIOSSettingInterface",
                                   Hr(WBEM_E_ACCESS_DENIED));
                      },
                  .raised = Hr(WBEM_E_ACCESS_DENIED)},
        RaiseCase{
            .name = "PathUnreadable",
            .arrange = [](FakeWmi& wmi,
                          FakeNamespace&) { wmi.Fail("Get __PATH", Hr(WBEM_E_ACCESS_DENIED)); },
            .raised = Hr(WBEM_E_ACCESS_DENIED)},
        RaiseCase{
            .name = "MethodCallFails",
            .arrange = [](FakeWmi& wmi,
                          FakeNamespace&) { wmi.Fail("ExecMethod", Hr(WBEM_E_PROVIDER_FAILURE)); },
            .raised = Hr(WBEM_E_PROVIDER_FAILURE),
            .methodCalled = true},
        RaiseCase{
            .name = "NoOutputObject",
            .arrange = [](FakeWmi&,
                          FakeNamespace& vendor) { vendor.MethodWithoutOutput(kSetSettingMethod); },
            .raised = S_FALSE,
            .methodCalled = true},
        RaiseCase{.name = "ReturnUnreadable",
                  .arrange = [](FakeWmi& wmi,
                                FakeNamespace&) { wmi.Fail("Get Return", Hr(WBEM_E_NOT_FOUND)); },
                  .raised = Hr(WBEM_E_NOT_FOUND),
                  .methodCalled = true},
        RaiseCase{.name = "ReturnNull",
                  .arrange =
                      [](FakeWmi&, FakeNamespace& vendor) {
                          vendor.MethodReturns(kSetSettingMethod, Variant::Null());
                      },
                  .raised = DISP_E_TYPEMISMATCH,
                  .methodCalled = true}),
    CaseName());

TEST_F(BiosSettingWriteTest, MethodWithoutInputsIsRaisedAsFalse) {
    AddChargingPolicySetting();
    vendor.AddClass(
        WbemObjectBuilder::Class(kSettingsInterfaceClass)
            .Method(kSetSettingMethod, ComPtr<IWbemClassObject>(), ComPtr<IWbemClassObject>()));
    BiosConfigClient client;
    EXPECT_EQ(RaisedCode([&] { client.SetBiosSetting(L""); }), std::optional<HRESULT>(S_FALSE));
    EXPECT_EQ(client.methodStatus, S_OK);
    EXPECT_TRUE(client.inParams.Empty());
    EXPECT_THAT(wmi.CallsStartingWith("Put"), IsEmpty());
}

TEST_F(BiosSettingWriteTest, RaisedErrorLeavesClientUsable) {
    AddWritableMachine();
    BiosConfigClient client;
    wmi.Fail("GetMethod", Hr(WBEM_E_NOT_FOUND), 1);
    EXPECT_EQ(RaisedCode([&] { client.SetBiosSetting(L""); }),
              std::optional<HRESULT>(Hr(WBEM_E_NOT_FOUND)));
    EXPECT_NE(client.methodStatus, S_OK);
    EXPECT_EQ(client.SetBiosSetting(L""), 0u);
}

}  // namespace

namespace {

struct PasswordFormCase {
    const char* name;
    std::vector<std::wstring> encodings;
    const char* argument;
};

class PasswordFormTest : public BiosSettingWriteTest,
                         public testing::WithParamInterface<PasswordFormCase> {};

// A supplied password goes in the form the firmware declares, and is taken out of the
// arguments' object as soon as the method has run.
TEST_P(PasswordFormTest, SendsThePasswordInTheDeclaredFormAndTakesItBack) {
    AddChargingPolicySetting();
    AddSettingsInterface();
    AddPasswordEncodings(Variant::Strings(GetParam().encodings));
    vendor.MethodReturns(kSetSettingMethod, Variant::Int32(0));
    BiosConfigClient client;
    wmi.ClearCalls();
    EXPECT_EQ(client.SetBiosSetting(L"pw"), 0u);
    const std::vector<std::string> puts = wmi.CallsStartingWith("Put Password=");
    ASSERT_THAT(puts, SizeIs(2));
    EXPECT_EQ(puts[0], std::string("Put Password=") + GetParam().argument);
    EXPECT_EQ(puts[1], "Put Password=");
    const std::vector<std::string> calls = wmi.Calls();
    const auto executed = std::find_if(calls.begin(), calls.end(), [](const std::string& call) {
        return call.starts_with("ExecMethod");
    });
    const auto cleared = std::find(calls.begin(), calls.end(), "Put Password=");
    EXPECT_LT(executed, cleared);
    // What the method itself was given.
    const std::string argument = GetParam().argument;
    EXPECT_EQ(LastArgument(L"Password"), std::wstring(argument.begin(), argument.end()));
}

INSTANTIATE_TEST_SUITE_P(
    Forms, PasswordFormTest,
    testing::Values(PasswordFormCase{"Utf16", {L"utf-16", L"kbd"}, "<utf-16/>pw"},
                    PasswordFormCase{"Keyboard", {L"kbd"}, "<kbd/>7077"}),
    CaseName());

}  // namespace
