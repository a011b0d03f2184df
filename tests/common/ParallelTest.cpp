#include "common/Parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace tidemill {
namespace {

// One pool serves loop after loop; where items fail, the lowest one's error comes back whatever
// thread met it first, as one thread doing them in order would report.
TEST(WorkerPoolTest, ServesManyLoopsAndReportsTheLowestFailure) {
  WorkerPool pool(4);
  for (int loop = 0; loop < 200; ++loop) {
    std::vector<std::atomic<int>> done(64);
    pool.For(done.size(), [&](std::size_t i) { ++done[i]; });
    for (const std::atomic<int>& d : done) ASSERT_EQ(d.load(), 1);
    try {
      // Item 7 fails at once; item 3 only after the others have had time to fail.
      pool.For(64, [](std::size_t i) {
        if (i == 3) std::this_thread::sleep_for(std::chrono::microseconds(200));
        if (i == 3 || i >= 7) throw std::runtime_error(std::to_string(i));
      });
      ADD_FAILURE() << "no failure";
    } catch (const std::runtime_error& e) {
      ASSERT_EQ(std::string(e.what()), "3");
    }
  }
  // A loop of nothing, and one pool of one thread.
  pool.For(0, [](std::size_t) { ADD_FAILURE(); });
  int sum = 0;
  ParallelFor(10, 1, [&](std::size_t i) { sum += static_cast<int>(i); });
  EXPECT_EQ(sum, 45);
}

}  // namespace
}  // namespace tidemill
