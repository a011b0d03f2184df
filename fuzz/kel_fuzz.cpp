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
    std::vector<float> values;
    int32_t l = 0, p = 0, t = 0;
    std::vector<std::string> locations, parameters;
    std::vector<double> times;
    try {
      kel->ReadAll(values, l, p, t, path, locations, parameters, times);
      if (values.size() != static_cast<std::size_t>(l) * static_cast<std::size_t>(p) * static_cast<std::size_t>(t) ||
          locations.size() != static_cast<std::size_t>(l) || times.size() != static_cast<std::size_t>(t)) {
        __builtin_trap();
      }
      kel->ReadSelected(values, l, p, t, path, {locations.empty() ? "1" : locations.back()},
                        {parameters.empty() ? "x" : parameters.front()}, locations, parameters, times);
    } catch (const tidemill::Error&) {
    }
  }
  return 0;
}
