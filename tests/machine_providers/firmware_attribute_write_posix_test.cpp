// What only a Linux file system shows. What lies at a setting's value file decides how it is
// written: a link or anything but a regular file is refused, wherever it points; an ordinary
// file is replaced whole. Folder names that differ in letter case alone.
#include "machine_providers/firmware_attribute_write.h"
#include "support/machine_tree.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using ::PrintTo;

using machine_providers::SetSettingResult;

constexpr const char* kSetting = "sys/class/firmware-attributes/vantrel-wmi/attributes/Asset/";
constexpr const char* kValue =
    "sys/class/firmware-attributes/vantrel-wmi/attributes/Asset/current_value";

enum class Planted { kLinkOutside, kLinkToKernelFile, kDanglingLink, kFifo };

struct PlantedCase {
    const char* name;
    Planted kind = Planted::kLinkOutside;
    SetSettingResult result = SetSettingResult::kSuccess;
};

class PlantedValueFileTest : public testing::TestWithParam<PlantedCase> {
  protected:
    void SetUp() override { tree_.WriteAttribute(std::string(kSetting) + "type", "string"); }
    MachineTree tree_;
};

// A link used to be written through, to a file outside the machine or to a kernel file.
TEST_P(PlantedValueFileTest, IsRefusedAndNothingIsWrittenThroughIt) {
    tree_.WriteFile("outside", "kept");
    const std::filesystem::path value = tree_.Path(kValue);
    switch (GetParam().kind) {
        case Planted::kLinkOutside:
            std::filesystem::create_symlink(tree_.Path("outside"), value);
            break;
        case Planted::kLinkToKernelFile:
            // Every write to /dev/full fails with ENOSPC; a refusal comes before any write.
            std::filesystem::create_symlink("/dev/full", value);
            break;
        case Planted::kDanglingLink:
            std::filesystem::create_symlink(tree_.Path("missing"), value);
            break;
        case Planted::kFifo:
            ASSERT_EQ(mkfifo(value.c_str(), 0600), 0);
            break;
    }
    EXPECT_EQ(machine_providers::WriteBiosSetting(L"Asset", L"new", L""), GetParam().result);
    EXPECT_EQ(tree_.ReadFile("outside"), "kept");
    EXPECT_FALSE(std::filesystem::exists(tree_.Path("missing")));
    EXPECT_NE(std::filesystem::symlink_status(value).type(), std::filesystem::file_type::regular);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, PlantedValueFileTest,
    testing::Values(PlantedCase{.name = "LinkOutside",
                                .kind = Planted::kLinkOutside,
                                .result = SetSettingResult::kAccessDenied},
                    PlantedCase{.name = "LinkToKernelFile",
                                .kind = Planted::kLinkToKernelFile,
                                .result = SetSettingResult::kAccessDenied},
                    // Nothing there to write: the same answer as a setting without a value file.
                    PlantedCase{.name = "DanglingLink",
                                .kind = Planted::kDanglingLink,
                                .result = SetSettingResult::kNoSuchSetting},
                    PlantedCase{.name = "Fifo",
                                .kind = Planted::kFifo,
                                .result = SetSettingResult::kAccessDenied}),
    CaseName());

// On an ordinary file a kill between truncating and writing used to leave an empty value; the
// new value now arrives as a new file, so the old one stays whole until the rename.
TEST(OrdinaryValueFileTest, IsReplacedByANewFileWithTheSameMode) {
    MachineTree tree;
    tree.WriteAttribute(std::string(kSetting) + "type", "string");
    tree.WriteAttribute(kValue, "a much longer old value");
    const std::filesystem::path value = tree.Path(kValue);
    ASSERT_EQ(chmod(value.c_str(), 0640), 0);
    // A second name for the old file shows whether it was rewritten in place.
    std::filesystem::create_hard_link(value, tree.Path("old"));

    EXPECT_EQ(machine_providers::WriteBiosSetting(L"Asset", L"new", L""),
              SetSettingResult::kSuccess);
    EXPECT_EQ(tree.ReadFile(kValue), "new");
    EXPECT_EQ(tree.ReadFile("old"), "a much longer old value\n");
    struct stat status {};
    ASSERT_EQ(stat(value.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(tree.Path(kSetting))) {
        left.push_back(entry.path().filename().string());
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"current_value", "type"}));
}

// A kill between writing the new value file and renaming it leaves that file behind; the next
// writer of the setting removes it, and only what belongs to that setting.
TEST(OrdinaryValueFileTest, NextWriterRemovesLeftoversOfItsSetting) {
    MachineTree tree;
    tree.WriteAttribute(std::string(kSetting) + "type", "string");
    tree.WriteAttribute(kValue, "old");
    tree.WriteFile(std::string(kValue) + ".tmp-AbCdEf", "ne");
    tree.WriteFile(std::string(kSetting) + "current_value.tmp-AbCdEfG", "other");
    tree.WriteFile(std::string(kSetting) + "type.tmp-AbCdEf", "other");

    EXPECT_EQ(machine_providers::WriteBiosSetting(L"Asset", L"new", L""),
              SetSettingResult::kSuccess);
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(tree.Path(kSetting))) {
        left.push_back(entry.path().filename().string());
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"current_value", "current_value.tmp-AbCdEfG", "type",
                                              "type.tmp-AbCdEf"}));
}

// The setting query matches names without regard to the letter case of a to z; the write finds
// the same folder, whatever case the caller used.
TEST(SettingFolderTest, WriteFindsTheFolderThatTheQueryFinds) {
    MachineTree tree;
    const std::string attributes = "sys/class/firmware-attributes/vantrel-wmi/attributes/";
    tree.WriteAttribute(attributes + "cellkeeper/type", "string");
    tree.WriteAttribute(attributes + "cellkeeper/current_value", "old");
    EXPECT_EQ(machine_providers::WriteBiosSetting(L"Cellkeeper", L"new", L""),
              SetSettingResult::kSuccess);
    EXPECT_EQ(tree.ReadFile(attributes + "cellkeeper/current_value"), "new");
    EXPECT_FALSE(std::filesystem::exists(tree.Path(attributes + "Cellkeeper")));

    // Of two folders that match, the first in name order, as the query lists them.
    tree.WriteAttribute(attributes + "Cellkeeper/type", "string");
    tree.WriteAttribute(attributes + "Cellkeeper/current_value", "upper");
    EXPECT_EQ(machine_providers::WriteBiosSetting(L"CELLKEEPER", L"newer", L""),
              SetSettingResult::kSuccess);
    EXPECT_EQ(tree.ReadFile(attributes + "Cellkeeper/current_value"), "newer");
    EXPECT_EQ(tree.ReadFile(attributes + "cellkeeper/current_value"), "new");
}

}  // namespace
