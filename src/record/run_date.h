// The run's start time and the text a stored time is shown as.
#pragma once

#include <cstdint>
#include <string>

// Seconds since 1970-01-01 00:00:00 UTC, read from the clock once before main runs; -1 when the
// clock cannot be read.
extern const std::int64_t launchTime;

// The last second that can be shown: 3000-12-31 23:59:59 UTC, the limit of Windows' 64-bit
// local time conversion.
inline constexpr std::int64_t kLastShowableTime = 32535215999;

// The stored time as local time in the layout "Tue Mar 16 08:05:09 2021" (day right-aligned
// with a blank). A time before 1970 or after kLastShowableTime, or one the machine cannot
// convert, gives "an unknown date (stored time <n>)", so the previous-run line still reads
// as a sentence.
std::wstring FormatRunDate(std::int64_t time);
