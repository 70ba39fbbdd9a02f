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

// The Gregorian date of a day since 1970-01-01 (civil_from_days).
void CivilFromDays(std::int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t dayOfEra = z - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    d = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yearOfEra + era * 400 + (m <= 2 ? 1 : 0));
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

WallTime WallTimeAfter(const WallTime& base, std::int64_t ms) {
    const std::int64_t total = DaysFromCivil(base.year, base.month, base.day) * kMsPerDay + MsOfDay(base) + ms;
    std::int64_t days = total / kMsPerDay;
    std::int64_t inDay = total % kMsPerDay;
    if (inDay < 0) {
        inDay += kMsPerDay;
        --days;
    }
    WallTime t{};
    CivilFromDays(days, t.year, t.month, t.day);
    t.hour = static_cast<int>(inDay / 3'600'000);
    t.minute = static_cast<int>(inDay / 60'000 % 60);
    t.second = static_cast<int>(inDay / 1000 % 60);
    t.millisecond = static_cast<int>(inDay % 1000);
    return t;
}

}  // namespace protocols
