#include "record/run_date.h"

#include "support/table_case.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <string>

namespace {

struct DateCase {
    const char* name;
    const char* zone = "UTC0";
    std::int64_t time = 0;
    std::wstring text = L"";
};

class FormatRunDateTest : public testing::TestWithParam<DateCase> {};

TEST_P(FormatRunDateTest, ShowsLocalTimeInTheFixedLayout) {
    const DateCase& c = GetParam();
    ScopedTimeZone zone(c.zone);
    EXPECT_EQ(FormatRunDate(c.time), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatRunDateTest,
    testing::Values(
        DateCase{
            .name = "Utc", .zone = "UTC0", .time = 1615881909, .text = L"Tue Mar 16 08:05:09 2021"},
        // The local zone decides the text: one hour east of UTC.
        DateCase{.name = "EastOfUtc",
                 .zone = "CET-1",
                 .time = 1615881909,
                 .text = L"Tue Mar 16 09:05:09 2021"},
        DateCase{.name = "WestOfUtcCrossesMidnight",
                 .zone = "EST5",
                 .time = 1617235200,
                 .text = L"Wed Mar 31 19:00:00 2021"},
        DateCase{.name = "OneDigitDayIsRightAligned",
                 .zone = "UTC0",
                 .time = 1614556800,
                 .text = L"Mon Mar  1 00:00:00 2021"},
        DateCase{.name = "Epoch", .zone = "UTC0", .time = 0, .text = L"Thu Jan  1 00:00:00 1970"},
        DateCase{.name = "LastShowableSecond",
                 .zone = "UTC0",
                 .time = kLastShowableTime,
                 .text = L"Wed Dec 31 23:59:59 3000"},
        // Times that cannot be shown as a date keep the line readable and name the number.
        DateCase{.name = "Negative",
                 .zone = "UTC0",
                 .time = -5,
                 .text = L"an unknown date (stored time -5)"},
        DateCase{.name = "AfterYear3000",
                 .zone = "UTC0",
                 .time = kLastShowableTime + 1,
                 .text = L"an unknown date (stored time 32535216000)"},
        DateCase{.name = "Largest",
                 .zone = "UTC0",
                 .time = INT64_MAX,
                 .text = L"an unknown date (stored time 9223372036854775807)"}),
    CaseName());

TEST(LaunchTimeTest, IsReadFromTheClockBeforeTheTestRuns) {
    const auto now = static_cast<std::int64_t>(std::time(nullptr));
    // 2021-01-01: any clock that works is past it.
    EXPECT_GT(launchTime, 1609459200);
    EXPECT_LE(launchTime, now);
}

}  // namespace
