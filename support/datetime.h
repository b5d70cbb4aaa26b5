#pragma once
// Date-time as the old programs stored it: days since 30 December 1899, the fraction is the time of day.
// Before that day the integer part counts backwards while the fraction stays the (positive) time of day.

#include <cstdint>
#include <functional>

namespace zbpv {

using TDateTime = double;

struct DateParts {
    int year = 0, month = 0, day = 0;
};
struct TimeParts {
    int hour = 0, minute = 0, second = 0, msec = 0;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// Throws EConvertError for an impossible date (year 1..9999).
TDateTime EncodeDate(int year, int month, int day);
bool TryEncodeDate(int year, int month, int day, TDateTime& out);
DateParts DecodeDate(TDateTime dt);

TDateTime EncodeTime(int hour, int minute, int second, int msec);
bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& out);
TimeParts DecodeTime(TDateTime dt);

// Date plus time of day, with the sign rule for dates before 1899-12-30.
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec);
TDateTime CombineDateTime(TDateTime date, TDateTime time);

TDateTime DateOf(TDateTime dt);
TDateTime TimeOf(TDateTime dt);

// 1 = Monday … 7 = Sunday.
int DayOfTheWeek(TDateTime dt);
// ISO 8601 week number (1..53).
int WeekOfTheYear(TDateTime dt);

// The clock; tests replace it so nothing depends on the machine's time.
TDateTime Now();
void SetClockForTests(std::function<TDateTime()> clock); // empty function restores the real clock

} // namespace zbpv
