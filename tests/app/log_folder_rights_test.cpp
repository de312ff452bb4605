// The decision on a log folder's access list, on given entries (both platforms; Wine enforces
// no rights, so real lists are only read, in security_descriptor_windows_test.cpp).
#include "app/log_folder_rights.h"
#include "support/table_case.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr std::uint32_t kAddFile = 0x0002;
constexpr std::uint32_t kReadAndList = 0x001200A9;  // read, list, traverse, read rights
constexpr std::uint32_t kGenericAll = 0x10000000;

struct RightsCase {
    const char* name;
    bool hasAccessList = true;
    std::vector<FolderAccessEntry> entries = {};
    bool othersMayWrite = false;
};
using ::PrintTo;

class RightsTest : public testing::TestWithParam<RightsCase> {};

TEST_P(RightsTest, OnlyTrustedSidsMayWrite) {
    EXPECT_EQ(GivesOthers(GetParam().hasAccessList, GetParam().entries, kFolderWriteRights),
              GetParam().othersMayWrite);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, RightsTest,
    testing::Values(
        RightsCase{.name = "TrustedFullControlOthersRead",
                   .entries = {{.trusted = true, .mask = kGenericAll},
                               {.trusted = false, .mask = kReadAndList}}},
        // ProgramData's "Users may create files", inherited by a folder made there.
        RightsCase{.name = "OthersMayAddAFile",
                   .entries = {{.trusted = true, .mask = kGenericAll},
                               {.trusted = false, .mask = kAddFile}},
                   .othersMayWrite = true},
        RightsCase{.name = "OthersMayAddAFolder",
                   .entries = {{.trusted = false, .mask = 0x0004}},
                   .othersMayWrite = true},
        RightsCase{.name = "OthersMayDeleteEntries",
                   .entries = {{.trusted = false, .mask = 0x0040}},
                   .othersMayWrite = true},
        RightsCase{.name = "OthersMayDelete",
                   .entries = {{.trusted = false, .mask = 0x00010000}},
                   .othersMayWrite = true},
        RightsCase{.name = "OthersMayChangeRights",
                   .entries = {{.trusted = false, .mask = 0x00040000}},
                   .othersMayWrite = true},
        RightsCase{.name = "OthersMayTakeOwnership",
                   .entries = {{.trusted = false, .mask = 0x00080000}},
                   .othersMayWrite = true},
        RightsCase{.name = "OthersGenericWrite",
                   .entries = {{.trusted = false, .mask = 0x40000000}},
                   .othersMayWrite = true},
        RightsCase{.name = "OthersGenericAll",
                   .entries = {{.trusted = false, .mask = kGenericAll}},
                   .othersMayWrite = true},
        // A deny entry only takes rights away: whether it wins depends on the list's order.
        RightsCase{.name = "DenyDoesNotMakeAnAllowSafe",
                   .entries = {{.allows = false, .trusted = false, .mask = kAddFile},
                               {.trusted = false, .mask = kAddFile}},
                   .othersMayWrite = true},
        RightsCase{.name = "DenyAlone", .entries = {{.allows = false, .mask = kGenericAll}}},
        RightsCase{.name = "EmptyList"},
        RightsCase{.name = "NoList", .hasAccessList = false, .othersMayWrite = true}),
    CaseName());

}  // namespace
