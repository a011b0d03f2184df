// Large in-memory buffers.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tidemill {

// Reserves room for size bytes in buffer and asks the kernel to back it with huge pages: a
// document of a hundred megabytes then costs a few hundred page faults instead of tens of
// thousands. Only a hint; the buffer works the same without it.
void ReserveLargeBuffer(std::string& buffer, std::size_t size);

// Asks the kernel to back the whole huge pages of [data, data + bytes) with huge pages.
void AdviseHugePages(const void* data, std::size_t bytes);

// Brings in the whole pages of [begin, begin + bytes) in one call. A page fault costs several
// microseconds on a virtual machine; pages asked for at once cost about half as much each.
// Only a hint: where the system cannot, the pages come in one fault at a time.
void PrefaultPages(void* begin, std::size_t bytes);

// Reserves room for count elements, the memory advised as ReserveLargeBuffer's.
template <class T>
void ReserveLargeBuffer(std::vector<T>& buffer, std::size_t count) {
  buffer.reserve(count);
  AdviseHugePages(buffer.data(), buffer.capacity() * sizeof(T));
}

}  // namespace tidemill
