#include "record/run_date.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace {

std::int64_t ReadClock() { return static_cast<std::int64_t>(std::time(nullptr)); }

constexpr std::array<const char*, 7> kWeekdays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr int kFirstCalendarYear = 1900;
constexpr std::size_t kLayoutBufferSize = 64;

std::wstring UnknownDate(std::int64_t time) {
    return L"an unknown date (stored time " + std::to_wstring(time) + L")";
}

bool InCalendarRange(const std::tm& local) {
    return local.tm_wday >= 0 && local.tm_wday < 7 && local.tm_mon >= 0 && local.tm_mon < 12;
}

}  // namespace

const std::int64_t launchTime = ReadClock();

std::wstring FormatRunDate(std::int64_t time) {
    if (time < 0 || time > kLastShowableTime) {
        return UnknownDate(time);
    }
    const auto seconds = static_cast<std::time_t>(time);
    // The run has one thread, so the shared result of localtime is safe to use here.
    const std::tm* local = std::localtime(&seconds);
    if (local == nullptr || !InCalendarRange(*local)) {
        return UnknownDate(time);
    }
    std::array<char, kLayoutBufferSize> text{};
    const int length = std::snprintf(text.data(), text.size(), "%s %s %2d %02d:%02d:%02d %d",
                                     kWeekdays[static_cast<std::size_t>(local->tm_wday)],
                                     kMonths[static_cast<std::size_t>(local->tm_mon)],
                                     local->tm_mday, local->tm_hour, local->tm_min, local->tm_sec,
                                     local->tm_year + kFirstCalendarYear);
    if (length <= 0) {
        return UnknownDate(time);
    }
    // The layout is plain ASCII.
    const std::string narrow(text.data(), static_cast<std::size_t>(length));
    return std::wstring(narrow.begin(), narrow.end());
}

std::string FormatUtcTime(std::int64_t secondsSince1970) {
    // A stored time can be any number; the calendar arithmetic is only defined for sane ones.
    if (secondsSince1970 < 0 || secondsSince1970 > kLastShowableTime) {
        return "unknown time " + std::to_string(secondsSince1970);
    }
    using namespace std::chrono;
    const sys_seconds time{seconds{secondsSince1970}};
    const sys_days day = floor<days>(time);
    const year_month_day date{day};
    const hh_mm_ss clock{time - day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<int>(clock.hours().count()),
                  static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()));
    return text;
}
