// Date-time values: days since 1899-12-30 00:00:00 as a double, the fraction the time of day.
#pragma once

#include <cstdint>
#include <string>

namespace tidemill {

// Day count of a calendar date; months and days beyond their range carry into the next
// year or month (month 13 is January of the next year, day 0 the last day of the month before).
double DateSerial(int64_t year, int64_t month, int64_t day);

// Fraction of a day; hours, minutes and seconds beyond their range carry (24:00:00 gives 1).
double TimeSerial(int64_t hour, int64_t minute, int64_t second);

struct CalendarTime {
  int64_t year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// The calendar date and time of day of a date-time value, rounded to the whole second.
CalendarTime ToCalendar(double dateTime);

// Whole seconds of a date-time value since the epoch, rounded to nearest; error 6 when NaN
// or too far from the epoch for a calendar.
int64_t ToWholeSeconds(double dateTime);

// "yyyy-mm-dd" and "hh:mm:ss" of a value rounded to the whole second (a year before 0 as
// "-yyy"); each writes at most 10 and 8 characters (more only for years beyond 9999 or before
// -999) and returns the end.
char* AppendDateText(const CalendarTime& t, char* out);
char* AppendTimeText(const CalendarTime& t, char* out);
std::string DateText(double dateTime);
std::string TimeText(double dateTime);
// "yyyy-mm-dd hh:mm:ss".
std::string DateTimeText(double dateTime);

// The local date and time now, in the operating system's time zone.
double LocalNow();

}  // namespace tidemill
