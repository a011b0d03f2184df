// The river-basin model's time steps: each month in three steps of ten days (decades), the
// third taking the rest of the month, 36 in a year.
#pragma once

#include <cstdint>

namespace tidemill {

struct TenDayStep {
  int32_t year = 0;
  int32_t decade = 0;  // 1 to 36
  int32_t day = 0;     // within the decade, from 1
};

// Whether a date has a step: TenDayStepOf does not fail for it.
bool HasTenDayStep(double date);
// The step of a date; error 6 when it has none.
TenDayStep TenDayStepOf(double date);

// The year, decade (1 to 36) and day within the decade (1 to 10, in a month's third decade 1 to
// 8, 9, 10 or 11) of a date; the time of day is ignored. On failure reports "error: " and the
// error's description (title "GetYearDecadeAndDay") and returns false, the outputs unchanged.
bool GetYearDecadeAndDay(double date, int32_t& year, int32_t& decade, int32_t& day);

}  // namespace tidemill
