#include "platform/machine/smbios_oem_strings.h"
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
    std::string raw;
    std::optional<Strings> strings;
};

class SmbiosOemStringsTest : public testing::TestWithParam<OemCase> {};

TEST_P(SmbiosOemStringsTest, ParsesOrRefuses) {
    EXPECT_EQ(machine::ParseOemStrings(GetParam().raw), GetParam().strings);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SmbiosOemStringsTest,
    testing::Values(
        OemCase{"Typical", Header(2) + Bytes(std::string_view("abc\0EDK2_1\0\0", 12)),
                Strings{L"abc", L"EDK2_1"}},
        OemCase{"BlankStringsKept", Header(3) + Bytes(std::string_view("abc\0   \0EDK2_1\0\0", 16)),
                Strings{L"abc", L"   ", L"EDK2_1"}},
        OemCase{"CountZero", Header(0) + Bytes(std::string_view("\0\0", 2)), Strings{}},
        OemCase{"LongerFormattedAreaSkipped",
                Header(1, 7) + Bytes(std::string_view("\x01\x02"
                                                      "A\0\0",
                                                      5)),
                Strings{L"A"}},
        OemCase{"Latin1String", Header(1) + Bytes(std::string_view("Caf\xE9\0\0", 6)),
                Strings{L"Caf\u00E9"}},
        OemCase{"CountBeyondStrings", Header(5) + Bytes(std::string_view("one\0two\0\0", 9)),
                Strings{L"one", L"two"}},
        OemCase{"CountBelowStrings", Header(1) + Bytes(std::string_view("one\0two\0\0", 9)),
                Strings{L"one"}},
        OemCase{"UnterminatedLastString", Header(2) + Bytes(std::string_view("one\0tw", 6)),
                Strings{L"one"}},
        OemCase{"NoStringSet", Header(2), Strings{}},
        OemCase{"WrongType",
                std::string{'\x01', '\x05', 0, 0, '\x01'} + Bytes(std::string_view("a\0\0", 3)),
                std::nullopt},
        OemCase{"LengthBelowFive", Header(1, 4) + Bytes(std::string_view("a\0\0", 3)),
                std::nullopt},
        OemCase{"LengthBeyondBuffer", Header(1, 200) + Bytes(std::string_view("a\0\0", 3)),
                std::nullopt},
        OemCase{"TruncatedHeader", std::string{'\x0B', '\x05', 0}, std::nullopt},
        OemCase{"Empty", std::string(), std::nullopt}),
    CaseName());

TEST(SmbiosOemStringsFileTest, ReadsTheStructureUnderTheRoot) {
    MachineTree tree;
    EXPECT_FALSE(machine::ReadOemStrings());
    tree.WriteFile("sys/firmware/dmi/entries/11-0/raw",
                   Header(1) + Bytes(std::string_view("EDK2_1\0\0", 8)));
    EXPECT_EQ(machine::ReadOemStrings(), Strings{L"EDK2_1"});
}

TEST(SmbiosOemStringsFileTest, OversizedFileHasNoValue) {
    MachineTree tree;
    std::string raw = Header(255);
    for (int i = 0; i < 255; ++i) raw += std::string(300, 'x') + '\0';
    tree.WriteFile("sys/firmware/dmi/entries/11-0/raw", raw + '\0');
    EXPECT_FALSE(machine::ReadOemStrings());
}

}  // namespace
