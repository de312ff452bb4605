// What only a Linux file system shows: failures that only the kernel can give (the value file is
// a real kernel file behind a link), and folder names that differ in letter case alone.
#include "platform/machine/firmware_attribute_write.h"
#include "support/machine_tree.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

using ::PrintTo;

using machine::SetSettingResult;

struct KernelFileCase {
    const char* name;
    const char* target;
    SetSettingResult result;
};

class KernelRefusalTest : public testing::TestWithParam<KernelFileCase> {};

TEST_P(KernelRefusalTest, ReportsWhatTheKernelSaid) {
    const std::filesystem::path target = GetParam().target;
    ASSERT_TRUE(std::filesystem::exists(target)) << target << " is needed for this test";
    MachineTree tree;
    const std::string setting = "sys/class/firmware-attributes/vantrel-wmi/attributes/Asset/";
    tree.WriteAttribute(setting + "type", "string");
    std::filesystem::create_symlink(target, tree.Path(setting + "current_value"));
    EXPECT_EQ(machine::WriteBiosSetting(L"Asset", L"new", L""), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KernelRefusalTest,
    testing::Values(
        // A read-only sysfs attribute refuses writers with EACCES, root included.
        KernelFileCase{"ReadOnlySysfsAttribute", "/sys/devices/system/cpu/online",
                       SetSettingResult::kAccessDenied},
        // Every write to /dev/full fails with ENOSPC.
        KernelFileCase{"WriteFails", "/dev/full", SetSettingResult::kIoError}),
    CaseName());

// The setting query matches names without regard to the letter case of a to z; the write finds
// the same folder, whatever case the caller used.
TEST(SettingFolderTest, WriteFindsTheFolderThatTheQueryFinds) {
    MachineTree tree;
    const std::string attributes = "sys/class/firmware-attributes/vantrel-wmi/attributes/";
    tree.WriteAttribute(attributes + "cellkeeper/type", "string");
    tree.WriteAttribute(attributes + "cellkeeper/current_value", "old");
    EXPECT_EQ(machine::WriteBiosSetting(L"Cellkeeper", L"new", L""), SetSettingResult::kSuccess);
    EXPECT_EQ(tree.ReadFile(attributes + "cellkeeper/current_value"), "new");
    EXPECT_FALSE(std::filesystem::exists(tree.Path(attributes + "Cellkeeper")));

    // Of two folders that match, the first in name order, as the query lists them.
    tree.WriteAttribute(attributes + "Cellkeeper/type", "string");
    tree.WriteAttribute(attributes + "Cellkeeper/current_value", "upper");
    EXPECT_EQ(machine::WriteBiosSetting(L"CELLKEEPER", L"newer", L""), SetSettingResult::kSuccess);
    EXPECT_EQ(tree.ReadFile(attributes + "Cellkeeper/current_value"), "newer");
    EXPECT_EQ(tree.ReadFile(attributes + "cellkeeper/current_value"), "new");
}

}  // namespace
