#include "timeseries/Selection.h"

#include <gtest/gtest.h>

namespace tidemill {
namespace {

TEST(SelectionTest, HoldsEachPairOnceWithoutRegardToCase) {
  Selection selection;
  selection.Add("<LOC>Lobith</LOC> <PAR> Q</PAR>");
  selection.AddPair("lobith", "q");
  EXPECT_EQ(selection.Count(), 1u);
  EXPECT_TRUE(selection.HasPair("LOBITH", "Q"));
  EXPECT_TRUE(selection.HasKey("<loc>lobith</loc> <par> q</par>"));
  EXPECT_FALSE(selection.HasPair("Lobith", "H"));
  EXPECT_FALSE(selection.HasPair("Lobith ", "Q"));
  EXPECT_FALSE(selection.HasPair("Q", "Lobith"));  // swapped roles are another pair
}

}  // namespace
}  // namespace tidemill
