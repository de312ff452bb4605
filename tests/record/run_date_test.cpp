#include "record/run_date.h"

#include "support/test_env.h"
#include "support/table_case.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <string>

namespace {

struct DateCase {
    const char* name;
    const char* zone;
    std::int64_t time;
    std::wstring text;
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
        DateCase{"Utc", "UTC0", 1615881909, L"Tue Mar 16 08:05:09 2021"},
        // The local zone decides the text: one hour east of UTC.
        DateCase{"EastOfUtc", "CET-1", 1615881909, L"Tue Mar 16 09:05:09 2021"},
        DateCase{"WestOfUtcCrossesMidnight", "EST5", 1617235200, L"Wed Mar 31 19:00:00 2021"},
        DateCase{"OneDigitDayIsRightAligned", "UTC0", 1614556800, L"Mon Mar  1 00:00:00 2021"},
        DateCase{"Epoch", "UTC0", 0, L"Thu Jan  1 00:00:00 1970"},
        DateCase{"LastShowableSecond", "UTC0", kLastShowableTime, L"Wed Dec 31 23:59:59 3000"},
        // Times that cannot be shown as a date keep the line readable and name the number.
        DateCase{"Negative", "UTC0", -5, L"an unknown date (stored time -5)"},
        DateCase{"AfterYear3000", "UTC0", kLastShowableTime + 1,
                 L"an unknown date (stored time 32535216000)"},
        DateCase{"Largest", "UTC0", INT64_MAX,
                 L"an unknown date (stored time 9223372036854775807)"}),
    CaseName());

TEST(LaunchTimeTest, IsReadFromTheClockBeforeTheTestRuns) {
    const auto now = static_cast<std::int64_t>(std::time(nullptr));
    // 2021-01-01: any clock that works is past it.
    EXPECT_GT(launchTime, 1609459200);
    EXPECT_LE(launchTime, now);
}

}  // namespace
