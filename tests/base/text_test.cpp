#include "base/text.h"
#include "support/table_case.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

struct CompareCase {
    const char* name;
    std::wstring left = L"";
    std::wstring right = L"";
    bool equal = false;
};

class EqualsIgnoreCaseTest : public testing::TestWithParam<CompareCase> {};

TEST_P(EqualsIgnoreCaseTest, FoldsOnlyAsciiLetters) {
    const CompareCase& c = GetParam();
    EXPECT_EQ(EqualsIgnoreCase(c.left, c.right), c.equal);
    EXPECT_EQ(EqualsIgnoreCase(c.right, c.left), c.equal);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EqualsIgnoreCaseTest,
    testing::Values(
        CompareCase{.name = "SameText", .left = L"Vantrel", .right = L"Vantrel", .equal = true},
        CompareCase{.name = "MixedCase",
                    .left = L"Let Vantrel Manage",
                    .right = L"let VANTREL manage",
                    .equal = true},
        CompareCase{.name = "BothEmpty", .left = L"", .right = L"", .equal = true},
        CompareCase{.name = "Longer", .left = L"/FORCE", .right = L"/FORCE ", .equal = false},
        CompareCase{.name = "Prefix", .left = L"/FORC", .right = L"/FORCE", .equal = false},
        // Characters next to the letter ranges must not fold: '@' and '`', '[' and
        // '{' sit 32 apart like the letters do.
        CompareCase{.name = "AtAndBacktick", .left = L"@", .right = L"`", .equal = false},
        CompareCase{.name = "BracketAndBrace", .left = L"[", .right = L"{", .equal = false},
        CompareCase{
            .name = "AccentedLetters", .left = L"\u00e9", .right = L"\u00c9", .equal = false},
        CompareCase{.name = "NoTrimming", .left = L" EDK2_1", .right = L"EDK2_1", .equal = false}),
    CaseName());

TEST(Utf16Test, CountsAndConvertsCodeUnits) {
    EXPECT_EQ(ToUtf16(L"Abc"), u"Abc");
    EXPECT_EQ(Utf16Length(L"Abc"), 3u);
    EXPECT_EQ(ToUtf16(L"\u00e9\u20ac"), u"\u00e9\u20ac");
    EXPECT_EQ(Utf16Length(L"\u00e9\u20ac"), 2u);
    // Outside the basic plane a character takes a surrogate pair on both platforms.
    EXPECT_EQ(ToUtf16(L"a\U0001F600b"), u"a\U0001F600b");
    EXPECT_EQ(ToUtf16(L"a\U0001F600b").size(), 4u);
    EXPECT_EQ(Utf16Length(L"a\U0001F600b"), 4u);
    EXPECT_EQ(Utf16Length(L""), 0u);
}

TEST(ToUtf8Test, EncodesEveryLength) {
    EXPECT_EQ(ToUtf8(L"Patch"), "Patch");
    EXPECT_EQ(ToUtf8(L"\u00e9"), "\xc3\xa9");
    EXPECT_EQ(ToUtf8(L"\u20ac"), "\xe2\x82\xac");
    EXPECT_EQ(ToUtf8(L"\U0001F600"), "\xf0\x9f\x98\x80");
    EXPECT_EQ(ToUtf8(L""), "");
}

TEST(ToUtf8Test, ReplacesALoneSurrogate) {
    const std::wstring lone(1, static_cast<wchar_t>(0xD800));
    EXPECT_EQ(ToUtf8(lone + L"x"), "\xef\xbf\xbdx");
}

// The strict conversions of the registry store and of machine text: what they refuse, and
// that what they accept goes round unchanged.
struct StrictUtf8Case {
    const char* name;
    std::string bytes = "";
    std::optional<std::u16string> units = std::nullopt;  // nullopt: not valid UTF-8
};

class StrictUtf8Test : public testing::TestWithParam<StrictUtf8Case> {};

TEST_P(StrictUtf8Test, DecodesOnlyValidUtf8AndRoundTrips) {
    const StrictUtf8Case& c = GetParam();
    EXPECT_EQ(Utf8ToUtf16(c.bytes), c.units);
    EXPECT_EQ(DecodeUtf8(c.bytes).has_value(), c.units.has_value());
    if (c.units) {
        EXPECT_EQ(Utf16ToUtf8(*c.units), c.bytes);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StrictUtf8Test,
    testing::Values(
        StrictUtf8Case{.name = "Ascii", .bytes = "Status", .units = u"Status"},
        StrictUtf8Case{.name = "Empty", .bytes = "", .units = u""},
        StrictUtf8Case{.name = "EveryLength",
                       .bytes = "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80",
                       .units = u"\u00e9\u20ac\U0001F600"},
        StrictUtf8Case{.name = "Overlong", .bytes = "\xc0\xaf", .units = std::nullopt},
        StrictUtf8Case{.name = "EncodedSurrogate", .bytes = "\xed\xa0\x80", .units = std::nullopt},
        StrictUtf8Case{
            .name = "AboveLastCodePoint", .bytes = "\xf4\x90\x80\x80", .units = std::nullopt},
        StrictUtf8Case{.name = "Truncated", .bytes = "\xe2\x82", .units = std::nullopt},
        StrictUtf8Case{.name = "StrayContinuation", .bytes = "a\x80", .units = std::nullopt},
        StrictUtf8Case{.name = "Latin1Byte", .bytes = "Vantr\xe9l", .units = std::nullopt}),
    CaseName());

TEST(StrictUtf16Test, LoneSurrogatesHaveNoUtf8) {
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t{0xD800}) + u"x"), std::nullopt);
    EXPECT_EQ(Utf16ToUtf8(u"x" + std::u16string(1, char16_t{0xDC00})), std::nullopt);
    // A low and a high surrogate in this order are two lone ones.
    EXPECT_EQ(Utf16ToUtf8(std::u16string{char16_t{0xDC00}, char16_t{0xD800}}), std::nullopt);
}

TEST(RegistryTextTest, WideAndUtf16KeepLoneSurrogates) {
    const std::u16string lone{u'a', char16_t{0xD800}, u'b'};
    const std::wstring wide = Utf16ToWide(lone);
    EXPECT_EQ(WideToUtf16(wide), lone);
    EXPECT_EQ(WideToUtf8(wide), std::nullopt);
    EXPECT_EQ(Utf16ToWide(u"a\U0001F600"), L"a\U0001F600");
    EXPECT_EQ(WideToUtf16(L"a\U0001F600"), u"a\U0001F600");
    EXPECT_EQ(WideToUtf8(L"\u00e9"), "\xc3\xa9");
}

TEST(CodePointsTest, WideTextOfDecodedUtf8) {
    const std::optional<std::u32string> points = DecodeUtf8("a\xc3\xa9\xf0\x9f\x98\x80");
    ASSERT_TRUE(points.has_value());
    EXPECT_EQ(CodePointsToWide(*points), L"a\u00e9\U0001F600");
}

TEST(EqualsIgnoreCaseWidthTest, EveryWidthFoldsTheSameLetters) {
    EXPECT_TRUE(EqualsIgnoreCase(std::string_view("DateRun"), std::string_view("daterun")));
    EXPECT_FALSE(EqualsIgnoreCase(std::string_view("@"), std::string_view("`")));
    EXPECT_TRUE(EqualsIgnoreCase(std::u16string_view(u"Status"), std::u16string_view(u"STATUS")));
    EXPECT_FALSE(EqualsIgnoreCase(std::u16string_view(u"\u00e9"), std::u16string_view(u"\u00c9")));
}

}  // namespace
