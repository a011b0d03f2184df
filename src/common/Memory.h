// Large in-memory buffers.
#pragma once

#include <cstddef>
#include <string>

namespace tidemill {

// Reserves room for size bytes in buffer and asks the kernel to back it with huge pages: a
// document of a hundred megabytes then costs a few hundred page faults instead of tens of
// thousands. Only a hint; the buffer works the same without it.
void ReserveLargeBuffer(std::string& buffer, std::size_t size);

}  // namespace tidemill
