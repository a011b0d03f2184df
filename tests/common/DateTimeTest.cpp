#include "common/DateTime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "common/Error.h"

namespace tidemill {
namespace {

TEST(DateSerial, CountsDaysFromTheEpochWithCarry) {
  const struct {
    int64_t y, m, d;
    double expected;
  } cases[] = {
      {1899, 12, 30, 0},       {1899, 12, 31, 1},     {1900, 1, 1, 2},        {1899, 12, 29, -1},
      {2004, 3, 7, 38053},     {2000, 2, 29, 36585},  {2000, 3, 1, 36586},    {1900, 3, 1, 61},
      {2003, 13, 1, 37987},    // month 13 is January of the next year
      {2004, 0, 1, 37956},     // month 0 is December of the year before
      {2004, 3, 0, 38046},     // day 0 is the last day of February (leap year)
      {2004, 2, 30, 38047},    // 30 February carries into March
      {9999, 12, 31, 2958465}, {100, 1, 1, -657434},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DateSerial(c.y, c.m, c.d), c.expected) << c.y << '-' << c.m << '-' << c.d;
  }
}

TEST(TimeSerial, FractionOfADayWithCarry) {
  EXPECT_EQ(TimeSerial(6, 0, 0), 0.25);
  EXPECT_EQ(TimeSerial(24, 0, 0), 1.0);
  EXPECT_EQ(TimeSerial(0, 90, 0), 1.5 / 24);
  EXPECT_EQ(TimeSerial(0, 0, 86400 + 43200), 1.5);
}

TEST(DateTimeText, RoundsToTheWholeSecondFirst) {
  const struct {
    double value;
    const char* date;
    const char* time;
  } cases[] = {
      {0, "1899-12-30", "00:00:00"},
      {38053.25, "2004-03-07", "06:00:00"},
      {38053 + 13.0 / 24, "2004-03-07", "13:00:00"},  // not exact in binary
      {38053 + (86399.6 / 86400), "2004-03-08", "00:00:00"},
      {38053 + (59.4 / 86400), "2004-03-07", "00:00:59"},
      {-1.25, "1899-12-28", "18:00:00"},  // linear before the epoch
      {2958465 + 86399.0 / 86400, "9999-12-31", "23:59:59"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DateText(c.value), c.date) << c.value;
    EXPECT_EQ(TimeText(c.value), c.time) << c.value;
  }
  EXPECT_EQ(DateTimeText(38053.25), "2004-03-07 06:00:00");
}

TEST(DateTimeText, CalendarRoundTripOverCenturies) {
  for (int64_t day = -700000; day < 3000000; day += 997) {
    const CalendarTime t = ToCalendar(static_cast<double>(day));
    ASSERT_EQ(DateSerial(t.year, t.month, t.day), day);
  }
}

TEST(DateTimeText, AbsurdValuesAreOverflowNotGarbage) {
  EXPECT_THROW(ToCalendar(1e300), Error);
  EXPECT_THROW(ToCalendar(std::nan("")), Error);
}

TEST(LocalNow, IsTodayAndFormatsAsAStamp) {
  const std::string stamp = DateTimeText(LocalNow());
  EXPECT_TRUE(std::regex_match(stamp, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)"))) << stamp;
  EXPECT_GT(LocalNow(), DateSerial(2020, 1, 1));
}

}  // namespace
}  // namespace tidemill
