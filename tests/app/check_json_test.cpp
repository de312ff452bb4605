// The check's JSON: machine texts can hold anything, and the line must stay valid JSON of at
// most 2,048 characters.
#include "app/check_json.h"

#include "support/table_case.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct EscapeCase {
    const char* name;
    std::wstring text = L"";
    std::string json = "";
};
using ::PrintTo;

class JsonStringTest : public testing::TestWithParam<EscapeCase> {};

TEST_P(JsonStringTest, EscapesToAscii) { EXPECT_EQ(JsonString(GetParam().text), GetParam().json); }

INSTANTIATE_TEST_SUITE_P(
    Texts, JsonStringTest,
    testing::Values(EscapeCase{.name = "Plain", .text = L"Vantrel", .json = R"("Vantrel")"},
                    EscapeCase{
                        .name = "QuoteAndBackslash", .text = L"a\"b\\c", .json = R"("a\"b\\c")"},
                    EscapeCase{.name = "ControlCharacters",
                               .text = std::wstring(L"a\n\r\t\x01\x1F", 6) + std::wstring(1, L'\0'),
                               .json = R"("a\n\r\t\u0001\u001F\u0000")"},
                    EscapeCase{.name = "Delete", .text = L"\x7F", .json = R"("\u007F")"},
                    EscapeCase{.name = "Latin", .text = L"Gr\u00FCn", .json = R"("Gr\u00FCn")"},
                    EscapeCase{.name = "LoneSurrogate",
                               .text = std::wstring(1, static_cast<wchar_t>(0xD800)),
                               .json = R"("\uFFFD")"}),
    CaseName());

TEST(JsonStringLimitTest, CutsLongTextsNeverInsideAnEscape) {
    const std::string plain = JsonString(std::wstring(500, L'x'));
    EXPECT_EQ(plain, '"' + std::string(kCheckTextLimit - 3, 'x') + "...\"");
    // Six characters per escape: the cut falls on an escape's start.
    const std::string escaped = JsonString(std::wstring(500, L'\x01'));
    EXPECT_LE(escaped.size(), kCheckTextLimit + 2);
    EXPECT_TRUE(escaped.ends_with("\\u0001...\"")) << escaped;
    // A text that just fits is not cut.
    EXPECT_EQ(JsonString(std::wstring(kCheckTextLimit, L'y')),
              '"' + std::string(kCheckTextLimit, 'y') + '"');
}

TEST(JsonObjectTest, BuildsNestedMembersAndNulls) {
    JsonObject inner;
    inner.Number("status", 7).OptionalNumber("attributes", std::nullopt);
    JsonObject outer;
    outer.Text("verdict", L"blocked")
        .Bool("b", true)
        .OptionalBool("p", std::nullopt)
        .TextList("list", {L"a", L"b"}, 1)
        .Object("firmware", inner)
        .OptionalObject("registry", std::nullopt);
    EXPECT_EQ(outer.Finish(), R"({"verdict":"blocked","b":true,"p":null,"list":["a"],)"
                              R"("firmware":{"status":7,"attributes":null},"registry":null})");
}

}  // namespace
