#include "common/Memory.h"

#include <gtest/gtest.h>

namespace tidemill {
namespace {

TEST(ReserveLargeBuffer, KeepsContentsAndTakesAnySize) {
  for (const std::size_t size : {std::size_t{0}, std::size_t{100}, std::size_t{8} << 20}) {
    std::string buffer = "kept";
    ReserveLargeBuffer(buffer, size);
    EXPECT_GE(buffer.capacity(), size);
    EXPECT_EQ(buffer, "kept");
    const char* data = buffer.data();
    buffer.append(size > 4 ? size - 4 : 0, 'x');
    EXPECT_EQ(buffer.data(), data) << "the reserved room was not enough";
  }
}

}  // namespace
}  // namespace tidemill
