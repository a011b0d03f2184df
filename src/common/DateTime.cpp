#include "common/DateTime.h"

#include <charconv>
#include <cmath>
#include <ctime>

#include "common/Error.h"

namespace tidemill {

namespace {

constexpr int64_t kSecondsPerDay = 86400;

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Days from 1970-01-01 of a proleptic Gregorian date (month 1..12).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = FloorDiv(y, 400);
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, int& m, int& d) {
  z += 719468;
  const int64_t era = FloorDiv(z, 146097);
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = yoe + era * 400 + (m <= 2);
}

// 1899-12-30 counted from 1970-01-01.
constexpr int64_t kEpochFromUnix = -25569;

char* AppendPadded(int64_t value, int width, char* out) {
  if (value < 0) {
    *out++ = '-';
    value = -value;
  }
  char digits[24];
  auto res = std::to_chars(digits, digits + sizeof digits, value);
  const int len = static_cast<int>(res.ptr - digits);
  for (int k = len; k < width; ++k) *out++ = '0';
  for (int k = 0; k < len; ++k) *out++ = digits[k];
  return out;
}

}  // namespace

double DateSerial(int64_t year, int64_t month, int64_t day) {
  const int64_t m0 = month - 1;
  year += FloorDiv(m0, 12);
  month = m0 - FloorDiv(m0, 12) * 12 + 1;
  return static_cast<double>(DaysFromCivil(year, month, 1) + (day - 1) - kEpochFromUnix);
}

double TimeSerial(int64_t hour, int64_t minute, int64_t second) {
  return static_cast<double>(hour * 3600 + minute * 60 + second) / kSecondsPerDay;
}

int64_t ToWholeSeconds(double dateTime) {
  const double seconds = dateTime * kSecondsPerDay;
  // Beyond a few million years there is no calendar text to give.
  if (!(std::fabs(seconds) < 1e17)) throw Error(kErrOverflow);
  return static_cast<int64_t>(std::llround(dateTime * kSecondsPerDay));
}

CalendarTime ToCalendar(double dateTime) {
  const int64_t total = ToWholeSeconds(dateTime);
  const int64_t days = FloorDiv(total, kSecondsPerDay);
  const int64_t secs = total - days * kSecondsPerDay;
  CalendarTime t;
  CivilFromDays(days + kEpochFromUnix, t.year, t.month, t.day);
  t.hour = static_cast<int>(secs / 3600);
  t.minute = static_cast<int>(secs / 60 % 60);
  t.second = static_cast<int>(secs % 60);
  return t;
}

char* AppendDateText(const CalendarTime& t, char* out) {
  // A year before 0 takes its sign within the four characters (-020), as a reader of the
  // fixed fields takes it back.
  out = AppendPadded(t.year, t.year < 0 ? 3 : 4, out);
  *out++ = '-';
  out = AppendPadded(t.month, 2, out);
  *out++ = '-';
  return AppendPadded(t.day, 2, out);
}

char* AppendTimeText(const CalendarTime& t, char* out) {
  out = AppendPadded(t.hour, 2, out);
  *out++ = ':';
  out = AppendPadded(t.minute, 2, out);
  *out++ = ':';
  return AppendPadded(t.second, 2, out);
}

std::string DateText(double dateTime) {
  char buf[32];
  return std::string(buf, AppendDateText(ToCalendar(dateTime), buf));
}

std::string TimeText(double dateTime) {
  char buf[32];
  return std::string(buf, AppendTimeText(ToCalendar(dateTime), buf));
}

std::string DateTimeText(double dateTime) {
  const CalendarTime t = ToCalendar(dateTime);
  char buf[64];
  char* p = AppendDateText(t, buf);
  *p++ = ' ';
  p = AppendTimeText(t, p);
  return std::string(buf, p);
}

}  // namespace tidemill
