#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#include "common/Memory.h"

namespace tidemill {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

}  // namespace

void AdviseHugePages(const void* data, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
  if (bytes < 2 * kHugePage) return;
  // Only whole huge pages inside the allocation can be advised.
  const auto start = reinterpret_cast<std::uintptr_t>(data);
  const auto end = start + bytes;
  const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t last = end & ~(kHugePage - 1);
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
  (void)data, (void)bytes;
#endif
}

void PrefaultPages(void* begin, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
  static const auto kPage = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto from = (reinterpret_cast<uintptr_t>(begin) + kPage - 1) & ~(kPage - 1);
  const auto to = (reinterpret_cast<uintptr_t>(begin) + bytes) & ~(kPage - 1);
  if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
#else
  (void)begin, (void)bytes;
#endif
}

}  // namespace tidemill
