#include "base/text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct CompareCase {
    const char* name;
    std::wstring left;
    std::wstring right;
    bool equal;
};

class EqualsIgnoreCaseTest : public testing::TestWithParam<CompareCase> {};

TEST_P(EqualsIgnoreCaseTest, FoldsOnlyAsciiLetters) {
    const CompareCase& c = GetParam();
    EXPECT_EQ(EqualsIgnoreCase(c.left, c.right), c.equal);
    EXPECT_EQ(EqualsIgnoreCase(c.right, c.left), c.equal);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EqualsIgnoreCaseTest,
    testing::Values(CompareCase{"SameText", L"Vantrel", L"Vantrel", true},
                    CompareCase{"MixedCase", L"Let Vantrel Manage", L"let VANTREL manage", true},
                    CompareCase{"BothEmpty", L"", L"", true},
                    CompareCase{"Longer", L"/FORCE", L"/FORCE ", false},
                    CompareCase{"Prefix", L"/FORC", L"/FORCE", false},
                    // Characters next to the letter ranges must not fold: '@' and '`', '[' and
                    // '{' sit 32 apart like the letters do.
                    CompareCase{"AtAndBacktick", L"@", L"`", false},
                    CompareCase{"BracketAndBrace", L"[", L"{", false},
                    CompareCase{"AccentedLetters", L"\u00e9", L"\u00c9", false},
                    CompareCase{"NoTrimming", L" EDK2_1", L"EDK2_1", false}),
    [](const testing::TestParamInfo<CompareCase>& testCase) { return testCase.param.name; });

struct TrimCase {
    const char* name;
    std::wstring text;
    std::wstring trimmed;
};

class TrimWhitespaceTest : public testing::TestWithParam<TrimCase> {};

TEST_P(TrimWhitespaceTest, TrimsInPlace) {
    std::wstring text = GetParam().text;
    TrimWhitespace(text);
    EXPECT_EQ(text, GetParam().trimmed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TrimWhitespaceTest,
    testing::Values(TrimCase{"TrailingNewline", L"Tue Mar 16 08:05:09 2021\n",
                             L"Tue Mar 16 08:05:09 2021"},
                    TrimCase{"AllSixBlanks", L"\t\n\v\f\r x \t\n\v\f\r", L"x"},
                    TrimCase{"InnerBlanksStay", L"  a  b  ", L"a  b"},
                    TrimCase{"OnlyBlanks", L" \t\r\n", L""}, TrimCase{"Empty", L"", L""},
                    TrimCase{"NoBreakSpaceStays", L"\u00a0x\u00a0", L"\u00a0x\u00a0"},
                    TrimCase{"NulStays", std::wstring(L"x\0", 2), std::wstring(L"x\0", 2)}),
    [](const testing::TestParamInfo<TrimCase>& testCase) { return testCase.param.name; });

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

}  // namespace
