#include "machine_providers/smbios_oem_strings.h"
#include "support/machine_tree.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using ::PrintTo;

using Strings = std::vector<std::wstring>;

// Header of a type 11 structure: type, length, handle (2 bytes), count.
std::string Header(unsigned char count, unsigned char length = 5) {
    return std::string{'\x0B', static_cast<char>(length), '\x2A', '\x00', static_cast<char>(count)};
}

std::string Bytes(std::string_view text) { return std::string(text); }

struct OemCase {
    const char* name;
    std::string raw = "";
    std::optional<Strings> strings = std::nullopt;  // none: not an OEM strings structure
};

class SmbiosOemStringsTest : public testing::TestWithParam<OemCase> {};

TEST_P(SmbiosOemStringsTest, ParsesOrRefuses) {
    EXPECT_EQ(machine_providers::ParseOemStrings(GetParam().raw), GetParam().strings);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SmbiosOemStringsTest,
    testing::Values(OemCase{.name = "Typical",
                            .raw = Header(2) + Bytes(std::string_view("abc\0EDK2_1\0\0", 12)),
                            .strings = Strings{L"abc", L"EDK2_1"}},
                    OemCase{.name = "BlankStringsKept",
                            .raw = Header(3) + Bytes(std::string_view("abc\0   \0EDK2_1\0\0", 16)),
                            .strings = Strings{L"abc", L"   ", L"EDK2_1"}},
                    OemCase{.name = "CountZero",
                            .raw = Header(0) + Bytes(std::string_view("\0\0", 2)),
                            .strings = Strings{}},
                    OemCase{.name = "LongerFormattedAreaSkipped",
                            .raw = Header(1, 7) + Bytes(std::string_view("\x01\x02"
                                                                         "A\0\0",
                                                                         5)),
                            .strings = Strings{L"A"}},
                    OemCase{.name = "Latin1String",
                            .raw = Header(1) + Bytes(std::string_view("Caf\xE9\0\0", 6)),
                            .strings = Strings{L"Caf\u00E9"}},
                    OemCase{.name = "CountBeyondStrings",
                            .raw = Header(5) + Bytes(std::string_view("one\0two\0\0", 9)),
                            .strings = Strings{L"one", L"two"}},
                    OemCase{.name = "CountBelowStrings",
                            .raw = Header(1) + Bytes(std::string_view("one\0two\0\0", 9)),
                            .strings = Strings{L"one"}},
                    OemCase{.name = "UnterminatedLastString",
                            .raw = Header(2) + Bytes(std::string_view("one\0tw", 6)),
                            .strings = Strings{L"one"}},
                    OemCase{.name = "NoStringSet", .raw = Header(2), .strings = Strings{}},
                    OemCase{.name = "WrongType",
                            .raw = std::string{'\x01', '\x05', 0, 0, '\x01'} +
                                   Bytes(std::string_view("a\0\0", 3))},
                    OemCase{.name = "LengthBelowFive",
                            .raw = Header(1, 4) + Bytes(std::string_view("a\0\0", 3))},
                    OemCase{.name = "LengthBeyondBuffer",
                            .raw = Header(1, 200) + Bytes(std::string_view("a\0\0", 3))},
                    OemCase{.name = "TruncatedHeader", .raw = std::string{'\x0B', '\x05', 0}},
                    OemCase{.name = "Empty", .raw = std::string()}),
    CaseName());

TEST(SmbiosOemStringsFileTest, ReadsTheStructureUnderTheRoot) {
    MachineTree tree;
    EXPECT_FALSE(machine_providers::ReadOemStrings());
    tree.WriteFile("sys/firmware/dmi/entries/11-0/raw",
                   Header(1) + Bytes(std::string_view("EDK2_1\0\0", 8)));
    EXPECT_EQ(machine_providers::ReadOemStrings(), Strings{L"EDK2_1"});
}

TEST(SmbiosOemStringsFileTest, OversizedFileHasNoValue) {
    MachineTree tree;
    std::string raw = Header(255);
    for (int i = 0; i < 255; ++i) raw += std::string(300, 'x') + '\0';
    tree.WriteFile("sys/firmware/dmi/entries/11-0/raw", raw + '\0');
    EXPECT_FALSE(machine_providers::ReadOemStrings());
}

}  // namespace
