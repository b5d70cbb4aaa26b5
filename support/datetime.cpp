#include "support/datetime.h"

#include "support/errors.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <mutex>

namespace zbpv {
namespace {

// Days from 1970-01-01 for a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

constexpr int64_t kEpochOffset = 25569; // 1970-01-01 as a day count since 1899-12-30
constexpr int64_t kMsPerDay = 86400000;

std::mutex g_clockMutex;
std::function<TDateTime()> g_clock;

} // namespace

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& out) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return false;
    out = static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
                              kEpochOffset);
    return true;
}

TDateTime EncodeDate(int year, int month, int day) {
    TDateTime r;
    if (!TryEncodeDate(year, month, day, r))
        throw EConvertError("Ungültiges Argument zum Codieren des Datums");
    return r;
}

DateParts DecodeDate(TDateTime dt) {
    DateParts p;
    if (!std::isfinite(dt))
        return p;
    const auto days = static_cast<int64_t>(std::trunc(dt));
    CivilFromDays(days - kEpochOffset, p.year, p.month, p.day);
    return p;
}

bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& out) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 ||
        msec > 999)
        return false;
    out = (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + msec) / static_cast<double>(kMsPerDay);
    return true;
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
    TDateTime r;
    if (!TryEncodeTime(hour, minute, second, msec, r))
        throw EConvertError("Ungültiges Argument zum Codieren der Uhrzeit");
    return r;
}

TimeParts DecodeTime(TDateTime dt) {
    TimeParts p;
    if (!std::isfinite(dt))
        return p;
    const double frac = std::fabs(dt - std::trunc(dt));
    auto ms = static_cast<int64_t>(std::llround(frac * static_cast<double>(kMsPerDay)));
    if (ms >= kMsPerDay)
        ms = kMsPerDay - 1;
    p.msec = static_cast<int>(ms % 1000);
    ms /= 1000;
    p.second = static_cast<int>(ms % 60);
    ms /= 60;
    p.minute = static_cast<int>(ms % 60);
    p.hour = static_cast<int>(ms / 60);
    return p;
}

TDateTime CombineDateTime(TDateTime date, TDateTime time) {
    const double d = std::trunc(date);
    const double t = std::fabs(time - std::trunc(time));
    return d >= 0 ? d + t : d - t;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec) {
    return CombineDateTime(EncodeDate(year, month, day), EncodeTime(hour, minute, second, msec));
}

TDateTime DateOf(TDateTime dt) {
    return std::trunc(dt);
}
TDateTime TimeOf(TDateTime dt) {
    return std::fabs(dt - std::trunc(dt));
}

int DayOfTheWeek(TDateTime dt) {
    // 1899-12-30 was a Saturday.
    const auto days = static_cast<int64_t>(std::trunc(dt));
    int64_t w = (days + 5) % 7; // 0 = Monday
    if (w < 0)
        w += 7;
    return static_cast<int>(w) + 1;
}

int WeekOfTheYear(TDateTime dt) {
    const double day = std::trunc(dt);
    // The Thursday of this ISO week decides the year the week belongs to.
    const double thursday = day - DayOfTheWeek(day) + 4;
    const DateParts tp = DecodeDate(thursday);
    const double jan1 = EncodeDate(tp.year, 1, 1);
    return static_cast<int>((thursday - jan1) / 7) + 1;
}

TDateTime Now() {
    {
        std::lock_guard lock(g_clockMutex);
        if (g_clock)
            return g_clock();
    }
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    return EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                          local.tm_sec, static_cast<int>(ms));
}

void SetClockForTests(std::function<TDateTime()> clock) {
    std::lock_guard lock(g_clockMutex);
    g_clock = std::move(clock);
}

} // namespace zbpv
