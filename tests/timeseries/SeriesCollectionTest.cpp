#include "timeseries/SeriesCollection.h"

#include <gtest/gtest.h>

#include "common/Error.h"

namespace tidemill {
namespace {

TEST(SeriesCollectionTest, SharedRecordsByPositionAndKeyInAddOrder) {
  SeriesCollection c;
  for (const char* id : {"A", "B", "C"}) {
    auto s = std::make_shared<clsSeries>();
    s->sLocationID = id;
    c.Add(s, std::to_string(c.Count() + 1));
  }
  ASSERT_EQ(c.Count(), 3);
  EXPECT_EQ(c.Item(1)->sLocationID, "A");
  EXPECT_EQ(c.Item("2"), c.Item(2));
  std::string order;
  for (const auto& s : c) order += s->sLocationID;
  EXPECT_EQ(order, "ABC");
  c.Item("3")->sLocationID = "changed";
  EXPECT_EQ(c.Item(3)->sLocationID, "changed");
}

TEST(SeriesCollectionTest, LookupFailures) {
  SeriesCollection c;
  c.Add(std::make_shared<clsSeries>(), "1");
  const auto numberOf = [](auto&& call) {
    try {
      call();
    } catch (const Error& e) {
      return e.Number();
    }
    return 0;
  };
  EXPECT_EQ(numberOf([&] { c.Item(0); }), kErrSubscript);
  EXPECT_EQ(numberOf([&] { c.Item(2); }), kErrSubscript);
  EXPECT_EQ(numberOf([&] { c.Item("2"); }), kErrInvalidCall);
  EXPECT_EQ(numberOf([&] { c.Add(std::make_shared<clsSeries>(), "1"); }), 457);
  EXPECT_EQ(c.Count(), 1);
}

}  // namespace
}  // namespace tidemill
