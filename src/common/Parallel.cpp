#include "common/Parallel.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace tidemill {

namespace {

constexpr unsigned kMostThreads = 256;

}  // namespace

std::optional<uint64_t> EnvironmentCount(const char* name) {
  const char* const text = std::getenv(name);
  if (text == nullptr || *text == '\0') return std::nullopt;
  const char* const end = text + std::strlen(text);
  uint64_t value = 0;
  const auto [stop, error] = std::from_chars(text, end, value);
  if (error != std::errc() || stop != end) return std::nullopt;
  return value;
}

unsigned RunThreads() {
  const std::optional<uint64_t> threads = EnvironmentCount("TIDEMILL_THREADS");
  if (threads && *threads >= 1) return static_cast<unsigned>(std::min<uint64_t>(*threads, kMostThreads));
  return std::clamp(std::thread::hardware_concurrency(), 1u, kMostThreads);
}

void ParallelFor(std::size_t count, unsigned threads, const std::function<void(std::size_t)>& work) {
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  std::exception_ptr failure;
  std::mutex failureLock;
  const auto run = [&] {
    for (std::size_t i; !failed.load(std::memory_order_relaxed) && (i = next.fetch_add(1)) < count;) {
      try {
        work(i);
      } catch (...) {
        const std::lock_guard<std::mutex> hold(failureLock);
        if (failure == nullptr) failure = std::current_exception();
        failed.store(true);
      }
    }
  };
  std::vector<std::thread> helpers;
  const std::size_t wanted = std::min<std::size_t>(threads, count);
  try {
    for (std::size_t t = 1; t < wanted; ++t) helpers.emplace_back(run);
  } catch (const std::system_error&) {
    // Fewer threads to be had: the ones there are do the work.
  }
  run();
  for (std::thread& helper : helpers) helper.join();
  if (failure != nullptr) std::rethrow_exception(failure);
}

}  // namespace tidemill
