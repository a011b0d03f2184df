#include "common/Memory.h"

#include <sys/mman.h>

#include <cstdint>

namespace tidemill {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

}  // namespace

void ReserveLargeBuffer(std::string& buffer, std::size_t size) {
  buffer.reserve(size);
  AdviseHugePages(buffer.data(), buffer.capacity());
}

void AdviseHugePages(const void* data, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
  if (bytes < 2 * kHugePage) return;
  // Only whole huge pages inside the allocation can be advised.
  const auto start = reinterpret_cast<std::uintptr_t>(data);
  const auto end = start + bytes;
  const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t last = end & ~(kHugePage - 1);
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
}

}  // namespace tidemill
