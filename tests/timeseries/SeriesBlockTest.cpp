#include "timeseries/SeriesBlock.h"

#include <gtest/gtest.h>

#include <functional>

#include "common/Error.h"

namespace tidemill {
namespace {

// The error a call raises, as "Error N (description)".
std::string RaisedError(const std::function<void()>& call) {
  try {
    call();
  } catch (const Error& e) {
    return ErrorSummary(e);
  }
  return "no error";
}

TEST(SeriesBlockTest, NewBlockIsSizedAndMissing) {
  const SeriesBlock block(2, 3, 4);
  EXPECT_EQ(block.sLocationIDs.size(), 2u);
  EXPECT_EQ(block.sParameterIDs.size(), 3u);
  EXPECT_EQ(block.dtTimes.size(), 4u);
  EXPECT_EQ(block.sngValues, std::vector<float>(24, kMissingValue));
  EXPECT_NO_THROW(block.CheckShape());
}

TEST(SeriesBlockTest, OneBasedWithTimeRunningFastest) {
  SeriesBlock block(2, 3, 4);
  for (int32_t l = 1; l <= 2; ++l) {
    for (int32_t p = 1; p <= 3; ++p) {
      for (int32_t t = 1; t <= 4; ++t) block.Value(l, p, t) = static_cast<float>(100 * l + 10 * p + t);
    }
  }
  // Location outermost, then parameter, then time.
  EXPECT_EQ(block.sngValues[0], 111.0f);
  EXPECT_EQ(block.sngValues[4], 121.0f);
  EXPECT_EQ(block.sngValues[12], 211.0f);
  EXPECT_EQ(block.sngValues[23], 234.0f);
  const auto run = block.Series(2, 2);
  ASSERT_EQ(run.size(), 4u);
  EXPECT_EQ(run.data(), block.sngValues.data() + 16);
  EXPECT_EQ(run[3], 224.0f);
  block.LocationID(2) = std::string("B");
  block.ParameterID(1) = std::string("Q");
  block.Time(4) = 38053.25;
  EXPECT_EQ(block.sLocationIDs[1], "B");
  EXPECT_EQ(block.sParameterIDs[0], "Q");
  EXPECT_EQ(block.dtTimes[3], 38053.25);
}

TEST(SeriesBlockTest, IndexOutsideCountOrArrayIsError9) {
  SeriesBlock block(2, 3, 4);
  block.sParameterIDs.resize(2);
  block.sngValues.resize(20);
  const struct {
    std::function<void()> call;
    const char* error;
  } cases[] = {
      {[&] { block.LocationID(0); }, "Error 9 (Subscript out of range: location 0 outside 1 to 2)"},
      {[&] { block.Time(5); }, "Error 9 (Subscript out of range: time 5 outside 1 to 4)"},
      {[&] { block.Value(1, 1, 0); }, "Error 9 (Subscript out of range: time 0 outside 1 to 4)"},
      {[&] { block.Value(3, 1, 1); }, "Error 9 (Subscript out of range: location 3 outside 1 to 2)"},
      {[&] { block.Series(1, 4); }, "Error 9 (Subscript out of range: parameter 4 outside 1 to 3)"},
      {[&] { block.ParameterID(3); }, "Error 9 (Subscript out of range: parameter 3 beyond the block's 2 entries)"},
      {[&] { block.Value(2, 3, 1); }, "Error 9 (Subscript out of range: series (2, 3) beyond the block's 20 values)"},
  };
  for (const auto& c : cases) EXPECT_EQ(RaisedError(c.call), c.error);
  EXPECT_EQ(block.Value(2, 2, 4), kMissingValue);  // the last value still held
}

TEST(SeriesBlockTest, CheckShapeNamesTheShortArray) {
  const struct {
    std::function<void(SeriesBlock&)> damage;
    const char* error;
  } cases[] = {
      {[](SeriesBlock& b) { b.sLocationIDs.pop_back(); },
       "Error 9 (Subscript out of range: the block holds 1 location IDs for a count of 2)"},
      {[](SeriesBlock& b) { b.sParameterIDs.clear(); },
       "Error 9 (Subscript out of range: the block holds 0 parameter IDs for a count of 3)"},
      {[](SeriesBlock& b) { b.lTimeCount = 5; },
       "Error 9 (Subscript out of range: the block holds 4 times for a count of 5)"},
      {[](SeriesBlock& b) { b.sngValues.pop_back(); },
       "Error 9 (Subscript out of range: the block holds 23 values for 2 x 3 x 4)"},
      {[](SeriesBlock& b) { b.lParameterCount = -1; }, "Error 9 (Subscript out of range: parameter count -1)"},
      {[](SeriesBlock& b) { b.lLocationCount = b.lParameterCount = b.lTimeCount = 0x7fffffff; },
       "Error 6 (Overflow)"},
      // Longer arrays than the counts need are no error.
      {[](SeriesBlock& b) { b.lTimeCount = 3; }, "no error"},
  };
  for (const auto& c : cases) {
    SeriesBlock block(2, 3, 4);
    c.damage(block);
    EXPECT_EQ(RaisedError([&] { block.CheckShape(); }), c.error);
  }
  EXPECT_EQ(RaisedError([] { SeriesBlock(1, 1, -2); }), "Error 9 (Subscript out of range: time count -2)");
}

}  // namespace
}  // namespace tidemill
