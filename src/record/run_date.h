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

// "2026-12-10T09:14:03Z": the time, in whole seconds, as ISO 8601 in UTC: the run log's and the
// check's time stamps, the same on every machine whatever its time zone. A time outside what
// FormatRunDate shows gives "unknown time <n>".
std::string FormatUtcTime(std::int64_t secondsSince1970);
