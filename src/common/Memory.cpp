#include "common/Memory.h"

namespace tidemill {

void ReserveLargeBuffer(std::string& buffer, std::size_t size) {
  buffer.reserve(size);
  AdviseHugePages(buffer.data(), buffer.capacity());
}

}  // namespace tidemill
