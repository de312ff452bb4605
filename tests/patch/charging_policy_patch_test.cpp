// The charging-policy patch on fake machines: every outcome with its console lines, status code
// and whether the firmware was written.
#include "patch/charging_policy_patch.h"
#include "base/console.h"
#include "platform/wbem_status.h"
#include "record/run_status_record.h"
#include "support/fake_machine.h"
#include "support/machine_tree.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

using ::PrintTo;

constexpr wchar_t kOldValue[] = L"Maximize my battery duration";
constexpr wchar_t kNewValue[] = L"Let Vantrel manage my battery charging";
// A status no stage of the patch sets by itself, so a test sees whether it was touched.
constexpr auto kStatusBefore = static_cast<std::int32_t>(RunStatusCode::PreviouslyRun);

constexpr char kNotFoundLine[] = "BIOS setting 'Cellkeeper' not found; patch not applicable\n";
constexpr char kErrorSettingLine[] =
    "Error setting 'Cellkeeper' to 'Let Vantrel manage my battery charging'\n";

// What the firmware does when SetBIOSSetting is called.
struct Firmware {
    std::uint32_t returnCode = 0;
    // The "CurrentValue" that the next query shows after a successful call; the patch's value
    // when unset.
    const wchar_t* readBack = nullptr;
};

class ChargingPolicyPatchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(RunStatusRecord::Instance().registryKey.lastError, ERROR_SUCCESS);
        RunStatusRecord::Instance().statusCode = kStatusBefore;
        SetConsoleSink(&console);
    }
    void TearDown() override { SetConsoleSink(nullptr); }

    void Load(const Firmware& firmware) {
        machine.LoadInto(wmi);
        FakeNamespace vendorBios = wmi.Namespace(kVendorBios);
        if (firmware.returnCode != 0) {
            vendorBios.MethodReturns(L"SetBIOSSetting", Variant::UInt32(firmware.returnCode));
            return;
        }
        const std::wstring shown = firmware.readBack != nullptr ? firmware.readBack : kNewValue;
        // The handler reaches the namespace through the fake (which outlives every call), not
        // through a copy of the namespace, which would keep the namespace alive for ever.
        vendorBios.OnMethod(L"SetBIOSSetting", [this, shown](IWbemClassObject*,
                                                             ComPtr<IWbemClassObject>& out) {
            wmi.Namespace(kVendorBios).SetProperty(L"Vantrel_BIOSSetting", L"CurrentValue", shown);
            out = WbemObjectBuilder::Parameters()
                      .Set(L"Return", Variant::UInt32(0), CIM_UINT32)
                      .Instance()
                      .Build();
            return S_OK;
        });
    }

    std::int32_t Status() const { return RunStatusRecord::Instance().statusCode; }
    std::size_t MethodCalls() const { return wmi.CallsStartingWith("ExecMethod").size(); }
    bool QualificationRan() const {
        return !wmi.CallsStartingWith("ConnectServer \\\\.\\root\\cimv2").empty();
    }

    MachineTree tree;  // first: the tool's key lives under its root on Linux
    FakeWmi wmi;
    FakeMachine machine;
    std::string console;
};

void AsIs(FakeMachine&) {}
void NoBattery(FakeMachine& m) { m.batteries = 0; }
void SetupPasswordSet(FakeMachine& m) { m.passwords = {{L"Setup Password", Variant::Int32(1)}}; }

constexpr std::int32_t Code(RunStatusCode code) { return static_cast<std::int32_t>(code); }

constexpr char kApplied[] = "Patch successfully applied\n";
constexpr char kNotRequired[] = "Patch not required\n";
constexpr char kNotApplicable[] = "Patch not applicable\n";
constexpr char kRereadFailedQuery[] =
    "ExecQuery WQL SELECT * FROM Vantrel_BIOSSetting where Name='Cellkeeper'";
constexpr std::int32_t kSuccess = Code(RunStatusCode::Success);
constexpr std::int32_t kWmiError = Code(RunStatusCode::WmiError);

// The defaults are a qualifying machine with the old value that the patch writes; each row
// names what differs from that.
struct OutcomeCase {
    const char* name;
    const wchar_t* currentValue = kOldValue;
    bool force = false;
    std::function<void(FakeMachine&)> change = AsIs;
    Firmware firmware = {};
    const char* failingCall = nullptr;
    const wchar_t* password = L"";  // the setup password the administrator supplied
    // Expected:
    bool result = true;
    std::int32_t status = kSuccess;
    std::string lines = kApplied;
    bool qualified = true;  // the qualification ran
    bool written = true;    // SetBIOSSetting was called
    HRESULT lastError = S_OK;
};

class OutcomeTest : public ChargingPolicyPatchTest,
                    public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(OutcomeTest, ReportsAndSetsTheStatus) {
    const OutcomeCase& c = GetParam();
    c.change(machine);
    Load(c.firmware);
    if (c.failingCall != nullptr) wmi.Fail(c.failingCall, Hr(WBEM_E_INVALID_CLASS));
    {
        ChargingPolicyPatch patch;
        patch.currentValue = c.currentValue;
        std::wstring password = c.password;
        patch.setupPassword = SecretText(password);
        EXPECT_EQ(patch.DecideAndPatch(c.force), c.result);
        EXPECT_EQ(patch.lastError, c.lastError);
    }
    EXPECT_EQ(console, c.lines);
    EXPECT_EQ(Status(), c.status);
    EXPECT_EQ(QualificationRan(), c.qualified);
    EXPECT_EQ(MethodCalls(), c.written ? 1u : 0u);
    EXPECT_EQ(wmi.LiveObjects(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, OutcomeTest,
    ::testing::Values(
        OutcomeCase{.name = "setting_missing",
                    .currentValue = L"",
                    .result = false,
                    .status = Code(RunStatusCode::SettingNotFound),
                    .lines = kNotFoundLine,
                    .qualified = false,
                    .written = false},
        OutcomeCase{.name = "setting_missing_forced",
                    .currentValue = L"",
                    .force = true,
                    .result = false,
                    .status = Code(RunStatusCode::SettingNotFound),
                    .lines = kNotFoundLine,
                    .qualified = false,
                    .written = false},
        OutcomeCase{.name = "machine_does_not_qualify",
                    .change = NoBattery,
                    .result = false,
                    .status = Code(RunStatusCode::NoBattery),
                    .lines = kNotApplicable,
                    .written = false},
        OutcomeCase{.name = "machine_does_not_qualify_forced",
                    .force = true,
                    .change = NoBattery,
                    .result = false,
                    .status = Code(RunStatusCode::NoBattery),
                    .lines = kNotApplicable,
                    .written = false},
        OutcomeCase{.name = "already_patched",
                    .currentValue = kNewValue,
                    .lines = kNotRequired,
                    .written = false},
        OutcomeCase{.name = "some_other_value",
                    .currentValue = L"Charge to 80%",
                    .lines = kNotRequired,
                    .written = false},
        // Close to the old value is not the old value: nothing is trimmed.
        OutcomeCase{.name = "old_value_with_trailing_blank",
                    .currentValue = L"Maximize my battery duration ",
                    .lines = kNotRequired,
                    .written = false},
        OutcomeCase{.name = "old_value"},
        OutcomeCase{.name = "old_value_in_small_letters",
                    .currentValue = L"maximize my battery duration"},
        OutcomeCase{.name = "already_patched_forced", .currentValue = kNewValue, .force = true},
        OutcomeCase{
            .name = "some_other_value_forced", .currentValue = L"Charge to 80%", .force = true},
        OutcomeCase{.name = "read_back_in_capitals",
                    .firmware = {.readBack = L"LET VANTREL MANAGE MY BATTERY CHARGING"}},
        // The firmware accepted the call but kept its value: reported, status left alone.
        OutcomeCase{.name = "read_back_differs",
                    .firmware = {.readBack = kOldValue},
                    .result = false,
                    .status = kStatusBefore,
                    .lines = kErrorSettingLine},
        OutcomeCase{.name = "provider_returns_6",
                    .firmware = {.returnCode = 6},
                    .result = false,
                    .status = kWmiError,
                    .lines = std::string(kErrorSettingLine) + "Wmi Error code: 6\n",
                    .lastError = 6},
        // An unsigned return code above INT_MAX prints as the signed number it is kept as.
        OutcomeCase{.name = "provider_returns_high_code",
                    .firmware = {.returnCode = 0x80000001u},
                    .result = false,
                    .status = kWmiError,
                    .lines = std::string(kErrorSettingLine) + "Wmi Error code: -2147483647\n",
                    .lastError = static_cast<HRESULT>(0x80000001u)},
        // A supplied setup password: the machine qualifies, and a refusal of the write it
        // went with settles the matter (10); where no setup password is set it is never sent.
        OutcomeCase{
            .name = "supplied_password_patches", .change = SetupPasswordSet, .password = L"pw"},
        OutcomeCase{.name = "setup_password_without_one_supplied",
                    .change = SetupPasswordSet,
                    .result = false,
                    .status = Code(RunStatusCode::SetupPasswordSet),
                    .lines = kNotApplicable,
                    .written = false},
        OutcomeCase{.name = "supplied_password_refused",
                    .change = SetupPasswordSet,
                    .firmware = {.returnCode = 6},
                    .password = L"pw",
                    .result = false,
                    .status = Code(RunStatusCode::SetupPasswordRefused),
                    .lines = std::string(kErrorSettingLine) + "Wmi Error code: 6\n",
                    .lastError = 6},
        OutcomeCase{.name = "unneeded_password_not_sent_refusal_is_36",
                    .firmware = {.returnCode = 6},
                    .password = L"pw",
                    .result = false,
                    .status = kWmiError,
                    .lines = std::string(kErrorSettingLine) + "Wmi Error code: 6\n",
                    .lastError = 6},
        OutcomeCase{.name = "re_read_fails",
                    .failingCall = kRereadFailedQuery,
                    .result = false,
                    .status = kWmiError,
                    .lines = std::string(kErrorSettingLine) + "Wmi Error code: -2147217392\n",
                    .lastError = Hr(WBEM_E_INVALID_CLASS)},
        OutcomeCase{.name = "current_value_read_fails",
                    .failingCall = "Get CurrentValue",
                    .result = false,
                    .status = kWmiError,
                    .lines = std::string(kErrorSettingLine) + "Wmi Error code: -2147217392\n",
                    .lastError = Hr(WBEM_E_INVALID_CLASS)}),
    CaseName());

// The write goes through the provider's method with the patch's texts and an empty password,
// then the setting is read again on the patch's own connection.
TEST_F(ChargingPolicyPatchTest, WritesThenReadsTheSettingBack) {
    Load({});
    ChargingPolicyPatch patch;
    patch.currentValue = kOldValue;
    wmi.ClearCalls();
    ASSERT_TRUE(patch.DecideAndPatch(false));

    const std::vector<std::string> calls = wmi.Calls();
    std::vector<std::string> afterWrite;
    bool written = false;
    for (const std::string& call : calls) {
        if (call.rfind("ExecMethod", 0) == 0) written = true;
        if (written && (call.rfind("ExecQuery", 0) == 0 || call.rfind("Get ", 0) == 0)) {
            afterWrite.push_back(call);
        }
    }
    EXPECT_THAT(afterWrite, ElementsAre("Get Return",
                                        "ExecQuery WQL SELECT * FROM Vantrel_BIOSSetting where "
                                        "Name='Cellkeeper' flags=0x30",
                                        "Get Value", "Get CurrentValue"));
    EXPECT_THAT(
        wmi.CallsStartingWith("Put "),
        ElementsAre("Put Name=Cellkeeper", "Put Value=Let Vantrel manage my battery charging",
                    "Put Password=<kbd/>"));
    EXPECT_EQ(patch.currentValue, kNewValue);
    EXPECT_EQ(patch.settingValue,
              L"*Maximize my battery duration,Let Vantrel manage my battery charging");
}

// A COM error on the way to the method leaves DecideAndPatch unchanged: no line, no status.
TEST_F(ChargingPolicyPatchTest, ComErrorOfTheWritePassesThrough) {
    Load({});
    wmi.Fail("GetObject Vantrel_BIOSSettingInterface", Hr(WBEM_E_ACCESS_DENIED));
    {
        ChargingPolicyPatch patch;
        patch.currentValue = kOldValue;
        try {
            patch.DecideAndPatch(true);
            ADD_FAILURE() << "DecideAndPatch returned";
        } catch (const _com_error& error) {
            EXPECT_EQ(error.Error(), Hr(WBEM_E_ACCESS_DENIED));
        }
    }
    EXPECT_EQ(console, "");
    EXPECT_EQ(Status(), kStatusBefore);
    EXPECT_EQ(MethodCalls(), 0u);
    EXPECT_EQ(wmi.LiveObjects(), 0);
}

// A machine that does not qualify keeps the qualification's own code.
TEST_F(ChargingPolicyPatchTest, RefusalKeepsTheQualificationsCode) {
    machine.passwords = {{L"Setup Password", Variant::String(L"1")}};
    Load({});
    ChargingPolicyPatch patch;
    patch.currentValue = kOldValue;
    EXPECT_FALSE(patch.DecideAndPatch(true));
    EXPECT_EQ(console, kNotApplicable);
    EXPECT_EQ(Status(), Code(RunStatusCode::SetupPasswordSet));
    EXPECT_THAT(wmi.CallsStartingWith("ExecMethod"), IsEmpty());
}

}  // namespace
