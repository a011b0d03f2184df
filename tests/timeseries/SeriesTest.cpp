#include "timeseries/Series.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "common/Error.h"

namespace tidemill {
namespace {

int32_t ErrorNumberOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const Error& e) {
    return e.Number();
  }
  return 0;
}

TEST(SeriesTest, NewRecordHasDefaultsAndCapacityOf10000) {
  clsSeries s;
  EXPECT_EQ(s.lValCounter(), 0);
  EXPECT_EQ(s.Capacity(), 10000);
  EXPECT_EQ(s.sngValues(1), 0.0f);
  EXPECT_EQ(s.dtEventDate(10000), 0.0);
  EXPECT_EQ(s.lFlag(5000), 0.0);
  EXPECT_EQ(s.Timestep(), 0);
  EXPECT_EQ(s.sngMissingValue, 0.0f);
  EXPECT_EQ(s.dtStartDate + s.dtStartTime + s.dtEndDate + s.dtEndTime, 0.0);
}

TEST(SeriesTest, IndexOutsideOneToCapacityIsSubscriptError) {
  clsSeries s;
  for (int32_t index : {0, -1, 10001, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()}) {
    SCOPED_TRACE(index);
    EXPECT_EQ(ErrorNumberOf([&] { s.sngValues(index); }), kErrSubscript);
    EXPECT_EQ(ErrorNumberOf([&] { s.sngValues(index, 1.0f); }), kErrSubscript);
    EXPECT_EQ(ErrorNumberOf([&] { s.dtEventDate(index); }), kErrSubscript);
    EXPECT_EQ(ErrorNumberOf([&] { s.dtEventDate(index, 1.0); }), kErrSubscript);
    EXPECT_EQ(ErrorNumberOf([&] { s.lFlag(index); }), kErrSubscript);
    EXPECT_EQ(ErrorNumberOf([&] { s.lFlag(index, 1.0); }), kErrSubscript);
  }
  try {
    s.sngValues(10001);
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.Description(), "Subscript out of range: event index 10001 outside 1 to 10000");
  }
}

TEST(SeriesTest, CountGrowsCapacityInWholeStepsOf10000) {
  struct Case {
    int32_t count;
    int32_t capacity;
  };
  const Case cases[] = {{0, 10000}, {1, 10000}, {10000, 10000}, {10001, 20000}, {35041, 40000},
                        {40000, 40000}, {-3, 10000}, {2147480000, 2147480000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.count);
    clsSeries s;
    s.lValCounter(c.count);
    EXPECT_EQ(s.lValCounter(), c.count);
    EXPECT_EQ(s.Capacity(), c.capacity);
  }
}

TEST(SeriesTest, GrowingKeepsEntriesAndNewEntriesReadZero) {
  clsSeries s;
  s.lValCounter(10000);
  for (int32_t i = 1; i <= 10000; ++i) {
    s.sngValues(i, static_cast<float>(i));
    s.dtEventDate(i, i + 0.5);
    s.lFlag(i, i % 7);
  }
  s.lValCounter(10001);
  EXPECT_EQ(s.Capacity(), 20000);
  for (int32_t i = 1; i <= 10000; ++i) {
    ASSERT_EQ(s.sngValues(i), static_cast<float>(i));
    ASSERT_EQ(s.dtEventDate(i), i + 0.5);
    ASSERT_EQ(s.lFlag(i), i % 7);
  }
  for (int32_t i = 10001; i <= 20000; ++i) {
    ASSERT_EQ(s.sngValues(i), 0.0f);
    ASSERT_EQ(s.dtEventDate(i), 0.0);
    ASSERT_EQ(s.lFlag(i), 0.0);
  }
}

TEST(SeriesTest, EveryIndexUpToTheGrownCapacityIsWritable) {
  clsSeries s;
  s.lValCounter(35041);
  for (int32_t i = 1; i <= 40000; ++i) s.sngValues(i, static_cast<float>(i) * 0.5f);
  for (int32_t i = 1; i <= 40000; ++i) ASSERT_EQ(s.sngValues(i), static_cast<float>(i) * 0.5f);
  EXPECT_EQ(ErrorNumberOf([&] { s.sngValues(40001, 1.0f); }), kErrSubscript);
}

TEST(SeriesTest, WritingFarBeyondTheWrittenPartLeavesTheGapAtZero) {
  clsSeries s;
  s.lValCounter(25000);
  s.dtEventDate(25000, 7.0);
  s.dtEventDate(3, 2.0);
  EXPECT_EQ(s.dtEventDate(25000), 7.0);
  EXPECT_EQ(s.dtEventDate(3), 2.0);
  EXPECT_EQ(s.dtEventDate(24999), 0.0);
  EXPECT_EQ(s.sngValues(25000), 0.0f);
}

TEST(SeriesTest, LoweringTheCountKeepsTheEntriesAbove) {
  clsSeries s;
  s.lValCounter(500);
  for (int32_t i = 1; i <= 500; ++i) s.sngValues(i, static_cast<float>(1000 + i));
  s.lValCounter(3);
  EXPECT_EQ(s.lValCounter(), 3);
  EXPECT_EQ(s.Capacity(), 10000);
  for (int32_t i = 4; i <= 500; ++i) ASSERT_EQ(s.sngValues(i), static_cast<float>(1000 + i));
  s.lValCounter(500);
  EXPECT_EQ(s.sngValues(500), 1500.0f);
}

TEST(SeriesTest, CountBeyondTheLargestCapacityIsOverflowAndChangesNothing) {
  clsSeries s;
  s.lValCounter(12);
  EXPECT_EQ(ErrorNumberOf([&] { s.lValCounter(2147480001); }), kErrOverflow);
  EXPECT_EQ(ErrorNumberOf([&] { s.lValCounter(std::numeric_limits<int32_t>::max()); }), kErrOverflow);
  EXPECT_EQ(s.lValCounter(), 12);
  EXPECT_EQ(s.Capacity(), 10000);
}

TEST(SeriesTest, TimestepFromUnitAndMultiplier) {
  struct Case {
    const char* unit;
    int32_t multiplier;
    int32_t seconds;
  };
  const Case cases[] = {
      {"Hour", 2, 7200},     {"hour", 1, 3600},           {"DAY", 1, 86400},        {"minute", 15, 900},
      {"second", 3600, 3600}, {"fortnight", 7, 7},          {"", 3, 3},               {"nonequidistant", 5, 0},
      {"day", 0, 0},          {"NonEquidistant", 1, 0},     {"minute", -2, -120},     {"day", 24855, 2147472000},
      {"second", std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::min()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.unit) + " x " + std::to_string(c.multiplier));
    clsSeries s;
    s.sTimeStepUnit = c.unit;
    s.lTimeStepMultiplier = c.multiplier;
    EXPECT_EQ(s.Timestep(), c.seconds);
  }
}

TEST(SeriesTest, TimestepBeyond32BitsIsOverflow) {
  for (auto [unit, multiplier] : {std::pair<const char*, int32_t>{"day", 24856}, {"hour", -596524}, {"minute", 35791395}}) {
    SCOPED_TRACE(unit);
    clsSeries s;
    s.sTimeStepUnit = unit;
    s.lTimeStepMultiplier = multiplier;
    EXPECT_EQ(ErrorNumberOf([&] { s.Timestep(); }), kErrOverflow);
  }
}

TEST(SeriesTest, FlagIsStoredRoundedHalfToEven) {
  const std::pair<double, double> cases[] = {{2.5, 2}, {3.5, 4}, {-0.5, 0}, {-1.5, -2}, {0.49, 0}, {7, 7}};
  clsSeries s;
  for (auto [in, stored] : cases) {
    SCOPED_TRACE(in);
    s.lFlag(9, in);
    EXPECT_EQ(s.lFlag(9), stored);
  }
}

TEST(SeriesTest, FlagThatDoesNotFitIsOverflowAndKeepsTheOldFlag) {
  clsSeries s;
  s.lFlag(1, 5);
  EXPECT_EQ(ErrorNumberOf([&] { s.lFlag(1, 2147483648.0); }), kErrOverflow);
  EXPECT_EQ(ErrorNumberOf([&] { s.lFlag(1, std::numeric_limits<double>::quiet_NaN()); }), kErrOverflow);
  EXPECT_EQ(s.lFlag(1), 5.0);
}

TEST(SeriesTest, FlagOutsideTheDateRangeCannotBeReadBack) {
  clsSeries s;
  s.lFlag(1, 2958465);
  s.lFlag(2, 2958466);
  s.lFlag(3, -657434);
  s.lFlag(4, -657435);
  EXPECT_EQ(s.lFlag(1), 2958465.0);
  EXPECT_EQ(ErrorNumberOf([&] { s.lFlag(2); }), kErrOverflow);
  EXPECT_EQ(s.lFlag(3), -657434.0);
  EXPECT_EQ(ErrorNumberOf([&] { s.lFlag(4); }), kErrOverflow);
}

}  // namespace
}  // namespace tidemill
