#include "timeseries/SeriesBlock.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/FaultyFileSystem.h"

namespace tidemill {
namespace {

using testing::ErrorOf;

// The layout (location outermost, time fastest) is pinned by the QX writer's golden side file.
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
      {[&] { block.Value(2, 3, 1); }, "Error 9 (Subscript out of range: series of location 2, parameter 3 beyond the block's 20 values)"},
      {[] { SeriesBlock(1, 1, -2); }, "Error 9 (Subscript out of range: time count -2)"},
  };
  for (const auto& c : cases) EXPECT_EQ(ErrorOf(c.call), c.error);
  EXPECT_EQ(block.Value(2, 2, 4), kMissingValue);  // the last value still held
}

TEST(SeriesBlockTest, CheckShapeNamesTheShortArray) {
  const struct {
    std::function<void(SeriesBlock&)> damage;
    const char* error;
  } cases[] = {
      {[](SeriesBlock&) {}, "no error"},
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
    EXPECT_EQ(ErrorOf([&] { block.CheckShape(); }), c.error);
  }
}

}  // namespace
}  // namespace tidemill
