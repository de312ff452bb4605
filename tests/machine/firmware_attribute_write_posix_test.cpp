// Failures that only the kernel can give: the value file is a real kernel file behind a link.
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
    const std::string setting = "sys/class/firmware-attributes/dev/attributes/Asset/";
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

}  // namespace
