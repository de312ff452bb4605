// What the machine providers open to answer a call: only the files behind what the call can
// show. On a real machine each firmware-attributes read makes the driver ask the firmware, and
// a firmware may offer hundreds of settings.
#include "machine_providers/firmware_attribute_write.h"
#include "machine_providers/providers.h"
#include "platform/owners.h"
#include "platform/platform.h"
#include "support/machine_tree.h"
#include "support/open_watch.h"
#include "support/table_case.h"
#include "support/wbem_reading.h"
#include "wmi_service/bstr.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

using ::PrintTo;

using wmi_service::CopyBstr;

constexpr const char* kDevice = "sys/class/firmware-attributes/vantrel-wmi/";

enum class Call { kQuery, kGetObject, kEnumerate };

struct ReadCase {
    const char* name;
    bool vendorNamespace = true;  // else cimv2
    Call call = Call::kQuery;
    const wchar_t* text = L"";  // WQL, an object path or a class name
    // Relative to the device folder, or to the root for cimv2.
    std::vector<std::string> opened = {};
    std::size_t delivered = 1;
};

// Three settings, two passwords and a few DMI files: enough to see which ones a call opens.
void WriteSampleMachine(const MachineTree& tree) {
    for (const char* name : {"Asset", "Cellkeeper", "Zed"}) {
        const std::string base = std::string(kDevice) + "attributes/" + name + "/";
        tree.WriteAttribute(base + "current_value", "Off");
        tree.WriteAttribute(base + "display_name", name);
        tree.WriteAttribute(base + "default_value", "Off");
        if (std::string_view(name) == "Zed") {
            tree.WriteAttribute(base + "type", "string");
            continue;
        }
        tree.WriteAttribute(base + "type", "enumeration");
        tree.WriteAttribute(base + "possible_values", "Off;On");
    }
    // Folder names are the driver's choice; the role says which password is which.
    for (const auto& [folder, role] :
         {std::pair{"Admin", "bios-admin"}, std::pair{"System", "power-on"}}) {
        const std::string base = std::string(kDevice) + "authentication/" + folder + "/";
        tree.WriteAttribute(base + "role", role);
        tree.WriteAttribute(base + "is_enabled", "0");
        tree.WriteAttribute(base + "encodings", "ascii;utf-16");
    }
    for (const char* file : {"sys_vendor", "product_name", "product_version", "product_serial",
                             "product_uuid", "chassis_type", "chassis_vendor"}) {
        tree.WriteAttribute(std::string("sys/class/dmi/id/") + file, "1");
    }
}

class ProviderReadsTest : public testing::TestWithParam<ReadCase> {
  protected:
    void SetUp() override { WriteSampleMachine(tree); }

    MachineTree tree;
};

TEST_P(ProviderReadsTest, OpensOnlyWhatTheCallCanShow) {
    const ReadCase& c = GetParam();
    ComPtr<IWbemServices> services;
    ASSERT_EQ(c.vendorNamespace ? machine_providers::CreateVendorBiosServices(services.put())
                                : machine_providers::CreateCimv2Services(services.put()),
              S_OK);
    OpenWatch watch(tree.Root());

    std::size_t delivered = 0;
    const UniqueBstr text = CopyBstr(c.text);
    if (c.call == Call::kGetObject) {
        ComPtr<IWbemClassObject> object;
        ASSERT_EQ(services->GetObject(text.get(), 0, nullptr, object.put(), nullptr), S_OK);
        delivered = 1;
    } else {
        ComPtr<IEnumWbemClassObject> enumerator;
        const HRESULT hr =
            c.call == Call::kQuery
                ? services->ExecQuery(CopyBstr(L"WQL").get(), text.get(), 0, nullptr,
                                      enumerator.put())
                : services->CreateInstanceEnum(text.get(), 0, nullptr, enumerator.put());
        ASSERT_EQ(hr, S_OK);
        delivered = DrainEnumerator(enumerator.get()).size();
    }
    EXPECT_EQ(delivered, c.delivered);

    std::vector<std::string> expected;
    for (const std::string& file : c.opened) {
        expected.push_back((c.vendorNamespace ? std::string(kDevice) : std::string()) + file);
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(watch.Opened(), expected);
}

// What "Value" and "CurrentValue" need; the other descriptions wait for a Get. Choices make an
// enumeration, so the type is not asked for.
const std::vector<std::string> kCellkeeperFiles = {"attributes/Cellkeeper/current_value",
                                                   "attributes/Cellkeeper/possible_values"};

std::vector<std::string> With(std::vector<std::string> files, const std::string& more) {
    files.push_back(more);
    return files;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProviderReadsTest,
    testing::Values(
        ReadCase{.name = "SettingByKeyReadsItsFolderOnly",
                 .text = L"SELECT * FROM Vantrel_BIOSSetting WHERE Name='Cellkeeper'",
                 .opened = kCellkeeperFiles},
        ReadCase{.name = "SelectListReadsItsFilesOnly",
                 .text = L"SELECT CurrentValue FROM Vantrel_BIOSSetting WHERE Name='Cellkeeper'",
                 .opened = {"attributes/Cellkeeper/current_value"}},
        ReadCase{.name = "KeyInOtherLetterCaseListsTheFolderOnce",
                 .text = L"SELECT * FROM Vantrel_BIOSSetting WHERE Name='CELLKEEPER'",
                 .opened = With(kCellkeeperFiles, "attributes")},
        ReadCase{.name = "SettingWithoutChoicesReadsItsType",
                 .text = L"SELECT Value FROM Vantrel_BIOSSetting WHERE Name='Zed'",
                 .opened = {"attributes/Zed/current_value", "attributes/Zed/type"}},
        ReadCase{.name = "MissingSettingReadsNoSetting",
                 .text = L"SELECT * FROM Vantrel_BIOSSetting WHERE Name='Wake on LAN'",
                 .opened = {"attributes"},
                 .delivered = 0},
        ReadCase{.name = "NamesOnlyReadNoSettingFile",
                 .text = L"SELECT Name FROM Vantrel_BIOSSetting",
                 .opened = {"attributes", "authentication", "authentication/Admin/role"},
                 .delivered = 4},
        ReadCase{.name = "SetupPasswordSettingReadsItsPasswordFolder",
                 .text = L"SELECT * FROM Vantrel_BIOSSetting WHERE Name='Setup Password'",
                 .opened = {"attributes", "authentication", "authentication/Admin/role",
                            "authentication/Admin/encodings"}},
        ReadCase{.name = "SettingByPath",
                 .call = Call::kGetObject,
                 .text = L"Vantrel_BIOSSetting.Name=\"Cellkeeper\"",
                 .opened = kCellkeeperFiles},
        ReadCase{.name = "PasswordsReadRolesAndStates",
                 .call = Call::kEnumerate,
                 .text = L"VantrelBIOS_BIOSPassword",
                 .opened = {"authentication", "authentication/Admin/is_enabled",
                            "authentication/Admin/role", "authentication/System/is_enabled",
                            "authentication/System/role"},
                 .delivered = 2},
        ReadCase{.name = "OnePasswordReadsOneState",
                 .text = L"SELECT IsSet FROM Vantrel_BIOSPassword WHERE Name='Power-On Password'",
                 .opened = {"authentication", "authentication/Admin/role",
                            "authentication/System/is_enabled", "authentication/System/role"}},
        ReadCase{.name = "ProductReadsItsTwoFiles",
                 .vendorNamespace = false,
                 .text = L"SELECT Name,Vendor FROM Win32_ComputerSystemProduct",
                 .opened = {"sys/class/dmi/id/product_name", "sys/class/dmi/id/sys_vendor"}},
        ReadCase{.name = "EnclosureReadsTheChassisType",
                 .vendorNamespace = false,
                 .text = L"SELECT ChassisTypes FROM Win32_SystemEnclosure",
                 .opened = {"sys/class/dmi/id/chassis_type"}}),
    CaseName());

// Reads across calls: each device file once per state of the device, a write starting a new
// one. The firmware answers every read, so a run must not ask twice for what cannot change.
class DeviceStateReadsTest : public testing::Test {
  protected:
    void SetUp() override {
        WriteSampleMachine(tree);
        ASSERT_EQ(machine_providers::CreateVendorBiosServices(services.put()), S_OK);
    }

    ComPtr<IWbemClassObject> QueryCellkeeper() {
        std::vector<ComPtr<IWbemClassObject>> found = QueryObjects(
            services.get(), L"SELECT * FROM Vantrel_BIOSSetting WHERE Name='Cellkeeper'", 0);
        EXPECT_EQ(found.size(), 1U);
        return found.empty() ? ComPtr<IWbemClassObject>() : found.front();
    }

    static std::string Device(const std::string& file) { return std::string(kDevice) + file; }

    MachineTree tree;
    ComPtr<IWbemServices> services;
};

TEST_F(DeviceStateReadsTest, DescriptionsAreReadOnTheirFirstGet) {
    const ComPtr<IWbemClassObject> setting = QueryCellkeeper();
    ASSERT_TRUE(setting);
    OpenWatch watch(tree.Root());
    EXPECT_EQ(PropertyText(setting.get(), L"DisplayName"), L"Cellkeeper");
    EXPECT_EQ(PropertyText(setting.get(), L"DisplayName"), L"Cellkeeper");
    EXPECT_EQ(PropertyText(setting.get(), L"DefaultValue"), L"Off");
    EXPECT_EQ(watch.Opened(),
              (std::vector<std::string>{Device("attributes/Cellkeeper/default_value"),
                                        Device("attributes/Cellkeeper/display_name")}));
}

TEST_F(DeviceStateReadsTest, TheSameStateIsReadOnce) {
    ASSERT_TRUE(QueryCellkeeper());
    OpenWatch watch(tree.Root());
    const ComPtr<IWbemClassObject> again = QueryCellkeeper();
    ASSERT_TRUE(again);
    EXPECT_EQ(PropertyText(again.get(), L"CurrentValue"), L"Off");
    EXPECT_EQ(PropertyText(again.get(), L"Value"), L"*Off,On");
    EXPECT_EQ(watch.Opened(), std::vector<std::string>{});
}

// A write to one setting may change what others hold (firmware settings depend on each
// other), so every current value is asked for again; descriptions stay.
TEST_F(DeviceStateReadsTest, AWriteStartsANewStateOfTheValuesOnly) {
    const ComPtr<IWbemClassObject> before = QueryCellkeeper();
    ASSERT_TRUE(before);
    ASSERT_EQ(machine_providers::WriteBiosSetting(L"Asset", L"On", L""),
              machine_providers::SetSettingResult::kSuccess);
    OpenWatch watch(tree.Root());
    const ComPtr<IWbemClassObject> after = QueryCellkeeper();
    ASSERT_TRUE(after);
    EXPECT_EQ(PropertyText(after.get(), L"Value"), L"*Off,On");
    EXPECT_EQ(watch.Opened(),
              std::vector<std::string>{Device("attributes/Cellkeeper/current_value")});
}

// The interface instance that a method call is found through never shows PendingReboot, so the
// file is read on the first Get, once for each state; an instance made before a write no longer
// knows its value and shows none, as Windows' provider, which has no such property.
TEST_F(DeviceStateReadsTest, PendingRebootIsReadOnItsFirstGetInTheInstancesState) {
    tree.WriteAttribute(Device("attributes/pending_reboot"), "0");
    auto queryInterface = [this] {
        std::vector<ComPtr<IWbemClassObject>> found =
            QueryObjects(services.get(), L"SELECT * FROM Vantrel_BIOSSettingInterface", 0);
        EXPECT_EQ(found.size(), 1U);
        return found.empty() ? ComPtr<IWbemClassObject>() : found.front();
    };
    auto pendingReboot = [](IWbemClassObject* object) {
        const wmi_service::Variant value = GetProperty(object, L"PendingReboot");
        return value.Type() == VT_I4 ? std::to_wstring(V_I4(value.get())) : L"<none>";
    };
    OpenWatch watch(tree.Root());
    const ComPtr<IWbemClassObject> before = queryInterface();
    const ComPtr<IWbemClassObject> sameState = queryInterface();
    ASSERT_TRUE(before && sameState);
    EXPECT_EQ(watch.Opened(), std::vector<std::string>{});
    EXPECT_EQ(pendingReboot(sameState.get()), L"0");
    EXPECT_EQ(pendingReboot(before.get()), L"0");
    EXPECT_EQ(watch.Opened(), std::vector<std::string>{Device("attributes/pending_reboot")});

    const ComPtr<IWbemClassObject> stale = queryInterface();
    ASSERT_TRUE(stale);
    ASSERT_EQ(machine_providers::WriteBiosSetting(L"Asset", L"On", L""),
              machine_providers::SetSettingResult::kSuccess);
    tree.WriteAttribute(Device("attributes/pending_reboot"), "1");
    EXPECT_EQ(pendingReboot(stale.get()), L"<none>");
    EXPECT_EQ(pendingReboot(before.get()), L"0") << "read before the write";
    const ComPtr<IWbemClassObject> after = queryInterface();
    ASSERT_TRUE(after);
    EXPECT_EQ(pendingReboot(after.get()), L"1");
}

TEST_F(DeviceStateReadsTest, AFileRewrittenByOthersIsReadAgain) {
    ASSERT_TRUE(QueryCellkeeper());
    tree.WriteAttribute(Device("attributes/Cellkeeper/current_value"), "On, changed");
    const ComPtr<IWbemClassObject> after = QueryCellkeeper();
    ASSERT_TRUE(after);
    EXPECT_EQ(PropertyText(after.get(), L"CurrentValue"), L"On, changed");
}

}  // namespace
