#include "timeseries/Series.h"

#include <gtest/gtest.h>

#include <limits>

#include "support/FaultyFileSystem.h"

namespace tidemill {
namespace {

using testing::ErrorOf;

TEST(SeriesTest, IndexesUpToTheCapacityInStepsOf10000) {
  clsSeries s;
  EXPECT_EQ(s.sngValues(1), 0.0f);
  EXPECT_EQ(s.dtEventDate(10000), 0.0);
  for (int32_t index : {0, 10001, std::numeric_limits<int32_t>::min()}) {
    EXPECT_THROW(s.sngValues(index, 1.0f), Error) << index;
    EXPECT_THROW(s.dtEventDate(index), Error) << index;
  }
  EXPECT_EQ(ErrorOf([&] { s.sngValues(10001); }),
            "Error 9 (Subscript out of range: event index 10001 outside 1 to 10000)");

  const std::pair<int32_t, int32_t> cases[] = {{0, 10000}, {10000, 10000}, {10001, 20000}, {-3, 10000},
                                               {2147480000, 2147480000}};
  for (auto [count, capacity] : cases) {
    clsSeries c;
    c.lValCounter(count);
    EXPECT_EQ(c.lValCounter(), count);
    EXPECT_EQ(c.Capacity(), capacity) << count;
  }
  s.lValCounter(12);
  EXPECT_EQ(ErrorOf([&] { s.lValCounter(2147480001); }), "Error 6 (Overflow: a series cannot hold 2147480001 events)");
  EXPECT_EQ(s.Capacity(), 10000);
  // Growing, and lowering the count, keep the entries; new indexes read 0 until written.
  s.sngValues(500, 5.0f);
  s.lValCounter(35041);
  EXPECT_EQ(s.sngValues(40000), 0.0f);
  s.lValCounter(3);
  EXPECT_EQ(s.sngValues(500), 5.0f);
  EXPECT_THROW(s.sngValues(40001, 1.0f), Error);
}

TEST(SeriesTest, TimestepFromUnitAndMultiplier) {
  constexpr int64_t kOverflow = -1;
  const std::tuple<const char*, int32_t, int64_t> cases[] = {
      {"Hour", 2, 7200},   {"DAY", 1, 86400},        {"minute", -2, -120},     {"day", 24855, 2147472000},
      {"fortnight", 7, 7}, {"nonequidistant", 5, 0}, {"day", 24856, kOverflow}, {"hour", -596524, kOverflow},
  };
  for (const auto& [unit, multiplier, seconds] : cases) {
    clsSeries s;
    s.sTimeStepUnit = unit;
    s.lTimeStepMultiplier = multiplier;
    if (seconds == kOverflow) {
      EXPECT_THROW(s.Timestep(), Error) << unit << multiplier;
    } else {
      EXPECT_EQ(s.Timestep(), seconds) << unit << multiplier;
    }
  }
}

}  // namespace
}  // namespace tidemill
