#include "config/NoCaseMap.h"

#include <gtest/gtest.h>

namespace tidemill {
namespace {

TEST(NoCaseMapTest, FoldsAsciiLettersOnly) {
  NoCaseMap<int> map;
  map.emplace("Rhine", 1);
  map.emplace("\xC3\x84", 2);  // Ä
  EXPECT_EQ(map.count(std::string_view("rHINE")), 1u);
  EXPECT_EQ(map.count(std::string_view("Rhine ")), 0u);
  EXPECT_EQ(map.count(std::string_view("\xC3\xA4")), 0u);  // ä is another key
  EXPECT_FALSE(map.emplace("RHINE", 3).second);
  EXPECT_EQ(NoCaseHash()("Lobith"), NoCaseHash()("LOBITH"));
  EXPECT_NE(NoCaseHash()("Lobith"), NoCaseHash()("Lobit"));
}

}  // namespace
}  // namespace tidemill
