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

TEST(SeriesTest, NewRecordIsEmptyWithIndexesUpTo10000) {
  clsSeries s;
  EXPECT_EQ(s.lValCounter(), 0);
  EXPECT_EQ(s.Capacity(), 10000);
  EXPECT_EQ(s.sngValues(1), 0.0f);
  EXPECT_EQ(s.dtEventDate(10000), 0.0);
  EXPECT_EQ(s.Timestep(), 0);
  for (int32_t index : {0, -1, 10001, std::numeric_limits<int32_t>::min()}) {
    SCOPED_TRACE(index);
    EXPECT_EQ(ErrorNumberOf([&] { s.sngValues(index, 1.0f); }), kErrSubscript);
    EXPECT_EQ(ErrorNumberOf([&] { s.dtEventDate(index); }), kErrSubscript);
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
  const std::pair<int32_t, int32_t> cases[] = {{0, 10000},     {10000, 10000}, {10001, 20000},
                                               {35041, 40000}, {-3, 10000},    {2147480000, 2147480000}};
  for (auto [count, capacity] : cases) {
    SCOPED_TRACE(count);
    clsSeries s;
    s.lValCounter(count);
    EXPECT_EQ(s.lValCounter(), count);
    EXPECT_EQ(s.Capacity(), capacity);
  }
  clsSeries s;
  s.lValCounter(12);
  EXPECT_EQ(ErrorNumberOf([&] { s.lValCounter(2147480001); }), kErrOverflow);
  EXPECT_EQ(s.lValCounter(), 12);
  EXPECT_EQ(s.Capacity(), 10000);
}

TEST(SeriesTest, GrowingKeepsEntriesAndEveryNewIndexReadsZeroUntilWritten) {
  clsSeries s;
  for (int32_t i = 1; i <= 10000; ++i) {
    s.sngValues(i, static_cast<float>(i));
    s.dtEventDate(i, i + 0.5);
    s.lFlag(i, i % 7);
  }
  s.lValCounter(35041);
  EXPECT_EQ(s.Capacity(), 40000);
  s.dtEventDate(40000, 7.0);
  for (int32_t i = 1; i <= 40000; ++i) {
    const bool old = i <= 10000;
    ASSERT_EQ(s.sngValues(i), old ? static_cast<float>(i) : 0.0f) << i;
    ASSERT_EQ(s.dtEventDate(i), old ? i + 0.5 : (i == 40000 ? 7.0 : 0.0)) << i;
    ASSERT_EQ(s.lFlag(i), old ? i % 7 : 0) << i;
  }
  EXPECT_EQ(ErrorNumberOf([&] { s.sngValues(40001, 1.0f); }), kErrSubscript);
}

TEST(SeriesTest, EntriesAcrossStorageBlocks) {
  // Appending one event at a time, as the reader does, across three block boundaries: every
  // entry keeps its value, and storage is taken a block at a time.
  constexpr auto kBlock = static_cast<int32_t>(clsSeries::kBlockSize);
  constexpr std::size_t kBlockBytes = clsSeries::kBlockSize * (sizeof(float) + sizeof(double) + sizeof(int32_t));
  clsSeries s;
  EXPECT_EQ(s.StorageBytes(), 0u);
  for (int32_t k = 1; k <= 3 * kBlock + 1; ++k) {
    s.lValCounter(k);
    s.dtEventDate(k, k + 1e-6);  // not whole seconds: stored
    s.sngValues(k, static_cast<float>(-k));
    s.lFlag(k, k % 1000);
    if (k == kBlock || k == kBlock + 1) {
      EXPECT_EQ(s.StorageBytes(), (k == kBlock ? 1 : 2) * kBlockBytes);
    }
  }
  for (int32_t k = 1; k <= 3 * kBlock + 1; ++k) {
    ASSERT_EQ(s.dtEventDate(k), k + 1e-6) << k;
    ASSERT_EQ(s.sngValues(k), static_cast<float>(-k)) << k;
    ASSERT_EQ(s.lFlag(k), k % 1000) << k;
  }

  // A write far past the last one: the entries between, in blocks never written, read 0.
  clsSeries gap;
  gap.lValCounter(5 * kBlock);
  EXPECT_EQ(gap.StorageBytes(), 0u);  // a large count alone takes no storage
  gap.sngValues(3, 3.0f);
  gap.sngValues(2 * kBlock + 5, 7.0f);
  gap.lFlag(kBlock, 4);
  const int32_t probes[] = {1, 3, 4, kBlock, kBlock + 1, 2 * kBlock, 2 * kBlock + 4, 2 * kBlock + 5, 2 * kBlock + 6, 5 * kBlock};
  for (int32_t i : probes) {
    SCOPED_TRACE(i);
    EXPECT_EQ(gap.sngValues(i), i == 3 ? 3.0f : (i == 2 * kBlock + 5 ? 7.0f : 0.0f));
    EXPECT_EQ(gap.lFlag(i), i == kBlock ? 4.0 : 0.0);
    EXPECT_EQ(gap.dtEventDate(i), 0.0);
  }
}

TEST(SeriesTest, ZerosPastTheWrittenEntriesTakeNoStorage) {
  constexpr auto kBlock = static_cast<int32_t>(clsSeries::kBlockSize);
  clsSeries s;
  for (int32_t k = 1; k <= kBlock + 1; ++k) {
    s.lValCounter(k);
    s.dtEventDate(k, k + 1e-6);
    s.sngValues(k, k == 7 ? -0.0f : 0.0f);
    s.lFlag(k, 0);
  }
  // The instants take two blocks; the flags none; the values one, up to the -0.
  EXPECT_EQ(s.StorageBytes(), clsSeries::kBlockSize * (2 * sizeof(double) + sizeof(float)));
  EXPECT_TRUE(std::signbit(s.sngValues(7)));
  EXPECT_FALSE(std::signbit(s.sngValues(8)));
  s.lFlag(kBlock, 3);
  for (int32_t k : {1, kBlock - 1, kBlock + 1}) EXPECT_EQ(s.lFlag(k), 0.0) << k;
  EXPECT_EQ(s.lFlag(kBlock), 3.0);
  s.lFlag(kBlock, 0);  // within the written ones, a 0 is stored
  EXPECT_EQ(s.lFlag(kBlock), 0.0);
}

TEST(SeriesTest, BulkFillComesInRunsWithinOneBlock) {
  constexpr std::size_t kBlock = clsSeries::kBlockSize;
  clsSeries s;
  s.lFlag(2, 6);
  const auto count = static_cast<int32_t>(2 * kBlock + 3);
  s.lValCounter(count);
  std::vector<std::pair<int32_t, std::size_t>> runs;
  s.FillValues(count, [&](int32_t first, float* values, std::size_t length) {
    runs.emplace_back(first, length);
    for (std::size_t j = 0; j < length; ++j) values[j] = static_cast<float>(first + static_cast<int32_t>(j));
  });
  const std::vector<std::pair<int32_t, std::size_t>> expected = {
      {1, kBlock}, {static_cast<int32_t>(kBlock) + 1, kBlock}, {static_cast<int32_t>(2 * kBlock) + 1, 3}};
  EXPECT_EQ(runs, expected);
  for (int32_t i : {1, 2, static_cast<int32_t>(kBlock), static_cast<int32_t>(kBlock) + 1, count}) {
    SCOPED_TRACE(i);
    EXPECT_EQ(s.sngValues(i), static_cast<float>(i));
    EXPECT_EQ(s.lFlag(i), i == 2 ? 6.0 : 0.0);  // flags are not touched
  }
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

TEST(SeriesTest, RegularInstantsReadAsWrittenOnesAndTakeNoStorage) {
  const double start = 38053.0, step = 1.0 / 24;
  const auto rule = [&](int32_t i) { return start + (i - 1) * step; };
  clsSeries s;
  for (int32_t i = 1; i <= 6; ++i) s.dtEventDate(i, -i);  // earlier instants, some beyond the rule
  s.RegularInstants(4, start, step);
  EXPECT_EQ(s.StorageBytes(), clsSeries::kBlockSize * sizeof(double));  // nothing added
  const double before[] = {rule(1), rule(2), rule(3), rule(4), -5, -6, 0};
  for (int32_t i = 1; i <= 7; ++i) EXPECT_EQ(s.dtEventDate(i), before[i - 1]) << i;

  // Writing one instant keeps every other, the rule's included.
  s.dtEventDate(2, 7.5);
  const double after[] = {rule(1), 7.5, rule(3), rule(4), -5, -6, 0};
  for (int32_t i = 1; i <= 7; ++i) EXPECT_EQ(s.dtEventDate(i), after[i - 1]) << i;

  // A new rule over a shorter range: the old one's instants beyond it stay.
  clsSeries twice;
  twice.RegularInstants(3, 1.0, 1.0);
  twice.RegularInstants(2, 10.0, 2.0);
  EXPECT_EQ(twice.dtEventDate(1), 10.0);
  EXPECT_EQ(twice.dtEventDate(2), 12.0);
  EXPECT_EQ(twice.dtEventDate(3), 3.0);
  EXPECT_EQ(ErrorNumberOf([&] { twice.RegularInstants(10001, 0, 1); }), kErrSubscript);

  clsSeries large;
  large.lValCounter(3 * static_cast<int32_t>(clsSeries::kBlockSize));
  large.RegularInstants(large.lValCounter(), start, step);
  EXPECT_EQ(large.StorageBytes(), 0u);
  EXPECT_EQ(large.dtEventDate(large.lValCounter()), rule(large.lValCounter()));
}

TEST(SeriesTest, InstantsAtOneStepOfWholeSecondsTakeNoStorage) {
  // Hourly instants as the reader makes them (day + fraction), one of them off the step.
  const auto hourly = [](int32_t i) { return DateSerial(1899, 12, 20 + (i - 1) / 24) + TimeSerial((i - 1) % 24, 0, 0); };
  const auto instant = [&](int32_t i) { return i == 5000 ? hourly(i) + 1e-6 : hourly(i); };
  clsSeries s;
  s.lValCounter(3 * static_cast<int32_t>(clsSeries::kBlockSize));
  for (int32_t i = 1; i <= s.lValCounter(); ++i) s.dtEventDate(i, instant(i));
  EXPECT_EQ(s.StorageBytes(), 3 * clsSeries::kBlockSize * sizeof(double));  // from event 5000 on
  for (int32_t i = 1; i <= s.lValCounter(); ++i) ASSERT_EQ(s.dtEventDate(i), instant(i)) << i;

  clsSeries kept;
  for (int32_t i = 1; i <= 4000; ++i) kept.dtEventDate(i, hourly(i));
  EXPECT_EQ(kept.StorageBytes(), 0u);
  kept.dtEventDate(2, 0.5);  // within the rule: the others stay as they were
  kept.dtEventDate(4001, hourly(4001));
  for (int32_t i = 1; i <= 4001; ++i) ASSERT_EQ(kept.dtEventDate(i), i == 2 ? 0.5 : hourly(i)) << i;
}

TEST(SeriesTest, LoweringTheCountKeepsTheEntriesAbove) {
  clsSeries s;
  s.lValCounter(500);
  for (int32_t i = 1; i <= 500; ++i) s.sngValues(i, static_cast<float>(1000 + i));
  s.lValCounter(3);
  EXPECT_EQ(s.Capacity(), 10000);
  for (int32_t i = 4; i <= 500; ++i) ASSERT_EQ(s.sngValues(i), static_cast<float>(1000 + i));
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

TEST(SeriesTest, FlagRoundsHalfToEvenAndReadsBackOnlyWithinTheDateRange) {
  const std::pair<double, double> cases[] = {{2.5, 2}, {3.5, 4}, {-0.5, 0}, {-1.5, -2}, {2958465, 2958465}, {-657434, -657434}};
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
