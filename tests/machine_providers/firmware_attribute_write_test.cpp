#include "machine_providers/firmware_attribute_write.h"
#include "support/machine_tree.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

namespace {

using ::PrintTo;

using machine_providers::SetSettingResult;
using machine_providers::WriteBiosSetting;

constexpr const char* kDevice = "sys/class/firmware-attributes/vantrel-wmi/";

class SetSettingTest : public testing::Test {
  protected:
    void SetUp() override {
        tree.WriteAttribute(Attr("Cellkeeper/type"), "enumeration");
        tree.WriteAttribute(Attr("Cellkeeper/current_value"), "Maximize my battery duration");
        tree.WriteAttribute(Attr("Cellkeeper/possible_values"),
                            "Maximize my battery duration;Let Vantrel manage my battery charging;");
        tree.WriteAttribute(Attr("Asset/type"), "string");
        tree.WriteAttribute(Attr("Asset/current_value"), "old");
    }
    static std::string Attr(const std::string& path) {
        return std::string(kDevice) + "attributes/" + path;
    }
    std::optional<std::string> Current(const std::string& name) {
        return tree.ReadFile(Attr(name + "/current_value"));
    }
    void AddSetupPassword() {
        tree.WriteAttribute(std::string(kDevice) + "authentication/Setup Password/is_enabled", "1");
        tree.WriteFile(std::string(kDevice) + "authentication/Setup Password/current_password", "");
    }
    MachineTree tree;
};

TEST_F(SetSettingTest, AcceptedWriteReplacesTheWholeValue) {
    EXPECT_EQ(WriteBiosSetting(L"Cellkeeper", L"Let Vantrel manage my battery charging", L"<kbd/>"),
              SetSettingResult::kSuccess);
    // Truncated and written once, without a line end, as sysfs expects.
    EXPECT_EQ(Current("Cellkeeper"), "Let Vantrel manage my battery charging");
    EXPECT_EQ(WriteBiosSetting(L"Asset", L"\u00E9", L"<utf-16/>"), SetSettingResult::kSuccess);
    EXPECT_EQ(Current("Asset"), "\xC3\xA9");
}

TEST_F(SetSettingTest, EnumerationTakesItsOwnSpellingOfAChoice) {
    EXPECT_EQ(WriteBiosSetting(L"Cellkeeper", L"LET VANTREL MANAGE MY BATTERY CHARGING", L""),
              SetSettingResult::kSuccess);
    EXPECT_EQ(Current("Cellkeeper"), "Let Vantrel manage my battery charging");
}

struct RefusalCase {
    const char* name;
    const wchar_t* setting = L"";
    const wchar_t* value = L"x";
    const wchar_t* password = L"";
    SetSettingResult result = SetSettingResult::kSuccess;
};

class SetSettingRefusalTest : public SetSettingTest,
                              public testing::WithParamInterface<RefusalCase> {};

TEST_P(SetSettingRefusalTest, RefusesWithoutTouchingTheSetting) {
    const RefusalCase& c = GetParam();
    EXPECT_EQ(WriteBiosSetting(c.setting, c.value, c.password), c.result);
    EXPECT_EQ(Current("Cellkeeper"), "Maximize my battery duration\n");
    EXPECT_EQ(Current("Asset"), "old\n");
}

INSTANTIATE_TEST_SUITE_P(Cases, SetSettingRefusalTest,
                         testing::Values(RefusalCase{.name = "UnknownSetting",
                                                     .setting = L"NoSuchSetting",
                                                     .result = SetSettingResult::kNoSuchSetting},
                                         RefusalCase{.name = "NameLeavesTheFolder",
                                                     .setting = L"../attributes/Asset",
                                                     .result = SetSettingResult::kNoSuchSetting},
                                         RefusalCase{.name = "NameIsDotDot",
                                                     .setting = L"..",
                                                     .result = SetSettingResult::kNoSuchSetting},
                                         RefusalCase{.name = "NotAChoice",
                                                     .setting = L"Cellkeeper",
                                                     .value = L"Charge forever",
                                                     .result = SetSettingResult::kValueRefused},
                                         RefusalCase{.name = "ChoicePrefix",
                                                     .setting = L"Cellkeeper",
                                                     .value = L"Maximize",
                                                     .result = SetSettingResult::kValueRefused},
                                         RefusalCase{.name = "EmptyName",
                                                     .setting = L"",
                                                     .result = SetSettingResult::kInvalidArguments},
                                         RefusalCase{.name = "EmptyValue",
                                                     .setting = L"Asset",
                                                     .value = L"",
                                                     .result = SetSettingResult::kInvalidArguments},
                                         RefusalCase{
                                             .name = "BadKeyboardPassword",
                                             .setting = L"Asset",
                                             .password = L"<kbd/>zz",
                                             .result = SetSettingResult::kInvalidArguments}),
                         CaseName());

TEST_F(SetSettingTest, OverlongValueIsRefused) {
    const std::wstring value(machine_providers::kMaxSettingValueBytes + 1, L'x');
    EXPECT_EQ(WriteBiosSetting(L"Asset", value, L""), SetSettingResult::kValueRefused);
    EXPECT_EQ(Current("Asset"), "old\n");
}

TEST_F(SetSettingTest, ValueFileThatCannotBeWrittenIsAccessDenied) {
    // Permission bits do not stop root; a folder in place of the file fails for everyone.
    std::filesystem::remove(tree.Path(Attr("Asset/current_value")));
    tree.MakeFolder(Attr("Asset/current_value"));
    EXPECT_EQ(WriteBiosSetting(L"Asset", L"new", L""), SetSettingResult::kAccessDenied);
}

TEST_F(SetSettingTest, SettingWithoutValueFileIsNoSetting) {
    std::filesystem::remove(tree.Path(Attr("Asset/current_value")));
    EXPECT_EQ(WriteBiosSetting(L"Asset", L"new", L""), SetSettingResult::kNoSuchSetting);
    EXPECT_FALSE(Current("Asset"));
}

TEST_F(SetSettingTest, NoFirmwareAttributesNoSetting) {
    std::filesystem::remove_all(tree.Path("sys/class/firmware-attributes"));
    EXPECT_EQ(WriteBiosSetting(L"Asset", L"new", L""), SetSettingResult::kNoSuchSetting);
}

TEST_F(SetSettingTest, OtherMakersDevicesAreNeverWritten) {
    const std::string dell = "sys/class/firmware-attributes/dell-wmi-sysman/attributes/Other/";
    tree.WriteAttribute(dell + "type", "string");
    tree.WriteAttribute(dell + "current_value", "old");
    EXPECT_EQ(WriteBiosSetting(L"Other", L"new", L""), SetSettingResult::kNoSuchSetting);
    std::filesystem::remove_all(tree.Path(kDevice));
    EXPECT_EQ(WriteBiosSetting(L"Other", L"new", L""), SetSettingResult::kNoSuchSetting);
    EXPECT_EQ(tree.ReadFile(dell + "current_value"), "old\n");
}

TEST_F(SetSettingTest, PasswordGoesFirstAndIsClearedAfterwards) {
    AddSetupPassword();
    EXPECT_EQ(WriteBiosSetting(L"Asset", L"new", L"<utf-16/>secret"), SetSettingResult::kSuccess);
    EXPECT_EQ(Current("Asset"), "new");
    EXPECT_EQ(
        tree.ReadFile(std::string(kDevice) + "authentication/Setup Password/current_password"),
        "\n");
}

TEST_F(SetSettingTest, RefusedPasswordStopsTheWrite) {
    AddSetupPassword();
    const std::string passwordFile =
        std::string(kDevice) + "authentication/Setup Password/current_password";
    std::filesystem::remove(tree.Path(passwordFile));
    tree.MakeFolder(passwordFile);
    EXPECT_EQ(WriteBiosSetting(L"Asset", L"new", L"<utf-16/>secret"),
              SetSettingResult::kAccessDenied);
    EXPECT_EQ(Current("Asset"), "old\n");
}

TEST_F(SetSettingTest, EmptyPasswordFormsSendNoPassword) {
    AddSetupPassword();
    const std::string passwordFile =
        std::string(kDevice) + "authentication/Setup Password/current_password";
    for (const wchar_t* password : {L"", L"<utf-16/>", L"<kbd/>"}) {
        tree.WriteFile(passwordFile, "untouched");
        EXPECT_EQ(WriteBiosSetting(L"Asset", L"new", password), SetSettingResult::kSuccess);
        EXPECT_EQ(tree.ReadFile(passwordFile), "untouched") << "password " << password;
    }
}

// The kernel names a password by its role; the folder name is the driver's choice.
TEST_F(SetSettingTest, PasswordGoesToTheFolderOfTheBiosAdminRole) {
    const std::string admin = std::string(kDevice) + "authentication/Admin/";
    const std::string system = std::string(kDevice) + "authentication/System/";
    tree.WriteAttribute(admin + "role", "bios-admin");
    tree.WriteAttribute(admin + "is_enabled", "1");
    tree.WriteFile(admin + "current_password", "");
    tree.WriteAttribute(system + "role", "power-on");
    tree.WriteAttribute(system + "is_enabled", "1");
    tree.WriteFile(system + "current_password", "untouched");
    const std::string adminPassword = admin + "current_password";
    std::filesystem::remove(tree.Path(adminPassword));
    tree.MakeFolder(adminPassword);
    // A password the admin folder refuses stops the write: it was sent there.
    EXPECT_EQ(WriteBiosSetting(L"Asset", L"new", L"<utf-16/>secret"),
              SetSettingResult::kAccessDenied);
    std::filesystem::remove(tree.Path(adminPassword));
    tree.WriteFile(adminPassword, "");
    EXPECT_EQ(WriteBiosSetting(L"Asset", L"new", L"<utf-16/>secret"), SetSettingResult::kSuccess);
    EXPECT_EQ(tree.ReadFile(adminPassword), "\n");
    EXPECT_EQ(tree.ReadFile(system + "current_password"), "untouched");
}

struct PasswordCase {
    const char* name;
    const wchar_t* argument = L"";
    bool decodes = true;
    const wchar_t* password = L"";  // as decoded
};

class PasswordArgumentTest : public testing::TestWithParam<PasswordCase> {};

TEST_P(PasswordArgumentTest, DecodesTheArgumentForms) {
    std::wstring password = L"stale";
    EXPECT_EQ(machine_providers::DecodePasswordArgument(GetParam().argument, password),
              GetParam().decodes);
    EXPECT_EQ(password, GetParam().password);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PasswordArgumentTest,
    testing::Values(
        PasswordCase{.name = "Utf16Empty", .argument = L"<utf-16/>"},
        PasswordCase{
            .name = "Utf16Text", .argument = L"<utf-16/>p\u00E4ss", .password = L"p\u00E4ss"},
        PasswordCase{.name = "KeyboardEmpty", .argument = L"<kbd/>"},
        PasswordCase{.name = "KeyboardLetters", .argument = L"<kbd/>6162", .password = L"ab"},
        PasswordCase{.name = "KeyboardPaddedDigit", .argument = L"<kbd/> 961", .password = L"\ta"},
        PasswordCase{.name = "KeyboardOddLength", .argument = L"<kbd/>616", .decodes = false},
        PasswordCase{.name = "KeyboardUpperHex", .argument = L"<kbd/>4A", .decodes = false},
        PasswordCase{.name = "NoPrefix", .argument = L"plain<BEAM/>", .password = L"plain<BEAM/>"},
        PasswordCase{.name = "Empty", .argument = L""}),
    CaseName());

struct ErrnoCase {
    const char* name;
    int error = 0;
    SetSettingResult result = SetSettingResult::kSuccess;
};

class WriteErrorTest : public testing::TestWithParam<ErrnoCase> {};

TEST_P(WriteErrorTest, MapsTheKernelsAnswer) {
    EXPECT_EQ(machine_providers::ResultForWriteError(GetParam().error), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WriteErrorTest,
    testing::Values(
        ErrnoCase{.name = "Accepted", .error = 0, .result = SetSettingResult::kSuccess},
        ErrnoCase{.name = "Einval", .error = EINVAL, .result = SetSettingResult::kValueRefused},
        ErrnoCase{.name = "Eacces", .error = EACCES, .result = SetSettingResult::kAccessDenied},
        ErrnoCase{.name = "Eperm", .error = EPERM, .result = SetSettingResult::kAccessDenied},
        ErrnoCase{.name = "Erofs", .error = EROFS, .result = SetSettingResult::kAccessDenied},
        ErrnoCase{.name = "Enoent", .error = ENOENT, .result = SetSettingResult::kNoSuchSetting},
        ErrnoCase{.name = "Eio", .error = EIO, .result = SetSettingResult::kIoError},
        ErrnoCase{.name = "Enospc", .error = ENOSPC, .result = SetSettingResult::kIoError}),
    CaseName());

}  // namespace
