#include "machine_providers/capped_reads.h"
#include "base/text.h"
#include "machine_providers/firmware_text.h"
#include "support/machine_tree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using ::PrintTo;

using machine_providers::ReadMachineBytes;
using machine_providers::ReadMachineText;

TEST(MachineFilesTest, TextLosesOnlyItsTrailingLineEnds) {
    MachineTree tree;
    tree.WriteFile("a", "Vantrel\n");
    tree.WriteFile("b", "two\nlines\r\n");
    tree.WriteFile("c", "  padded  \n");
    tree.WriteFile("empty", "");
    EXPECT_EQ(ReadMachineText(tree.Path("a")), "Vantrel");
    EXPECT_EQ(ReadMachineText(tree.Path("b")), "two\nlines");
    EXPECT_EQ(ReadMachineText(tree.Path("c")), "  padded  ");
    EXPECT_EQ(ReadMachineText(tree.Path("empty")), "");
    EXPECT_EQ(ReadMachineBytes(tree.Path("a")), "Vantrel\n");
}

TEST(MachineFilesTest, TextWithANulByteHasNoValueButItsBytesDo) {
    MachineTree tree;
    const std::string bytes("Vantrel\0Evil Corp\n", 18);
    // Not named "nul": Windows reserves that name for its null device.
    tree.WriteFile("vendor", bytes);
    tree.WriteFile("vendor-nul-last", std::string("Vantrel\0\n", 9));
    EXPECT_FALSE(ReadMachineText(tree.Path("vendor")));
    EXPECT_FALSE(ReadMachineText(tree.Path("vendor-nul-last")));
    EXPECT_EQ(ReadMachineBytes(tree.Path("vendor")), bytes);
}

TEST(MachineFilesTest, MissingFolderOrOversizedFileHasNoValue) {
    MachineTree tree;
    tree.MakeFolder("folder");
    tree.WriteFile("at-cap", std::string(machine_providers::kMaxMachineFileBytes, 'x'));
    tree.WriteFile("over-cap", std::string(machine_providers::kMaxMachineFileBytes + 1, 'x'));
    EXPECT_FALSE(ReadMachineText(tree.Path("missing")));
    EXPECT_FALSE(ReadMachineText(tree.Path("folder")));
    ASSERT_TRUE(ReadMachineBytes(tree.Path("at-cap")));
    EXPECT_EQ(ReadMachineBytes(tree.Path("at-cap"))->size(),
              machine_providers::kMaxMachineFileBytes);
    EXPECT_FALSE(ReadMachineBytes(tree.Path("over-cap")));
}

// Sysfs gives a text in one page: a longer one is no attribute the kernel made, and a record of
// it could outgrow the store.
TEST(MachineFilesTest, TextLongerThanAPageHasNoValue) {
    MachineTree tree;
    tree.WriteFile("page", std::string(machine_providers::kMaxMachineTextBytes - 1, 'x') + "\n");
    tree.WriteFile("over-page", std::string(machine_providers::kMaxMachineTextBytes, 'x') + "\n");
    ASSERT_TRUE(ReadMachineText(tree.Path("page")));
    EXPECT_EQ(ReadMachineText(tree.Path("page"))->size(),
              machine_providers::kMaxMachineTextBytes - 1);
    EXPECT_FALSE(ReadMachineText(tree.Path("over-page")));
    EXPECT_TRUE(ReadMachineBytes(tree.Path("over-page")));
}

TEST(MachineFilesTest, ListingsAreSortedAndSubfoldersLeaveFilesOut) {
    MachineTree tree;
    tree.MakeFolder("list/b");
    tree.MakeFolder("list/A");
    tree.MakeFolder("list/a b");
    tree.WriteFile("list/c", "file");
    EXPECT_EQ(machine_providers::ListFolder(tree.Path("list")),
              (std::vector<std::string>{"A", "a b", "b", "c"}));
    EXPECT_EQ(machine_providers::ListSubfolders(tree.Path("list")),
              (std::vector<std::string>{"A", "a b", "b"}));
    EXPECT_TRUE(machine_providers::ListFolder(tree.Path("missing")).empty());
}

struct DecodeCase {
    const char* name;
    std::string bytes = "";
    std::wstring text = L"";
};

class MachineTextDecodeTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(MachineTextDecodeTest, DecodesUtf8ElseLatin1) {
    EXPECT_EQ(machine_providers::DecodeMachineText(GetParam().bytes), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MachineTextDecodeTest,
    testing::Values(
        DecodeCase{.name = "Ascii", .bytes = "EDK2_1", .text = L"EDK2_1"},
        DecodeCase{.name = "Utf8TwoBytes", .bytes = "Caf\xC3\xA9", .text = L"Caf\u00E9"},
        DecodeCase{.name = "Utf8ThreeBytes", .bytes = "\xE2\x82\xAC", .text = L"\u20AC"},
        DecodeCase{.name = "Latin1Byte", .bytes = "Caf\xE9", .text = L"Caf\u00E9"},
        // One bad sequence makes the whole text Latin-1, never half and half.
        DecodeCase{
            .name = "MixedFallsBackWhole", .bytes = "\xC3\xA9\xFF", .text = L"\u00C3\u00A9\u00FF"},
        DecodeCase{.name = "TruncatedSequence", .bytes = "ab\xE2\x82", .text = L"ab\u00E2\u0082"},
        DecodeCase{.name = "OverlongSlash", .bytes = "\xC0\xAF", .text = L"\u00C0\u00AF"},
        DecodeCase{
            .name = "EncodedSurrogate", .bytes = "\xED\xA0\x80", .text = L"\u00ED\u00A0\u0080"},
        DecodeCase{.name = "Empty", .bytes = "", .text = L""}),
    CaseName());

TEST(MachineTextTest, AstralCharacterRoundTrips) {
    const std::string bytes = "\xF0\x9F\x94\x8B";  // U+1F50B
    const std::wstring text = machine_providers::DecodeMachineText(bytes);
    EXPECT_EQ(text.size(), sizeof(wchar_t) == 2 ? 2u : 1u);
    EXPECT_EQ(ToUtf8(text), bytes);
    EXPECT_EQ(ToUtf8(L"Let Vantrel \u00E9"), "Let Vantrel \xC3\xA9");
}

}  // namespace
