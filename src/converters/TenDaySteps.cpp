#include "converters/TenDaySteps.h"

#include <charconv>
#include <cmath>
#include <string>

#include "common/DateTime.h"
#include "common/Error.h"
#include "diagnostics/ReportMessage.h"

namespace tidemill {

bool HasTenDayStep(double date) {
  // Beyond some hundred million years the year would not fit its 32 bits.
  return std::fabs(date) < 1e11;
}

TenDayStep TenDayStepOf(double date) {
  if (!HasTenDayStep(date)) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, date).ptr;
    throw DetailedError(kErrOverflow, "the day count " + std::string(text, end) + " has no calendar date");
  }
  const CalendarTime t = ToCalendar(date);
  const int step = t.day > 20 ? 3 : t.day > 10 ? 2 : 1;
  return {static_cast<int32_t>(t.year), (t.month - 1) * 3 + step, t.day - (step - 1) * 10};
}

bool GetYearDecadeAndDay(double date, int32_t& year, int32_t& decade, int32_t& day) {
  try {
    const TenDayStep step = TenDayStepOf(date);
    year = step.year;
    decade = step.decade;
    day = step.day;
    return true;
  } catch (...) {
    ReportMessage("error: " + CurrentError().Description(), kStyleExclamation, "GetYearDecadeAndDay", kLevelError);
    return false;
  }
}

}  // namespace tidemill
