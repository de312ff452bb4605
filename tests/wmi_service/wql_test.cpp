#include "wmi_service/wql.h"
#include "platform/wbem_status.h"
#include "support/table_case.h"
#include "wmi_service/com_object.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

using wmi_service::ParseWql;
using wmi_service::WqlQuery;

namespace {

using ::PrintTo;

struct GoodQuery {
    const char* name;
    const wchar_t* text;
    std::vector<std::wstring> properties;
    const wchar_t* className;
    const wchar_t* whereProperty;  // null: no condition
    const wchar_t* whereText;
};

class WqlGoodQueryTest : public testing::TestWithParam<GoodQuery> {};

TEST_P(WqlGoodQueryTest, Parses) {
    const GoodQuery& c = GetParam();
    WqlQuery query;
    ASSERT_EQ(ParseWql(c.text, query), Hr(WBEM_S_NO_ERROR));
    EXPECT_EQ(query.properties, c.properties);
    EXPECT_EQ(query.className, c.className);
    ASSERT_EQ(query.where.has_value(), c.whereProperty != nullptr);
    if (c.whereProperty) {
        EXPECT_EQ(query.where->property, c.whereProperty);
        EXPECT_EQ(query.where->text, c.whereText);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WqlGoodQueryTest,
    testing::Values(GoodQuery{.name = "Star",
                              .text = L"SELECT * FROM Win32_BIOS",
                              .properties = {},
                              .className = L"Win32_BIOS",
                              .whereProperty = nullptr,
                              .whereText = nullptr},
                    GoodQuery{
                        .name = "SettingQuery",
                        .text = L"SELECT * FROM Vantrel_BIOSSetting where Name='Setup Password'",
                        .properties = {},
                        .className = L"Vantrel_BIOSSetting",
                        .whereProperty = L"Name",
                        .whereText = L"Setup Password"},
                    GoodQuery{.name = "KeywordsInAnyCase",
                              .text = L"select * From X wHeRe A='b'",
                              .properties = {},
                              .className = L"X",
                              .whereProperty = L"A",
                              .whereText = L"b"},
                    GoodQuery{.name = "PropertyList",
                              .text = L"SELECT Vendor, Name FROM Win32_ComputerSystemProduct",
                              .properties = {L"Vendor", L"Name"},
                              .className = L"Win32_ComputerSystemProduct",
                              .whereProperty = nullptr,
                              .whereText = nullptr},
                    GoodQuery{.name = "FlexibleBlanks",
                              .text = L"  SELECT\tA ,B\r\nFROM  X WHERE A\t=\t'' \n",
                              .properties = {L"A", L"B"},
                              .className = L"X",
                              .whereProperty = L"A",
                              .whereText = L""},
                    GoodQuery{.name = "NoBlanksAroundSymbols",
                              .text = L"SELECT A,B FROM X WHERE A='x y'",
                              .properties = {L"A", L"B"},
                              .className = L"X",
                              .whereProperty = L"A",
                              .whereText = L"x y"},
                    GoodQuery{.name = "TextKeepsItsBlanksAndCase",
                              .text = L"SELECT * FROM X WHERE A=' Mixed Case '",
                              .properties = {},
                              .className = L"X",
                              .whereProperty = L"A",
                              .whereText = L" Mixed Case "}),
    CaseName());

struct BadQuery {
    const char* name;
    const wchar_t* text;
};

class WqlBadQueryTest : public testing::TestWithParam<BadQuery> {};

TEST_P(WqlBadQueryTest, IsInvalidQuery) {
    WqlQuery query;
    query.className = L"left over";
    EXPECT_EQ(ParseWql(GetParam().text, query), Hr(WBEM_E_INVALID_QUERY));
    EXPECT_TRUE(query.className.empty()) << "a failed parse leaves no half query";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WqlBadQueryTest,
    testing::Values(BadQuery{"Empty", L""}, BadQuery{"NoSelect", L"* FROM X"},
                    BadQuery{"NoProperties", L"SELECT FROM X"}, BadQuery{"NoFrom", L"SELECT * X"},
                    BadQuery{"NoClass", L"SELECT * FROM"},
                    BadQuery{"KeywordRunsOn", L"SELECT * FROMX"},
                    BadQuery{"TrailingComma", L"SELECT A, FROM X"},
                    BadQuery{"StarInList", L"SELECT A, * FROM X"},
                    BadQuery{"TrailingWords", L"SELECT * FROM X Y"},
                    BadQuery{"TrailingAfterText", L"SELECT * FROM X WHERE A='b' AND C='d'"},
                    BadQuery{"QuoteInsideText", L"SELECT * FROM X WHERE Name='it's'"},
                    BadQuery{"DoubleQuoteInsideText", L"SELECT * FROM X WHERE Name='a\"b'"},
                    BadQuery{"UnterminatedText", L"SELECT * FROM X WHERE Name='abc"},
                    BadQuery{"UnquotedText", L"SELECT * FROM X WHERE Name=abc"},
                    BadQuery{"OtherOperator", L"SELECT * FROM X WHERE Name<>'a'"},
                    BadQuery{"EmptyWhere", L"SELECT * FROM X WHERE"},
                    BadQuery{"NameStartsWithDigit", L"SELECT 1A FROM X"}),
    CaseName());

}  // namespace
