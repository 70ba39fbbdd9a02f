#include "protocols/WallTime.h"

#include <cstdio>

namespace protocols {

namespace {

constexpr std::int64_t kMsPerDay = 24LL * 60 * 60 * 1000;

bool IsLeapYear(std::int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

// Days since 1970-01-01 of a Gregorian date (proleptic; Howard Hinnant's
// days_from_civil).
std::int64_t DaysFromCivil(std::int64_t y, std::int64_t m, std::int64_t d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yearOfEra = y - era * 400;
    const std::int64_t dayOfYear = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

std::int64_t MsOfDay(const WallTime& t) {
    return ((static_cast<std::int64_t>(t.hour) * 60 + t.minute) * 60 + t.second) * 1000 + t.millisecond;
}

}  // namespace

int DaysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidWallTime(const WallTime& t) {
    return t.year >= 0 && t.year <= 9999 && t.day >= 1 && t.day <= DaysInMonth(t.year, t.month) && t.hour >= 0 &&
           t.hour <= 23 && t.minute >= 0 && t.minute <= 59 && t.second >= 0 && t.second <= 59 && t.millisecond >= 0 &&
           t.millisecond <= 999;
}

std::int64_t MillisecondsBetween(const WallTime& a, const WallTime& b) {
    const std::int64_t days = DaysFromCivil(b.year, b.month, b.day) - DaysFromCivil(a.year, a.month, a.day);
    return days * kMsPerDay + MsOfDay(b) - MsOfDay(a);
}

std::string IsoTimeText(const WallTime& t) {
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second, t.millisecond);
    return text;
}

}  // namespace protocols
