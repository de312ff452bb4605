// The vendor BIOS provider through IWbemServices, in the order the tool's BIOS client calls it.
#include "machine_providers/firmware_attribute_write.h"
#include "machine_providers/providers.h"
#include "platform/owners.h"
#include "platform/platform.h"
#include "platform/wbem_status.h"
#include "support/machine_tree.h"
#include "support/wbem_reading.h"
#include "wmi_service/bstr.h"
#include "wmi_service/variant.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

using ::PrintTo;

using wmi_service::CopyBstr;
using wmi_service::Variant;

constexpr const char* kDevice = "sys/class/firmware-attributes/vantrel-wmi/";
constexpr const wchar_t* kInterface = L"Vantrel_BIOSSettingInterface";

using Objects = std::vector<ComPtr<IWbemClassObject>>;

std::optional<std::vector<std::wstring>> Texts(IWbemClassObject* object, const wchar_t* name) {
    const Variant value = GetProperty(object, name);
    if (value.Type() != (VT_ARRAY | VT_BSTR)) return std::nullopt;
    std::vector<std::wstring> texts;
    SAFEARRAY* array = V_ARRAY(value.get());
    LONG upper = -1;
    SafeArrayGetUBound(array, 1, &upper);
    for (LONG i = 0; i <= upper; ++i) {
        UniqueBstr element;
        EXPECT_EQ(SafeArrayGetElement(array, &i, element.put()), S_OK);
        texts.push_back(wmi_service::BstrText(element.get()));
    }
    return texts;
}

class BiosProviderTest : public testing::Test {
  protected:
    void SetUp() override {
        Setting("Cellkeeper", "enumeration", "Maximize my battery duration",
                "Maximize my battery duration;Let Vantrel manage my battery charging;");
        Setting("Enhanced BIOS Authentication Mode", "enumeration", "Disable", "Disable;Enable");
        Setting("Asset", "string", "old", nullptr);
        ASSERT_EQ(machine_providers::CreateVendorBiosServices(services.put()), S_OK);
    }

    void Setting(const std::string& name, const char* type, const char* current,
                 const char* possible) {
        const std::string base = std::string(kDevice) + "attributes/" + name + "/";
        tree.WriteAttribute(base + "type", type);
        tree.WriteAttribute(base + "current_value", current);
        if (possible) tree.WriteAttribute(base + "possible_values", possible);
    }
    void Password(const std::string& name, const char* isEnabled, const char* encodings,
                  const char* role = nullptr) {
        const std::string base = std::string(kDevice) + "authentication/" + name + "/";
        tree.WriteAttribute(base + "is_enabled", isEnabled);
        if (encodings) tree.WriteAttribute(base + "encodings", encodings);
        if (role) tree.WriteAttribute(base + "role", role);
    }

    Objects Query(const std::wstring& wql) { return QueryObjects(services.get(), wql); }
    Objects Instances(const wchar_t* className) {
        ComPtr<IEnumWbemClassObject> enumerator;
        const UniqueBstr name = CopyBstr(className);
        EXPECT_EQ(services->CreateInstanceEnum(
                      name.get(), WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                      /*context=*/nullptr, enumerator.put()),
                  S_OK);
        return enumerator ? DrainEnumerator(enumerator.get()) : Objects();
    }
    Objects SettingNamed(const std::wstring& name) {
        return Query(L"SELECT * FROM Vantrel_BIOSSetting where Name='" + name + L"'");
    }

    // The input object of SetBIOSSetting, spawned from the method's signature.
    ComPtr<IWbemClassObject> InParams() {
        ComPtr<IWbemClassObject> interfaceClass;
        const UniqueBstr className = CopyBstr(kInterface);
        EXPECT_EQ(services->GetObject(className.get(), 0, nullptr, interfaceClass.put(), nullptr),
                  S_OK);
        ComPtr<IWbemClassObject> signature;
        EXPECT_EQ(interfaceClass->GetMethod(L"SetBIOSSetting", 0, signature.put(), nullptr), S_OK);
        ComPtr<IWbemClassObject> in;
        EXPECT_EQ(signature->SpawnInstance(0, in.put()), S_OK);
        return in;
    }
    static void Put(IWbemClassObject* in, const wchar_t* name, const wchar_t* text) {
        Variant value = Variant::String(text);
        EXPECT_EQ(in->Put(name, 0, value.get(), 0), S_OK) << name;
    }
    std::wstring InterfacePath() {
        const Objects interfaces = Instances(kInterface);
        EXPECT_EQ(interfaces.size(), 1u);
        return interfaces.empty() ? L"" : PropertyText(interfaces[0].get(), L"__PATH");
    }
    // ExecMethod's result; `returned` gets "Return" when the call succeeded.
    HRESULT Call(const std::wstring& path, const wchar_t* method, IWbemClassObject* in,
                 std::optional<std::int32_t>& returned) {
        ComPtr<IWbemClassObject> out;
        const UniqueBstr pathText = CopyBstr(path);
        const UniqueBstr methodName = CopyBstr(method);
        const HRESULT hr = services->ExecMethod(pathText.get(), methodName.get(), 0, nullptr, in,
                                                out.put(), nullptr);
        returned.reset();
        if (hr == S_OK && out) {
            const Variant value = GetProperty(out.get(), L"Return");
            // uint32 travels as VT_I4, as WMI delivers it.
            EXPECT_EQ(value.Type(), VT_I4);
            if (value.Type() == VT_I4) returned = V_I4(value.get());
        }
        return hr;
    }
    std::optional<std::int32_t> SetSetting(const wchar_t* name, const wchar_t* value) {
        const ComPtr<IWbemClassObject> in = InParams();
        if (name) Put(in.get(), L"Name", name);
        if (value) Put(in.get(), L"Value", value);
        Put(in.get(), L"Password", L"<kbd/>");
        std::optional<std::int32_t> returned;
        EXPECT_EQ(Call(InterfacePath(), L"SetBIOSSetting", in.get(), returned), S_OK);
        return returned;
    }

    MachineTree tree;
    ComPtr<IWbemServices> services;
};

TEST_F(BiosProviderTest, SettingQueryGivesValueAndCurrentValue) {
    const Objects found = SettingNamed(L"Cellkeeper");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(PropertyText(found[0].get(), L"Value"),
              L"*Maximize my battery duration,Let Vantrel manage my battery charging");
    EXPECT_EQ(PropertyText(found[0].get(), L"CurrentValue"), L"Maximize my battery duration");
    EXPECT_EQ(PropertyText(found[0].get(), L"Type"), L"enumeration");

    const Objects asset = SettingNamed(L"Asset");
    ASSERT_EQ(asset.size(), 1u);
    EXPECT_EQ(PropertyText(asset[0].get(), L"Value"), L"old");

    EXPECT_TRUE(SettingNamed(L"No Such Setting").empty());
}

TEST_F(BiosProviderTest, UnreadableValuesAreNull) {
    std::filesystem::remove(tree.Path(std::string(kDevice) + "attributes/Asset/current_value"));
    const Objects asset = SettingNamed(L"Asset");
    ASSERT_EQ(asset.size(), 1u);
    EXPECT_EQ(PropertyText(asset[0].get(), L"Value"), L"<NULL>");
    EXPECT_EQ(PropertyText(asset[0].get(), L"CurrentValue"), L"<NULL>");
}

TEST_F(BiosProviderTest, ValueWithANulByteIsNullNotItsPrefix) {
    tree.WriteAttribute(std::string(kDevice) + "attributes/Asset/current_value",
                        std::string("old\0junk", 8));
    const Objects asset = SettingNamed(L"Asset");
    ASSERT_EQ(asset.size(), 1u);
    EXPECT_EQ(PropertyText(asset[0].get(), L"Value"), L"<NULL>");
    EXPECT_EQ(PropertyText(asset[0].get(), L"CurrentValue"), L"<NULL>");
}

TEST_F(BiosProviderTest, SetupPasswordCarriesItsEncodings) {
    EXPECT_TRUE(SettingNamed(L"Setup Password").empty());

    Password("Setup Password", "0", "ascii;utf-16;");
    Objects found = SettingNamed(L"Setup Password");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(Texts(found[0].get(), L"SupportedEncoding"),
              (std::vector<std::wstring>{L"ascii", L"utf-16"}));

    std::filesystem::remove(
        tree.Path(std::string(kDevice) + "authentication/Setup Password/encodings"));
    found = SettingNamed(L"Setup Password");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(GetProperty(found[0].get(), L"SupportedEncoding").Type(), VT_NULL);
}

// A query or a path names its setting in any letter case of a to z, as WMI compares keys;
// other letters are compared as they are.
struct KeyCase {
    const char* name;
    const wchar_t* key = L"";
    const wchar_t* found = nullptr;  // the Name of the one instance found, or nullptr for none
};

class SettingKeyTest : public BiosProviderTest, public testing::WithParamInterface<KeyCase> {};

TEST_P(SettingKeyTest, FindsTheSettingWhateverTheLetterCase) {
    const KeyCase& c = GetParam();
    Setting("\xC3\x9Cn\xC3\xAF Mode", "string", "x", nullptr);  // "Üni Mode" in UTF-8
    Password("Admin", "0", "ascii", "bios-admin");

    const Objects found = SettingNamed(c.key);
    ComPtr<IWbemClassObject> byPath;
    const UniqueBstr path = CopyBstr(std::wstring(L"Vantrel_BIOSSetting.Name=\"") + c.key + L"\"");
    const HRESULT pathResult = services->GetObject(path.get(), 0, nullptr, byPath.put(), nullptr);
    if (!c.found) {
        EXPECT_TRUE(found.empty());
        EXPECT_EQ(pathResult, Hr(WBEM_E_NOT_FOUND));
        return;
    }
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(PropertyText(found[0].get(), L"Name"), c.found);
    ASSERT_EQ(pathResult, S_OK);
    EXPECT_EQ(PropertyText(byPath.get(), L"Name"), c.found);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SettingKeyTest,
    testing::Values(
        KeyCase{.name = "SameCase", .key = L"Cellkeeper", .found = L"Cellkeeper"},
        KeyCase{.name = "OtherCase", .key = L"cELLKEEPER", .found = L"Cellkeeper"},
        KeyCase{
            .name = "NonAsciiName", .key = L"\u00DCn\u00EF Mode", .found = L"\u00DCn\u00EF Mode"},
        KeyCase{.name = "NonAsciiNameOtherAsciiCase",
                .key = L"\u00DCN\u00EF MODE",
                .found = L"\u00DCn\u00EF Mode"},
        KeyCase{
            .name = "NonAsciiLettersKeepTheirCase", .key = L"\u00FCn\u00EF Mode", .found = nullptr},
        KeyCase{
            .name = "SetupPasswordOtherCase", .key = L"SETUP password", .found = L"Setup Password"},
        KeyCase{.name = "Prefix", .key = L"Cell", .found = nullptr}),
    CaseName());

TEST_F(BiosProviderTest, PasswordClassesListEveryPassword) {
    Password("Setup Password", "1", nullptr);
    Password("Admin", "0", nullptr);
    Password("System", "garbage", nullptr);
    for (const wchar_t* className : {L"VantrelBIOS_BIOSPassword", L"Vantrel_BIOSPassword"}) {
        const Objects passwords = Query(std::wstring(L"SELECT * FROM ") + className);
        ASSERT_EQ(passwords.size(), 3u) << className;
        EXPECT_EQ(PropertyText(passwords[0].get(), L"Name"), L"Admin");
        EXPECT_EQ(PropertyText(passwords[1].get(), L"Name"), L"Setup Password");
        const Variant isSet = GetProperty(passwords[1].get(), L"IsSet");
        ASSERT_EQ(isSet.Type(), VT_I4);
        EXPECT_EQ(V_I4(isSet.get()), 1);
        const Variant notSet = GetProperty(passwords[0].get(), L"IsSet");
        ASSERT_EQ(notSet.Type(), VT_I4);
        EXPECT_EQ(V_I4(notSet.get()), 0);
        EXPECT_EQ(GetProperty(passwords[2].get(), L"IsSet").Type(), VT_NULL);
        EXPECT_EQ(Instances(className).size(), 3u);
    }
}

// The kernel names passwords by their role; drivers choose the folder names ("Admin",
// "System", ...).
TEST_F(BiosProviderTest, PasswordsAreNamedByTheirRole) {
    Password("Admin", "1", "utf-16;", "bios-admin");
    Password("System", "1", nullptr, "power-on");
    Password("SMP", "0", nullptr, "system-mgmt");
    const Objects passwords = Query(L"SELECT * FROM VantrelBIOS_BIOSPassword");
    ASSERT_EQ(passwords.size(), 3u);
    EXPECT_EQ(PropertyText(passwords[0].get(), L"Name"), L"Setup Password");
    EXPECT_EQ(PropertyText(passwords[1].get(), L"Name"), L"SMP");
    EXPECT_EQ(PropertyText(passwords[2].get(), L"Name"), L"Power-On Password");
    const Variant isSet = GetProperty(passwords[0].get(), L"IsSet");
    ASSERT_EQ(isSet.Type(), VT_I4);
    EXPECT_EQ(V_I4(isSet.get()), 1);

    // The setup password's encodings come from the bios-admin folder.
    const Objects setup = SettingNamed(L"Setup Password");
    ASSERT_EQ(setup.size(), 1u);
    EXPECT_EQ(Texts(setup[0].get(), L"SupportedEncoding"), (std::vector<std::wstring>{L"utf-16"}));
}

struct SetupFoldersCase {
    const char* name;
    const char* first = "0";   // is_enabled of "Admin"
    const char* second = "0";  // is_enabled of "Supervisor"
    std::int32_t isSet = 0;
};

class SetupPasswordFoldersTest : public BiosProviderTest,
                                 public testing::WithParamInterface<SetupFoldersCase> {};

// Drivers may give the role to several folders: one instance, set when any of them is enabled.
TEST_P(SetupPasswordFoldersTest, AnyEnabledFolderSetsTheOneInstance) {
    Password("Admin", GetParam().first, nullptr, "bios-admin");
    Password("Supervisor", GetParam().second, nullptr, "bios-admin");
    const Objects passwords = Query(L"SELECT * FROM VantrelBIOS_BIOSPassword");
    ASSERT_EQ(passwords.size(), 1u);
    EXPECT_EQ(PropertyText(passwords[0].get(), L"Name"), L"Setup Password");
    const Variant isSet = GetProperty(passwords[0].get(), L"IsSet");
    ASSERT_EQ(isSet.Type(), VT_I4);
    EXPECT_EQ(V_I4(isSet.get()), GetParam().isSet);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, SetupPasswordFoldersTest,
    testing::Values(
        SetupFoldersCase{.name = "NoneOn", .first = "0", .second = "0", .isSet = 0},
        SetupFoldersCase{.name = "FirstOn", .first = "1", .second = "0", .isSet = 1},
        SetupFoldersCase{.name = "SecondOn", .first = "0", .second = "1", .isSet = 1},
        SetupFoldersCase{.name = "FirstUnreadable", .first = "x", .second = "1", .isSet = 1},
        SetupFoldersCase{.name = "SecondUnreadable", .first = "0", .second = "x", .isSet = 0}),
    CaseName());

TEST_F(BiosProviderTest, PowerOnPasswordIsNoSetupPassword) {
    Password("Setup Password", "1", "ascii;", "power-on");
    const Objects passwords = Query(L"SELECT * FROM VantrelBIOS_BIOSPassword");
    ASSERT_EQ(passwords.size(), 1u);
    EXPECT_EQ(PropertyText(passwords[0].get(), L"Name"), L"Power-On Password");
    EXPECT_TRUE(SettingNamed(L"Setup Password").empty());
}

TEST_F(BiosProviderTest, NoPasswordsNoPasswordInstances) {
    EXPECT_TRUE(Instances(L"Vantrel_BIOSPassword").empty());
    EXPECT_TRUE(Query(L"SELECT * FROM VantrelBIOS_BIOSPassword").empty());
}

TEST_F(BiosProviderTest, SetBiosSettingWritesAndTheNextQueryShowsIt) {
    EXPECT_EQ(SetSetting(L"Cellkeeper", L"Let Vantrel manage my battery charging"), 0);
    EXPECT_EQ(tree.ReadFile(std::string(kDevice) + "attributes/Cellkeeper/current_value"),
              "Let Vantrel manage my battery charging");
    const Objects found = SettingNamed(L"Cellkeeper");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(PropertyText(found[0].get(), L"CurrentValue"),
              L"Let Vantrel manage my battery charging");
    EXPECT_EQ(PropertyText(found[0].get(), L"Value"),
              L"Maximize my battery duration,*Let Vantrel manage my battery charging");
}

struct OutcomeCase {
    const char* name;
    const wchar_t* setting = L"";
    const wchar_t* value = L"";
    bool valueFileIsFolder = false;
    std::int32_t returned = 0;
};

class SetBiosSettingOutcomeTest : public BiosProviderTest,
                                  public testing::WithParamInterface<OutcomeCase> {};

TEST_P(SetBiosSettingOutcomeTest, ReturnsTheDocumentedCode) {
    const OutcomeCase& c = GetParam();
    if (c.valueFileIsFolder) {
        const std::string file = std::string(kDevice) + "attributes/Asset/current_value";
        std::filesystem::remove(tree.Path(file));
        tree.MakeFolder(file);
    }
    EXPECT_EQ(SetSetting(c.setting, c.value), c.returned);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SetBiosSettingOutcomeTest,
    testing::Values(
        OutcomeCase{.name = "Accepted", .setting = L"Asset", .value = L"new", .returned = 0},
        OutcomeCase{.name = "UnknownSetting", .setting = L"Nope", .value = L"x", .returned = 1},
        OutcomeCase{.name = "ValueRefused",
                    .setting = L"Cellkeeper",
                    .value = L"Charge forever",
                    .returned = 2},
        OutcomeCase{.name = "AccessDenied",
                    .setting = L"Asset",
                    .value = L"new",
                    .valueFileIsFolder = true,
                    .returned = 3},
        OutcomeCase{.name = "MissingValue", .setting = L"Asset", .value = nullptr, .returned = 5},
        OutcomeCase{.name = "MissingName", .setting = nullptr, .value = L"x", .returned = 5}),
    CaseName());

TEST_F(BiosProviderTest, MethodCallOnTheClassPathWorksToo) {
    const ComPtr<IWbemClassObject> in = InParams();
    Put(in.get(), L"Name", L"Asset");
    Put(in.get(), L"Value", L"via class");
    std::optional<std::int32_t> returned;
    EXPECT_EQ(Call(kInterface, L"SetBIOSSetting", in.get(), returned), S_OK);
    EXPECT_EQ(returned, 0);
    EXPECT_EQ(tree.ReadFile(std::string(kDevice) + "attributes/Asset/current_value"), "via class");
}

TEST_F(BiosProviderTest, BadCallsFailWithoutWriting) {
    const ComPtr<IWbemClassObject> in = InParams();
    Put(in.get(), L"Name", L"Asset");
    Put(in.get(), L"Value", L"new");
    std::optional<std::int32_t> returned;
    EXPECT_EQ(Call(InterfacePath(), L"GetBIOSSetting", in.get(), returned),
              Hr(WBEM_E_INVALID_METHOD));
    EXPECT_EQ(Call(InterfacePath(), L"SetBIOSSetting", nullptr, returned),
              Hr(WBEM_E_INVALID_METHOD_PARAMETERS));
    EXPECT_EQ(Call(L"Vantrel_BIOSSetting", L"SetBIOSSetting", in.get(), returned),
              Hr(WBEM_E_INVALID_METHOD));
    EXPECT_EQ(Call(L"Vantrel_BIOSSettingInterface.InstanceName=\"other\"", L"SetBIOSSetting",
                   in.get(), returned),
              Hr(WBEM_E_NOT_FOUND));
    EXPECT_EQ(tree.ReadFile(std::string(kDevice) + "attributes/Asset/current_value"), "old\n");
}

TEST(VendorBiosNamespaceTest, OnlyVantrelsDeviceMakesTheNamespace) {
    MachineTree tree;
    ComPtr<IWbemServices> services;
    EXPECT_EQ(machine_providers::CreateVendorBiosServices(services.put()),
              Hr(WBEM_E_INVALID_NAMESPACE));
    EXPECT_FALSE(services);
    // Other makers' devices are their firmware, not Vantrel's provider.
    const std::filesystem::path fixtures = SharedFixturesFolder() / "firmware-attributes";
    tree.CopyTree(fixtures / "dell-xps13-9310" / "dell-wmi-sysman",
                  "sys/class/firmware-attributes/dell-wmi-sysman");
    tree.CopyTree(fixtures / "lenovo-p620-6.3" / "thinklmi",
                  "sys/class/firmware-attributes/thinklmi");
    EXPECT_EQ(machine_providers::CreateVendorBiosServices(services.put()),
              Hr(WBEM_E_INVALID_NAMESPACE));
    EXPECT_FALSE(services);
    tree.MakeFolder("sys/class/firmware-attributes/vantrel-wmi");
    EXPECT_EQ(machine_providers::CreateVendorBiosServices(services.put()), S_OK);
}

// Captured trees of real machines read as their drivers meant them.
struct FixtureCase {
    const char* name;
    const char* machine = "";
    const char* device = "";
    const wchar_t* setting = L"";
    const wchar_t* currentValue = L"";
    const wchar_t* value = L"";
};

class RealMachineTreeTest : public testing::TestWithParam<FixtureCase> {};

TEST_P(RealMachineTreeTest, ReadsTheSetting) {
    const FixtureCase& c = GetParam();
    MachineTree tree;
    // Laid out as Vantrel's device: only the value formats of real drivers matter here.
    tree.CopyTree(SharedFixturesFolder() / "firmware-attributes" / c.machine / c.device,
                  "sys/class/firmware-attributes/vantrel-wmi");
    ComPtr<IWbemServices> services;
    ASSERT_EQ(machine_providers::CreateVendorBiosServices(services.put()), S_OK);
    const Objects found = QueryObjects(
        services.get(),
        std::wstring(L"SELECT * FROM Vantrel_BIOSSetting where Name='") + c.setting + L"'");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(PropertyText(found[0].get(), L"CurrentValue"), c.currentValue);
    EXPECT_EQ(PropertyText(found[0].get(), L"Value"), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RealMachineTreeTest,
    testing::Values(FixtureCase{.name = "DellEnumeration",
                                .machine = "dell-xps13-9310",
                                .device = "dell-wmi-sysman",
                                .setting = L"PrimaryBattChargeCfg",
                                .currentValue = L"Adaptive",
                                .value = L"*Adaptive,Standard,Express,PrimAcUse,Custom"},
                    FixtureCase{.name = "DellString",
                                .machine = "dell-xps13-9310",
                                .device = "dell-wmi-sysman",
                                .setting = L"SvcTag",
                                .currentValue = L"8RQ19C3",
                                .value = L"8RQ19C3"},
                    FixtureCase{.name = "DellInteger",
                                .machine = "dell-xps13-9310",
                                .device = "dell-wmi-sysman",
                                .setting = L"CustomChargeStop",
                                .currentValue = L"90",
                                .value = L"90"},
                    FixtureCase{.name = "ThinkUntypedCommas",
                                .machine = "lenovo-p14s-gen1",
                                .device = "thinklmi",
                                .setting = L"SleepState",
                                .currentValue = L"Windows 10",
                                .value = L"Linux,*Windows 10"},
                    FixtureCase{.name = "ThinkOldKernelNoChoices",
                                .machine = "lenovo-p620",
                                .device = "thinklmi",
                                .setting = L"AMDMemoryGuard",
                                .currentValue = L"Disable;[Optional:Disable,Enable]",
                                .value = L"Disable;[Optional:Disable,Enable]"},
                    FixtureCase{.name = "ThinkEnumeration",
                                .machine = "lenovo-p620-6.3",
                                .device = "thinklmi",
                                .setting = L"StartupSequence",
                                .currentValue = L"Primary",
                                .value = L"*Primary,Automatic"},
                    FixtureCase{.name = "ThinkString",
                                .machine = "lenovo-p620-6.3",
                                .device = "thinklmi",
                                .setting = L"AlarmDate",
                                .currentValue = L"[01/01/2019][Status:ShowOnly]",
                                .value = L"[01/01/2019][Status:ShowOnly]"}),
    CaseName());

TEST(RealMachineTreeWriteTest, EnumerationWriteOnACapturedTree) {
    MachineTree tree;
    tree.CopyTree(
        SharedFixturesFolder() / "firmware-attributes" / "dell-xps13-9310" / "dell-wmi-sysman",
        "sys/class/firmware-attributes/vantrel-wmi");
    // The copy is ours to write; the captured tree stays as it was.
    EXPECT_EQ(machine_providers::WriteBiosSetting(L"PrimaryBattChargeCfg", L"standard", L""),
              machine_providers::SetSettingResult::kSuccess);
    EXPECT_EQ(tree.ReadFile("sys/class/firmware-attributes/vantrel-wmi/attributes/"
                            "PrimaryBattChargeCfg/current_value"),
              "Standard");
    EXPECT_EQ(machine_providers::WriteBiosSetting(L"PrimaryBattChargeCfg", L"Turbo", L""),
              machine_providers::SetSettingResult::kValueRefused);
}

}  // namespace
