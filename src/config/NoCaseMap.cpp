#include "config/NoCaseMap.h"

#include <cstdint>

namespace tidemill {

std::size_t NoCaseHash::operator()(std::string_view text) const noexcept {
  // FNV-1a, 64 bits, over the folded bytes.
  uint64_t hash = 14695981039346656037ULL;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(LowerAscii(c));
    hash *= 1099511628211ULL;
  }
  return static_cast<std::size_t>(hash);
}

}  // namespace tidemill
