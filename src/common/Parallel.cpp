#include "common/Parallel.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <limits>

namespace tidemill {

namespace {

constexpr unsigned kMostThreads = 256;

}  // namespace

std::optional<uint64_t> EnvironmentWholeNumber(const char* name) {
  const char* const text = std::getenv(name);
  if (text == nullptr || *text == '\0') return std::nullopt;
  const char* const end = text + std::strlen(text);
  uint64_t value = 0;
  const auto [stop, error] = std::from_chars(text, end, value);
  if (error != std::errc() || stop != end) return std::nullopt;
  return value;
}

unsigned ThreadsFromEnvironment() {
  const std::optional<uint64_t> threads = EnvironmentWholeNumber("TIDEMILL_THREADS");
  if (threads && *threads >= 1) return static_cast<unsigned>(std::min<uint64_t>(*threads, kMostThreads));
  return std::clamp(std::thread::hardware_concurrency(), 1u, kMostThreads);
}

struct WorkerPool::Loop {
  Loop(const std::function<void(std::size_t)>& w, std::size_t n) : work(w), count(n) {}

  const std::function<void(std::size_t)>& work;
  std::size_t count;
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  std::mutex failureLock;
  std::size_t failedItem = std::numeric_limits<std::size_t>::max();
  std::exception_ptr failure;

  void Run() {
    for (std::size_t i; !failed.load(std::memory_order_relaxed) && (i = next.fetch_add(1)) < count;) {
      try {
        work(i);
      } catch (...) {
        const std::lock_guard<std::mutex> hold(failureLock);
        if (i < failedItem) {
          failedItem = i;
          failure = std::current_exception();
        }
        failed.store(true);
      }
    }
  }
};

WorkerPool::WorkerPool(unsigned threads) {
  // More threads than cores would only take turns on them, each evicting the others' data.
  const unsigned cores = std::max(std::thread::hardware_concurrency(), 1u);
  const unsigned wanted = std::clamp(threads, 1u, std::min(cores, kMostThreads));
  // Reserved first, so that no started thread is lost to a growth that fails.
  helpers_.reserve(wanted - 1);
  try {
    for (unsigned t = 1; t < wanted; ++t) helpers_.emplace_back([this] { Help(); });
  } catch (...) {
    // Fewer threads to be had: the ones there are do the work.
  }
}

WorkerPool::~WorkerPool() {
  {
    const std::lock_guard<std::mutex> hold(lock_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& helper : helpers_) helper.join();
}

void WorkerPool::Help() {
  uint64_t seen = 0;
  std::unique_lock<std::mutex> hold(lock_);
  for (;;) {
    wake_.wait(hold, [&] { return stopping_ || (loop_ != nullptr && loops_ != seen); });
    if (stopping_) return;
    seen = loops_;
    Loop* const loop = loop_;
    ++busy_;
    hold.unlock();
    loop->Run();
    hold.lock();
    if (--busy_ == 0) idle_.notify_all();
  }
}

void WorkerPool::For(std::size_t count, const std::function<void(std::size_t)>& work) {
  Loop loop(work, count);
  if (count > 1 && !helpers_.empty()) {
    {
      const std::lock_guard<std::mutex> hold(lock_);
      loop_ = &loop;
      ++loops_;
    }
    wake_.notify_all();
  }
  loop.Run();
  {
    // No helper may still hold the loop once it is gone.
    std::unique_lock<std::mutex> hold(lock_);
    idle_.wait(hold, [&] { return busy_ == 0; });
    loop_ = nullptr;
  }
  if (loop.failure != nullptr) std::rethrow_exception(loop.failure);
}

void ParallelFor(std::size_t count, unsigned threads, const std::function<void(std::size_t)>& work) {
  WorkerPool pool(static_cast<unsigned>(std::min<std::size_t>(threads, count)));
  pool.For(count, work);
}

}  // namespace tidemill
