// Feeds arbitrary bytes, as a conversion table on disk, to both INI readers.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "config/ProfileString.h"
#include "config/ReadIniSection.h"
#include "diagnostics/RunState.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/ini_fuzz_" + std::to_string(::getpid()) + ".ini";
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                 static_cast<std::streamsize>(size));
  tidemill::ResetRunState();  // each input is a run of its own: the table is read afresh
  tidemill::clsReadIniSection table;
  table.File(path);
  table.Section("S");
  table.ReadSection(true);
  for (const std::string& key : table.KeyAsArray()) table.GetKey(key, "");
  table.GetKey("a");
  table.SectionTotalContents();
  tidemill::ReadIniString("S", "a", "d", path);
  tidemill::ReadIniInteger("s", "A", 7, path);
  return 0;
}
