// Work spread over the cores.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

namespace tidemill {

// The whole number (decimal digits only) that the environment variable name holds, or nothing.
std::optional<uint64_t> EnvironmentCount(const char* name);

// The threads a run works on: TIDEMILL_THREADS (a whole number from 1, at most 256), else one
// per core.
unsigned RunThreads();

// Calls work(i) for each i from 0 to count - 1 on up to threads threads, the calling one among
// them, each thread taking the next i in turn. The first exception thrown leaves the items not
// yet taken undone and is rethrown once every thread has stopped.
void ParallelFor(std::size_t count, unsigned threads, const std::function<void(std::size_t)>& work);

}  // namespace tidemill
