// Little-endian file data on any host.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tidemill {

inline uint32_t ByteSwap32(uint32_t u) {
  return (u >> 24) | ((u >> 8) & 0xFF00u) | ((u << 8) & 0xFF0000u) | (u << 24);
}

// A little-endian int32 at p.
inline int32_t LoadLittleInt32(const void* p) {
  uint32_t u;
  std::memcpy(&u, p, 4);
  if constexpr (std::endian::native == std::endian::big) u = ByteSwap32(u);
  return static_cast<int32_t>(u);
}

// Stores value at p as a little-endian int32.
inline void StoreLittleInt32(void* p, int32_t value) {
  auto u = static_cast<uint32_t>(value);
  if constexpr (std::endian::native == std::endian::big) u = ByteSwap32(u);
  std::memcpy(p, &u, 4);
}

// Turns singles between little-endian file order and the host's order, in place (nothing to
// do on a little-endian host).
inline void SwapLittleFloats(float* values, std::size_t count) {
  if constexpr (std::endian::native == std::endian::big) {
    for (std::size_t i = 0; i < count; ++i) values[i] = std::bit_cast<float>(ByteSwap32(std::bit_cast<uint32_t>(values[i])));
  } else {
    (void)values, (void)count;
  }
}

}  // namespace tidemill
