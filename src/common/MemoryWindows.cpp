#include "common/Memory.h"

namespace tidemill {

// Windows gives large pages only to processes with a privilege that a converter does not hold,
// and brings in committed pages on first touch: both hints are left to the system.
void AdviseHugePages(const void*, std::size_t) {}

void PrefaultPages(void*, std::size_t) {}

}  // namespace tidemill
