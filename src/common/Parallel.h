// Work spread over the cores.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace tidemill {

// The whole number (decimal digits only) that the environment variable name holds, or nothing.
std::optional<uint64_t> EnvironmentWholeNumber(const char* name);

// The threads TIDEMILL_THREADS asks for (a whole number from 1, at most 256); for anything else,
// one per core.
unsigned ThreadsFromEnvironment();

// Threads started once for a job of several parallel loops. For calls work(i) for each i from
// 0 to count - 1 on the pool's threads and the calling one, each taking the next i in turn. The
// first failure leaves the items not yet taken undone; once every thread has stopped, the
// exception of the lowest item that failed is rethrown, as one thread doing them in order would.
// No more threads run than there are cores; where fewer can be started, those there are do the
// work.
class WorkerPool {
 public:
  explicit WorkerPool(unsigned threads);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  void For(std::size_t count, const std::function<void(std::size_t)>& work);
  // The threads that do the work, the calling one among them: at most one per core.
  unsigned Threads() const { return static_cast<unsigned>(helpers_.size()) + 1; }

 private:
  struct Loop;
  void Help();

  std::mutex lock_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  Loop* loop_ = nullptr;  // the loop under way
  uint64_t loops_ = 0;    // loops started, by which a helper knows a new one
  unsigned busy_ = 0;     // helpers in the loop under way
  bool stopping_ = false;
  std::vector<std::thread> helpers_;
};

// One loop on up to threads threads (WorkerPool::For) for a job of one loop.
void ParallelFor(std::size_t count, unsigned threads, const std::function<void(std::size_t)>& work);

}  // namespace tidemill
