#include "machine_providers/firmware_attributes.h"
#include "support/machine_tree.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

using ::PrintTo;

using Choices = std::vector<std::string>;

struct SplitCase {
    const char* name;
    const char* text = "";
    Choices choices = {};
};

class PossibleValuesTest : public testing::TestWithParam<SplitCase> {};

TEST_P(PossibleValuesTest, SplitsOnTheDriversSeparator) {
    EXPECT_EQ(machine_providers::SplitPossibleValues(GetParam().text), GetParam().choices);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PossibleValuesTest,
    testing::Values(
        SplitCase{
            .name = "Semicolons", .text = "Disabled;Enabled", .choices = {"Disabled", "Enabled"}},
        SplitCase{.name = "TrailingSemicolon",
                  .text = "Disabled;Enabled;",
                  .choices = {"Disabled", "Enabled"}},
        SplitCase{.name = "Commas", .text = "Linux,Windows 10", .choices = {"Linux", "Windows 10"}},
        SplitCase{.name = "SemicolonWinsOverComma", .text = "A,B;C", .choices = {"A,B", "C"}},
        SplitCase{.name = "Single", .text = "Only", .choices = {"Only"}},
        SplitCase{.name = "EmptyPiecesDropped", .text = ";;A;;B;", .choices = {"A", "B"}},
        SplitCase{.name = "Empty", .text = "", .choices = {}}),
    CaseName());

struct FormatCase {
    const char* name;
    Choices choices = {};
    const char* current = "";
    const char* value = "";
};

class EnumerationValueTest : public testing::TestWithParam<FormatCase> {};

TEST_P(EnumerationValueTest, MarksTheCurrentChoice) {
    EXPECT_EQ(machine_providers::FormatEnumerationValue(GetParam().choices, GetParam().current),
              GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EnumerationValueTest,
    testing::Values(
        FormatCase{.name = "First",
                   .choices = {"Enable", "Disable"},
                   .current = "Enable",
                   .value = "*Enable,Disable"},
        FormatCase{.name = "Last",
                   .choices = {"Enable", "Disable"},
                   .current = "Disable",
                   .value = "Enable,*Disable"},
        FormatCase{.name = "CaseIgnored",
                   .choices = {"Enable", "Disable"},
                   .current = "ENABLE",
                   .value = "*Enable,Disable"},
        FormatCase{.name = "NotAChoice",
                   .choices = {"Enable", "Disable"},
                   .current = "Other",
                   .value = "Enable,Disable"},
        FormatCase{
            .name = "OnlyFirstMatchMarked", .choices = {"A", "a"}, .current = "a", .value = "*A,a"},
        FormatCase{.name = "PrefixIsNoMatch",
                   .choices = {"Enabled"},
                   .current = "Enable",
                   .value = "Enabled"},
        FormatCase{.name = "NoChoices", .choices = {}, .current = "Enable", .value = ""}),
    CaseName());

class SettingTreeTest : public testing::Test {
  protected:
    void Setting(const std::string& name, const char* type, const char* current,
                 const char* possible) {
        const std::string base =
            "sys/class/firmware-attributes/vantrel-wmi/attributes/" + name + "/";
        if (type) tree.WriteAttribute(base + "type", type);
        if (current) tree.WriteAttribute(base + "current_value", current);
        if (possible) tree.WriteAttribute(base + "possible_values", possible);
        tree.MakeFolder(base);
    }
    std::optional<std::string> ValueOf(const std::string& name) {
        const auto facts = machine_providers::ReadBiosSetting(
            tree.Path("sys/class/firmware-attributes/vantrel-wmi"), name);
        if (!facts) return std::string("<no setting>");
        return machine_providers::SettingValueText(*facts);
    }
    MachineTree tree;
};

TEST_F(SettingTreeTest, ValueDependsOnTheKindOfSetting) {
    Setting("Typed", "enumeration", "Enabled", "Disabled;Enabled;");
    Setting("Untyped", nullptr, "Windows 10", "Linux,Windows 10");
    Setting("UntypedNoChoices", nullptr, "Primary;[Optional:Primary]", "");
    Setting("String", "string", "Asset 1;2", nullptr);
    Setting("IntegerWithChoices", "integer", "5", "1;5");
    Setting("TypedNoChoices", "enumeration", "Enabled", nullptr);
    Setting("Unreadable", "enumeration", nullptr, "A;B");
    EXPECT_EQ(ValueOf("Typed"), "Disabled,*Enabled");
    EXPECT_EQ(ValueOf("Untyped"), "Linux,*Windows 10");
    EXPECT_EQ(ValueOf("UntypedNoChoices"), "Primary;[Optional:Primary]");
    EXPECT_EQ(ValueOf("String"), "Asset 1;2");
    // Only enumerations have choices in the kernel's ABI: a type that says otherwise does not
    // hide the marked choice that the check of the authentication mode looks for.
    EXPECT_EQ(ValueOf("IntegerWithChoices"), "1,*5");
    EXPECT_EQ(ValueOf("TypedNoChoices"), "");
    EXPECT_EQ(ValueOf("Unreadable"), std::nullopt);
    EXPECT_EQ(ValueOf("Missing"), "<no setting>");
}

TEST_F(SettingTreeTest, SettingsAndPasswordsInNameOrder) {
    Setting("b", "string", "2", nullptr);
    Setting("a", "string", "1", nullptr);
    tree.WriteAttribute("sys/class/firmware-attributes/vantrel-wmi/attributes/pending_reboot", "0");
    tree.WriteAttribute(
        "sys/class/firmware-attributes/vantrel-wmi/authentication/Setup Password/is_enabled", "1");
    tree.WriteAttribute(
        "sys/class/firmware-attributes/vantrel-wmi/authentication/Setup Password/encodings",
        "ascii;utf-16;");
    tree.WriteAttribute("sys/class/firmware-attributes/vantrel-wmi/authentication/Admin/is_enabled",
                        "0");
    tree.WriteAttribute("sys/class/firmware-attributes/vantrel-wmi/authentication/Admin/role",
                        "system-mgmt");

    const auto device = machine_providers::VantrelFirmwareDevice();
    ASSERT_TRUE(device.has_value());
    EXPECT_EQ(machine_providers::SettingFolderNames(*device), (std::vector<std::string>{"a", "b"}));

    const auto passwords = machine_providers::ReadBiosPasswords(*device);
    ASSERT_EQ(passwords.size(), 2u);
    EXPECT_EQ(passwords[0].name, "Admin");
    EXPECT_EQ(passwords[0].role, "system-mgmt");
    EXPECT_EQ(passwords[0].encodings, std::nullopt);
    EXPECT_EQ(passwords[1].name, "Setup Password");
    EXPECT_EQ(passwords[1].role, std::nullopt);
    EXPECT_EQ(passwords[1].isEnabled, "1");
    EXPECT_EQ(machine_providers::SplitEncodings(*passwords[1].encodings),
              (Choices{"ascii", "utf-16"}));
}

TEST(FirmwareAttributesTest, OnlyVantrelsDeviceIsOurs) {
    MachineTree tree;
    EXPECT_FALSE(machine_providers::VantrelFirmwareDevice().has_value());
    tree.MakeFolder("sys/class/firmware-attributes/dell-wmi-sysman/attributes");
    tree.MakeFolder("sys/class/firmware-attributes/thinklmi/attributes");
    EXPECT_FALSE(machine_providers::VantrelFirmwareDevice().has_value());
    tree.WriteFile("sys/class/firmware-attributes/vantrel-wmi", "not a folder");
    EXPECT_FALSE(machine_providers::VantrelFirmwareDevice().has_value());
    std::filesystem::remove(tree.Path("sys/class/firmware-attributes/vantrel-wmi"));
    tree.MakeFolder("sys/class/firmware-attributes/vantrel-wmi");
    EXPECT_EQ(machine_providers::VantrelFirmwareDevice(),
              tree.Path("sys/class/firmware-attributes/vantrel-wmi"));
}

struct RoleCase {
    const char* name;
    const char* folder = "";
    std::optional<std::string> role = std::nullopt;
    const char* instanceName = "";
};

class PasswordRoleTest : public testing::TestWithParam<RoleCase> {};

TEST_P(PasswordRoleTest, NamesTheInstanceAfterTheRole) {
    machine_providers::BiosPasswordFacts password;
    password.name = GetParam().folder;
    password.role = GetParam().role;
    EXPECT_EQ(password.InstanceName(), GetParam().instanceName);
}

INSTANTIATE_TEST_SUITE_P(Cases, PasswordRoleTest,
                         testing::Values(RoleCase{.name = "BiosAdmin",
                                                  .folder = "Admin",
                                                  .role = "bios-admin",
                                                  .instanceName = "Setup Password"},
                                         RoleCase{.name = "PowerOn",
                                                  .folder = "System",
                                                  .role = "power-on",
                                                  .instanceName = "Power-On Password"},
                                         RoleCase{.name = "PowerOnInTheSetupFolder",
                                                  .folder = "Setup Password",
                                                  .role = "power-on",
                                                  .instanceName = "Power-On Password"},
                                         RoleCase{.name = "OtherRole",
                                                  .folder = "SMP",
                                                  .role = "system-mgmt",
                                                  .instanceName = "SMP"},
                                         RoleCase{.name = "RoleIsCaseSensitive",
                                                  .folder = "Admin",
                                                  .role = "BIOS-ADMIN",
                                                  .instanceName = "Admin"},
                                         RoleCase{.name = "NoRoleFile",
                                                  .folder = "Setup Password",
                                                  .role = std::nullopt,
                                                  .instanceName = "Setup Password"},
                                         RoleCase{.name = "NoRoleFileOtherName",
                                                  .folder = "Admin",
                                                  .role = std::nullopt,
                                                  .instanceName = "Admin"}),
                         CaseName());

TEST(FirmwareAttributesTest, SetupPasswordIsTheFirstOfItsName) {
    MachineTree tree;
    const std::string base = "sys/class/firmware-attributes/vantrel-wmi/authentication/";
    tree.WriteAttribute(base + "Admin/role", "bios-admin");
    tree.WriteAttribute(base + "Admin/is_enabled", "1");
    tree.WriteAttribute(base + "Power/role", "power-on");
    tree.WriteAttribute(base + "Power/is_enabled", "1");
    const auto device = machine_providers::VantrelFirmwareDevice();
    ASSERT_TRUE(device.has_value());
    const auto setup = machine_providers::FindSetupPassword(*device);
    ASSERT_TRUE(setup.has_value());
    EXPECT_EQ(setup->name, "Admin");
    std::filesystem::remove_all(tree.Path(base + "Admin"));
    EXPECT_FALSE(machine_providers::FindSetupPassword(*device).has_value());
}

}  // namespace
