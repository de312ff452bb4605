#include "base/console.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class ConsoleTest : public testing::Test {
  protected:
    void SetUp() override { previous_ = SetConsoleSink(&output_); }
    void TearDown() override { SetConsoleSink(previous_); }

    std::string output_;
    std::string* previous_ = nullptr;
};

TEST_F(ConsoleTest, NarrowAndWideLinesKeepTheirOrder) {
    WriteLine("Vantrel Cellkeeper Patch");
    WriteLine(L"Previous status code: 0");
    WriteLine(std::wstring_view{});
    WriteLine("FATAL ERROR: Application terminated abnormally");
    EXPECT_EQ(output_,
              "Vantrel Cellkeeper Patch\nPrevious status code: 0\n\n"
              "FATAL ERROR: Application terminated abnormally\n");
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

}  // namespace
