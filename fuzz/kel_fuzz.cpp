// Feeds arbitrary bytes, as a Kel history file and as a map file on disk, to the Kel reader,
// reading all and a selection of the names it holds.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "common/Error.h"
#include "external/KelFileAccess.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string base = "/tmp/kel_fuzz_" + std::to_string(::getpid());
  for (const std::string& path : {base + ".kel", base + ".map"}) {
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                   static_cast<std::streamsize>(size));
    const auto kel = tidemill::CreateKelFileAccess();
    tidemill::SeriesBlock block;
    try {
      kel->ReadAll(block, path);
      block.CheckShape();
      kel->ReadSelected(block, path, {block.sLocationIDs.empty() ? "1" : block.sLocationIDs.back()},
                        {block.sParameterIDs.empty() ? "x" : block.sParameterIDs.front()});
    } catch (const tidemill::Error&) {
    }
  }
  return 0;
}
