#include "common/DateTime.h"
#include "timeseries/Series.h"

#include <gtest/gtest.h>

#include <cmath>
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

TEST(SeriesTest, EntriesOfALongSeriesReadBackAsWritten) {
  // Appended one event at a time, as the reader does; then a second series written sparsely.
  constexpr int32_t kCount = 200001;
  clsSeries s;
  for (int32_t k = 1; k <= kCount; ++k) {
    s.lValCounter(k);
    s.dtEventDate(k, k + 1e-6);  // not whole seconds
    s.sngValues(k, k == 7 ? -0.0f : static_cast<float>(-k));
    s.lFlag(k, k % 1000);
  }
  for (int32_t k = 1; k <= kCount; ++k) {
    ASSERT_EQ(s.dtEventDate(k), k + 1e-6) << k;
    ASSERT_EQ(s.sngValues(k), k == 7 ? 0.0f : static_cast<float>(-k)) << k;
    ASSERT_EQ(s.lFlag(k), k % 1000) << k;
  }
  EXPECT_TRUE(std::signbit(s.sngValues(7)));

  // Entries never written read 0, however far from the written ones; a 0 written stays 0.
  clsSeries gap;
  gap.lValCounter(kCount);
  gap.sngValues(3, 3.0f);
  gap.sngValues(150000, 7.0f);
  gap.lFlag(70000, 4);
  gap.lFlag(4, 0);
  for (int32_t i : {1, 3, 4, 70000, 70001, 149999, 150000, 150001, kCount}) {
    SCOPED_TRACE(i);
    EXPECT_EQ(gap.sngValues(i), i == 3 ? 3.0f : (i == 150000 ? 7.0f : 0.0f));
    EXPECT_EQ(gap.lFlag(i), i == 70000 ? 4.0 : 0.0);
    EXPECT_EQ(gap.dtEventDate(i), 0.0);
  }
}

TEST(SeriesTest, BulkFillWritesValuesOnly) {
  const int32_t count = 150003;
  clsSeries s;
  s.lFlag(2, 6);
  s.lValCounter(count);
  int32_t next = 1;  // runs come in order, without gaps
  s.FillValues(count, [&](int32_t first, float* values, std::size_t length) {
    EXPECT_EQ(first, next);
    next += static_cast<int32_t>(length);
    for (std::size_t j = 0; j < length; ++j) values[j] = static_cast<float>(first + static_cast<int32_t>(j));
  });
  EXPECT_EQ(next, count + 1);
  for (int32_t i = 1; i <= count; ++i) ASSERT_EQ(s.sngValues(i), static_cast<float>(i)) << i;
  EXPECT_EQ(s.lFlag(2), 6.0);
  EXPECT_EQ(ErrorNumberOf([&] { s.FillValues(s.Capacity() + 1, {}); }), kErrSubscript);

  // A run that fails leaves its entries as they were: not written reads 0.
  clsSeries failed;
  failed.lValCounter(10);
  failed.sngValues(2, 1.0f);
  EXPECT_THROW(failed.FillValues(10, [](int32_t, float* values, std::size_t) {
    values[0] = 9.0f;
    throw Error(kErrDeviceIO);
  }), Error);
  EXPECT_EQ(failed.sngValues(2), 1.0f);
  EXPECT_EQ(failed.sngValues(5), 0.0f);
}

TEST(SeriesTest, RegularInstantsReadAsWrittenOnes) {
  const double start = 38053.0, step = 1.0 / 24;
  const auto rule = [&](int32_t i) { return start + (i - 1) * step; };
  clsSeries s;
  for (int32_t i = 1; i <= 6; ++i) s.dtEventDate(i, -i);  // earlier instants, some beyond the rule
  s.RegularInstants(4, start, step);
  const double before[] = {rule(1), rule(2), rule(3), rule(4), -5, -6, 0};
  for (int32_t i = 1; i <= 7; ++i) EXPECT_EQ(s.dtEventDate(i), before[i - 1]) << i;

  s.dtEventDate(2, 7.5);  // writing one instant keeps every other, the rule's included
  const double after[] = {rule(1), 7.5, rule(3), rule(4), -5, -6, 0};
  for (int32_t i = 1; i <= 7; ++i) EXPECT_EQ(s.dtEventDate(i), after[i - 1]) << i;
  EXPECT_EQ(ErrorNumberOf([&] { s.RegularInstants(10001, 0, 1); }), kErrSubscript);

  // Hourly instants as the reader makes them (day + fraction), one off the step, one rewritten.
  const auto hourly = [](int32_t i) {
    return DateSerial(1899, 12, 20 + (i - 1) / 24) + TimeSerial((i - 1) % 24, 0, 0) + (i == 5000 ? 1e-6 : 0);
  };
  clsSeries kept;
  kept.lValCounter(200000);
  for (int32_t i = 1; i <= 200000; ++i) kept.dtEventDate(i, hourly(i));
  kept.dtEventDate(2, 0.5);
  for (int32_t i = 1; i <= 200000; ++i) ASSERT_EQ(kept.dtEventDate(i), i == 2 ? 0.5 : hourly(i)) << i;
}

TEST(SeriesTest, TimestepFromUnitAndMultiplier) {
  struct Case {
    const char* unit;
    int32_t multiplier;
    int32_t seconds;  // 0 with error 6 expected when overflow is set
    bool overflow = false;
  };
  const Case cases[] = {
      {"Hour", 2, 7200},          {"DAY", 1, 86400},         {"minute", 15, 900},     {"second", 3600, 3600},
      {"fortnight", 7, 7},        {"", 3, 3},                {"nonequidistant", 5, 0}, {"day", 0, 0},
      {"minute", -2, -120},       {"day", 24855, 2147472000}, {"day", 24856, 0, true}, {"hour", -596524, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.unit) + " x " + std::to_string(c.multiplier));
    clsSeries s;
    s.sTimeStepUnit = c.unit;
    s.lTimeStepMultiplier = c.multiplier;
    if (c.overflow) {
      EXPECT_EQ(ErrorNumberOf([&] { s.Timestep(); }), kErrOverflow);
    } else {
      EXPECT_EQ(s.Timestep(), c.seconds);
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
