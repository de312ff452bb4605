#include "platform/machine/firmware_attributes.h"
#include "support/machine_tree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using ::PrintTo;

using Choices = std::vector<std::string>;

struct SplitCase {
    const char* name;
    const char* text;
    Choices choices;
};

class PossibleValuesTest : public testing::TestWithParam<SplitCase> {};

TEST_P(PossibleValuesTest, SplitsOnTheDriversSeparator) {
    EXPECT_EQ(machine::SplitPossibleValues(GetParam().text), GetParam().choices);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PossibleValuesTest,
    testing::Values(SplitCase{"Semicolons", "Disabled;Enabled", {"Disabled", "Enabled"}},
                    SplitCase{"TrailingSemicolon", "Disabled;Enabled;", {"Disabled", "Enabled"}},
                    SplitCase{"Commas", "Linux,Windows 10", {"Linux", "Windows 10"}},
                    SplitCase{"SemicolonWinsOverComma", "A,B;C", {"A,B", "C"}},
                    SplitCase{"Single", "Only", {"Only"}},
                    SplitCase{"EmptyPiecesDropped", ";;A;;B;", {"A", "B"}},
                    SplitCase{"Empty", "", {}}),
    CaseName());

struct FormatCase {
    const char* name;
    Choices choices;
    const char* current;
    const char* value;
};

class EnumerationValueTest : public testing::TestWithParam<FormatCase> {};

TEST_P(EnumerationValueTest, MarksTheCurrentChoice) {
    EXPECT_EQ(machine::FormatEnumerationValue(GetParam().choices, GetParam().current),
              GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EnumerationValueTest,
    testing::Values(FormatCase{"First", {"Enable", "Disable"}, "Enable", "*Enable,Disable"},
                    FormatCase{"Last", {"Enable", "Disable"}, "Disable", "Enable,*Disable"},
                    FormatCase{"CaseIgnored", {"Enable", "Disable"}, "ENABLE", "*Enable,Disable"},
                    FormatCase{"NotAChoice", {"Enable", "Disable"}, "Other", "Enable,Disable"},
                    FormatCase{"OnlyFirstMatchMarked", {"A", "a"}, "a", "*A,a"},
                    FormatCase{"PrefixIsNoMatch", {"Enabled"}, "Enable", "Enabled"},
                    FormatCase{"NoChoices", {}, "Enable", ""}),
    CaseName());

class SettingTreeTest : public testing::Test {
  protected:
    void Setting(const std::string& name, const char* type, const char* current,
                 const char* possible) {
        const std::string base = "sys/class/firmware-attributes/dev/attributes/" + name + "/";
        if (type) tree.WriteAttribute(base + "type", type);
        if (current) tree.WriteAttribute(base + "current_value", current);
        if (possible) tree.WriteAttribute(base + "possible_values", possible);
        tree.MakeFolder(base);
    }
    std::optional<std::string> ValueOf(const std::string& name) {
        const auto facts =
            machine::ReadBiosSetting(tree.Path("sys/class/firmware-attributes/dev"), name);
        if (!facts) return std::string("<no setting>");
        return machine::SettingValueText(*facts);
    }
    MachineTree tree;
};

TEST_F(SettingTreeTest, ValueDependsOnTheKindOfSetting) {
    Setting("Typed", "enumeration", "Enabled", "Disabled;Enabled;");
    Setting("Untyped", nullptr, "Windows 10", "Linux,Windows 10");
    Setting("UntypedNoChoices", nullptr, "Primary;[Optional:Primary]", "");
    Setting("String", "string", "Asset 1;2", nullptr);
    Setting("IntegerWithChoices", "integer", "5", "1;5");
    Setting("Unreadable", "enumeration", nullptr, "A;B");
    EXPECT_EQ(ValueOf("Typed"), "Disabled,*Enabled");
    EXPECT_EQ(ValueOf("Untyped"), "Linux,*Windows 10");
    EXPECT_EQ(ValueOf("UntypedNoChoices"), "Primary;[Optional:Primary]");
    EXPECT_EQ(ValueOf("String"), "Asset 1;2");
    EXPECT_EQ(ValueOf("IntegerWithChoices"), "5");
    EXPECT_EQ(ValueOf("Unreadable"), std::nullopt);
    EXPECT_EQ(ValueOf("Missing"), "<no setting>");
}

TEST_F(SettingTreeTest, DevicesSettingsAndPasswordsInNameOrder) {
    Setting("b", "string", "2", nullptr);
    Setting("a", "string", "1", nullptr);
    tree.WriteAttribute("sys/class/firmware-attributes/dev/attributes/pending_reboot", "0");
    tree.WriteAttribute(
        "sys/class/firmware-attributes/dev/authentication/Setup Password/is_enabled", "1");
    tree.WriteAttribute("sys/class/firmware-attributes/dev/authentication/Setup Password/encodings",
                        "ascii;utf-16;");
    tree.WriteAttribute("sys/class/firmware-attributes/dev/authentication/Admin/is_enabled", "0");
    tree.MakeFolder("sys/class/firmware-attributes/another");

    const auto devices = machine::ListFirmwareAttributeDevices();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].filename(), "another");
    const auto settings = machine::ReadBiosSettings(devices[1]);
    ASSERT_EQ(settings.size(), 2u);
    EXPECT_EQ(settings[0].name, "a");
    EXPECT_EQ(settings[1].name, "b");

    const auto passwords = machine::ReadBiosPasswords(devices[1]);
    ASSERT_EQ(passwords.size(), 2u);
    EXPECT_EQ(passwords[0].name, "Admin");
    EXPECT_EQ(passwords[0].encodings, std::nullopt);
    EXPECT_EQ(passwords[1].name, "Setup Password");
    EXPECT_EQ(passwords[1].isEnabled, "1");
    EXPECT_EQ(machine::SplitEncodings(*passwords[1].encodings), (Choices{"ascii", "utf-16"}));
}

TEST(FirmwareAttributesTest, NoClassFolderNoDevices) {
    MachineTree tree;
    EXPECT_TRUE(machine::ListFirmwareAttributeDevices().empty());
    tree.WriteFile("sys/class/firmware-attributes/not-a-device", "x");
    EXPECT_TRUE(machine::ListFirmwareAttributeDevices().empty());
}

}  // namespace
