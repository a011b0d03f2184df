#include "timeseries/Series.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <utility>
#include <vector>

#include "common/Error.h"
#include "support/FaultyFileSystem.h"

namespace tidemill {
namespace {

using testing::ErrorNumberOf;

TEST(SeriesTest, IndexesUpToTheCapacityInStepsOf10000) {
  clsSeries s;
  EXPECT_EQ(s.sngValues(1), 0.0f);
  EXPECT_EQ(s.dtEventDate(10000), 0.0);
  for (int32_t index : {0, -1, 10001, std::numeric_limits<int32_t>::min()}) {
    SCOPED_TRACE(index);
    EXPECT_EQ(ErrorNumberOf([&] { s.sngValues(index, 1.0f); }), kErrSubscript);
    EXPECT_EQ(ErrorNumberOf([&] { s.dtEventDate(index); }), kErrSubscript);
    EXPECT_EQ(ErrorNumberOf([&] { s.lFlag(index, 1.0); }), kErrSubscript);
  }
  EXPECT_EQ(testing::ErrorOf([&] { s.sngValues(10001); }),
            "Error 9 (Subscript out of range: event index 10001 outside 1 to 10000)");

  const std::pair<int32_t, int32_t> cases[] = {{0, 10000}, {10000, 10000}, {10001, 20000}, {35041, 40000}, {-3, 10000},
                                               {2147480000, 2147480000}};
  for (auto [count, capacity] : cases) {
    SCOPED_TRACE(count);
    clsSeries c;
    c.lValCounter(count);
    EXPECT_EQ(c.lValCounter(), count);
    EXPECT_EQ(c.Capacity(), capacity);
  }
  s.lValCounter(12);
  EXPECT_EQ(ErrorNumberOf([&] { s.lValCounter(2147480001); }), kErrOverflow);
  EXPECT_EQ(s.lValCounter(), 12);
  EXPECT_EQ(s.Capacity(), 10000);
  // Growing, and lowering the count, keep the entries; new indexes read 0 until written.
  s.sngValues(500, 5.0f);
  s.lValCounter(35041);
  EXPECT_EQ(s.sngValues(40000), 0.0f);
  s.lValCounter(3);
  EXPECT_EQ(s.sngValues(500), 5.0f);
  EXPECT_EQ(ErrorNumberOf([&] { s.sngValues(40001, 1.0f); }), kErrSubscript);
}

TEST(SeriesTest, TimestepFromUnitAndMultiplier) {
  constexpr int64_t kOverflow = -1;
  const std::tuple<const char*, int32_t, int64_t> cases[] = {
      {"Hour", 2, 7200},          {"DAY", 1, 86400},         {"minute", 15, 900},     {"second", 3600, 3600},
      {"fortnight", 7, 7},        {"", 3, 3},                {"nonequidistant", 5, 0}, {"day", 0, 0},
      {"minute", -2, -120},       {"day", 24855, 2147472000}, {"day", 24856, kOverflow}, {"hour", -596524, kOverflow},
  };
  for (const auto& [unit, multiplier, seconds] : cases) {
    clsSeries s;
    s.sTimeStepUnit = unit;
    s.lTimeStepMultiplier = multiplier;
    if (seconds == kOverflow) {
      EXPECT_EQ(ErrorNumberOf([&] { s.Timestep(); }), kErrOverflow) << unit << multiplier;
    } else {
      EXPECT_EQ(s.Timestep(), seconds) << unit << multiplier;
    }
  }
}

// Flags round as RoundHalfEven32 does; they read back only within the date range.
TEST(SeriesTest, FlagReadsBackOnlyWithinTheDateRange) {
  const std::pair<double, double> cases[] = {{2.5, 2}, {2958465, 2958465}, {-657434, -657434}};
  clsSeries s;
  for (auto [in, stored] : cases) {
    SCOPED_TRACE(in);
    s.lFlag(9, in);
    EXPECT_EQ(s.lFlag(9), stored);
  }
  EXPECT_EQ(ErrorNumberOf([&] { s.lFlag(9, 2147483648.0); }), kErrOverflow);
  EXPECT_EQ(ErrorNumberOf([&] { s.lFlag(9, std::numeric_limits<double>::quiet_NaN()); }), kErrOverflow);
  EXPECT_EQ(s.lFlag(9), -657434.0);
  for (double outside : {2958466.0, -657435.0}) {
    s.lFlag(1, outside);
    EXPECT_EQ(ErrorNumberOf([&] { s.lFlag(1); }), kErrOverflow);
  }
}

}  // namespace
}  // namespace tidemill
