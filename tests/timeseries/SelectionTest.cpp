#include "timeseries/Selection.h"

#include <gtest/gtest.h>

namespace tidemill {
namespace {

TEST(SelectionTest, KeyHasOneBlankAfterEachTag) {
  EXPECT_EQ(SelectionKey("A", "B"), "<LOC>A</LOC> <PAR> B</PAR>");
  EXPECT_EQ(SelectionKey("", ""), "<LOC></LOC> <PAR> </PAR>");
}

TEST(SelectionTest, FindsPairsWithoutRegardToCase) {
  Selection selection;
  selection.Add("<LOC>Lobith</LOC> <PAR> Q</PAR>");
  EXPECT_TRUE(selection.HasPair("Lobith", "Q"));
  EXPECT_TRUE(selection.HasPair("LOBITH", "q"));
  EXPECT_TRUE(selection.HasKey("<loc>lobith</loc> <par> q</par>"));
  EXPECT_FALSE(selection.HasPair("Lobith", "H"));
  EXPECT_FALSE(selection.HasPair("Lobith ", "Q"));
  // Swapped roles are another pair.
  selection.AddPair("X", "Y");
  EXPECT_FALSE(selection.HasPair("Y", "X"));
}

TEST(SelectionTest, RepeatedKeyIsHeldOnce) {
  Selection selection;
  selection.AddPair("A", "B");
  selection.AddPair("a", "b");
  selection.Add(SelectionKey("A", "B"));
  EXPECT_EQ(selection.Count(), 1u);
}

}  // namespace
}  // namespace tidemill
