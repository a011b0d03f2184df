// Runs the shipped data-edit server on an edit-node file made of arbitrary bytes, with a fixed
// list of commands, and checks what it answers against what it wrote.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "common/FileSystem.h"
#include "external/DataEditServer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string dir = [] {
    std::string d = "/tmp/editnode_fuzz_" + std::to_string(::getpid());
    ::mkdir(d.c_str(), 0700);
    return d;
  }();
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::ofstream(dir + "/e.fnm", std::ios::binary | std::ios::trunc) << input;

  static const char* const kCommands[] = {
      "ID A Q NROFVALUES 2 VALUES 1.5 -.25 ", "ID B Q NROFVALUES 0 VALUES ", "ID A Q NROFVALUES 1 VALUES 7",
      "ID \xF6 \xC3\xB6 NROFVALUES 1 VALUES 1E+20", "ID A", "ID C Q NROFVALUES 2 VALUES 1"};
  constexpr int32_t kCount = sizeof kCommands / sizeof kCommands[0];
  tidemill::SafeArray<std::string> objects;
  objects.ReDim(0, kCount);
  for (int32_t k = 1; k <= kCount; ++k) objects(k) = kCommands[k - 1];
  tidemill::SafeArray<int16_t> flags;
  tidemill::SafeArray<std::string> messages;
  int16_t indicator = 0;
  int32_t n = kCount;
  std::string header = "SET_VALUES FILE \"e.fnm\" STARTUPDIR \"" + dir + "\"";
  const int32_t stored =
      tidemill::CreateDataEditServer("Ostrand.DataEditServer")->RequestByClient(header, flags, n, objects, messages, indicator);

    // Malformed commands always fail; the file changes only when something was stored, and a
  // rewrite keeps every line end.
  int32_t failed = 0;
  for (int32_t k = 1; k <= kCount; ++k) failed += flags(k) != 0 && !messages(k).empty();
  if (flags(5) == 0 || flags(6) == 0 || failed + stored != kCount || (indicator != 0) != (failed > 0)) std::abort();
  const std::string after = tidemill::ReadWholeFile(dir + "/e.fnm");
  if (stored == 0 && after != input) std::abort();
  for (const char end : {'\r', '\n'}) {
    if (std::count(after.begin(), after.end(), end) != std::count(input.begin(), input.end(), end)) std::abort();
  }
  return 0;
}
