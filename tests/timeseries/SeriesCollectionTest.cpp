#include "timeseries/SeriesCollection.h"

#include <gtest/gtest.h>

#include "support/FaultyFileSystem.h"

namespace tidemill {
namespace {

using testing::ErrorOf;

TEST(SeriesCollectionTest, RecordsInAddOrderAndLookupFailures) {
  SeriesCollection c;
  for (const char* id : {"A", "B"}) {
    c.Add(std::make_shared<clsSeries>(), std::to_string(c.Count() + 1));
    c.Item(c.Count())->sLocationID = id;
  }
  std::string order;
  for (const auto& s : c) order += s->sLocationID;
  EXPECT_EQ(order, "AB");
  EXPECT_EQ(ErrorOf([&] { c.Item(0); }), "Error 9 (Subscript out of range: series 0 of a collection of 2)");
  EXPECT_EQ(ErrorOf([&] { c.Item(3); }), "Error 9 (Subscript out of range: series 3 of a collection of 2)");
  EXPECT_EQ(ErrorOf([&] { c.Item("3"); }), "Error 5 (Invalid procedure call or argument: no series under the key \"3\")");
  EXPECT_EQ(ErrorOf([&] { c.Add(std::make_shared<clsSeries>(), "1"); }),
            "Error 457 (This key is already associated with an element of this collection: \"1\")");
  EXPECT_EQ(c.Count(), 2);
}

}  // namespace
}  // namespace tidemill
