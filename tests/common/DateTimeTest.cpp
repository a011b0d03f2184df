#include "common/DateTime.h"

#include <gtest/gtest.h>

#include "common/Error.h"

namespace tidemill {
namespace {

TEST(DateSerial, CountsDaysFromTheEpochWithCarry) {
  const struct {
    int64_t y, m, d;
    double expected;
  } cases[] = {
      // Carries of month 13 and day 0 are QXValueRulesTest's.
      {1899, 12, 30, 0}, {1899, 12, 29, -1}, {1900, 3, 1, 61}, {2004, 0, 1, 37956}, {9999, 12, 31, 2958465}, {100, 1, 1, -657434},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DateSerial(c.y, c.m, c.d), c.expected) << c.y << '-' << c.m << '-' << c.d;
  }
  EXPECT_EQ(TimeSerial(0, 0, 86400 + 43200), 1.5);
}

TEST(DateTimeText, RoundsToTheWholeSecondFirst) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {0, "1899-12-30 00:00:00"},
      {38053 + 13.0 / 24, "2004-03-07 13:00:00"},  // not exact in binary
      {38053 + (86399.6 / 86400), "2004-03-08 00:00:00"},
      {38053 + (59.4 / 86400), "2004-03-07 00:00:59"},
      {-1.25, "1899-12-28 18:00:00"},  // linear before the epoch
      {2958465 + 86399.0 / 86400, "9999-12-31 23:59:59"},
  };
  for (const auto& c : cases) EXPECT_EQ(DateTimeText(c.value), c.text) << c.value;
  EXPECT_EQ(DateText(38053.25) + "|" + TimeText(38053.25), "2004-03-07|06:00:00");
  EXPECT_THROW(ToCalendar(1e300), Error);
  EXPECT_GT(LocalNow(), DateSerial(2020, 1, 1));
}

TEST(DateTimeText, CalendarRoundTripOverCenturies) {
  for (int64_t day = -700000; day < 3000000; day += 997) {
    const CalendarTime t = ToCalendar(static_cast<double>(day));
    ASSERT_EQ(DateSerial(t.year, t.month, t.day), day);
  }
}

}  // namespace
}  // namespace tidemill
