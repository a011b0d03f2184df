#include "common/Parallel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/Platform.h"

namespace tidemill {
namespace {

using testing::SetEnvironment;

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
  // More threads than cores would only take turns on them.
  const unsigned cores = std::max(std::thread::hardware_concurrency(), 1u);
  EXPECT_EQ(WorkerPool(1000).Threads(), cores);
  EXPECT_EQ(WorkerPool(1).Threads(), 1u);
  int sum = 0;
  ParallelFor(10, 1, [&](std::size_t i) { sum += static_cast<int>(i); });
  EXPECT_EQ(sum, 45);
}

// Zero threads would leave nobody to do the work: only a whole number from 1 counts.
TEST(ThreadsFromEnvironmentTest, AWholeNumberFromOneOrTheCores) {
  const char* const before = std::getenv("TIDEMILL_THREADS");
  const std::string kept = before != nullptr ? before : "";
  SetEnvironment("TIDEMILL_THREADS", nullptr);
  const unsigned cores = ThreadsFromEnvironment();
  EXPECT_GE(cores, 1u);
  for (const char* text : {"0", "", "many", "-3", "3x"}) {
    SetEnvironment("TIDEMILL_THREADS", text);
    EXPECT_EQ(ThreadsFromEnvironment(), cores) << text;
  }
  SetEnvironment("TIDEMILL_THREADS", "3");
  EXPECT_EQ(ThreadsFromEnvironment(), 3u);
  SetEnvironment("TIDEMILL_THREADS", before != nullptr ? kept.c_str() : nullptr);
}

}  // namespace
}  // namespace tidemill
