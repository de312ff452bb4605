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

}  // namespace
