#include "timeseries/SeriesCollection.h"

#include <gtest/gtest.h>

#include "common/Error.h"

namespace tidemill {
namespace {

SeriesCollection::Record Named(const char* location) {
  auto s = std::make_shared<clsSeries>();
  s->sLocationID = location;
  return s;
}

TEST(SeriesCollectionTest, ItemsByPositionAndByKeyInAddOrder) {
  SeriesCollection c;
  c.Add(Named("A"), "1");
  c.Add(Named("B"), "2");
  c.Add(Named("C"), "3");
  ASSERT_EQ(c.Count(), 3);
  EXPECT_EQ(c.Item(1)->sLocationID, "A");
  EXPECT_EQ(c.Item(3)->sLocationID, "C");
  EXPECT_EQ(c.Item("2")->sLocationID, "B");
  EXPECT_TRUE(c.HasKey("3"));
  EXPECT_FALSE(c.HasKey("4"));
  std::string order;
  for (const auto& s : c) order += s->sLocationID;
  EXPECT_EQ(order, "ABC");
}

TEST(SeriesCollectionTest, RecordsAreSharedNotCopied) {
  SeriesCollection c;
  auto record = Named("A");
  c.Add(record, "1");
  record->sLocationID = "changed";
  EXPECT_EQ(c.Item(1).get(), record.get());
  EXPECT_EQ(c.Item("1")->sLocationID, "changed");
}

TEST(SeriesCollectionTest, LookupFailures) {
  SeriesCollection c;
  c.Add(Named("A"), "1");
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
  EXPECT_EQ(numberOf([&] { c.Add(Named("B"), "1"); }), 457);
  EXPECT_EQ(c.Count(), 1);
}

}  // namespace
}  // namespace tidemill
