// Converts arbitrary bytes, as an ABR file, to QX-XML in XML form: a conversion that succeeds
// writes one event per data line, the data lines counted here on their own.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "converters/Converters.h"
#include "diagnostics/MessageBox.h"
#include "diagnostics/RunState.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string base = "/dev/shm/abr_fuzz_" + std::to_string(::getpid());
  static tidemill::ScopedMessageBoxHandler quiet([](std::string_view, int32_t, std::string_view) {});
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::ofstream(base + ".abr", std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(size));
  tidemill::DebugMode = true;
  if (!tidemill::ConvertAbr2XML(base + ".abr", base + ".xml", "")) return 0;
  // Data lines: split at LF (a CR before it dropped), neither blank nor starting with "*".
  int32_t dataLines = 0;
  for (std::size_t start = 0; start < size;) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) end = size;
    std::string_view line = bytes.substr(start, end - start);
    if (end < size && line.ends_with('\r')) line.remove_suffix(1);
    const std::size_t first = line.find_first_not_of(' ');
    if (first != std::string_view::npos && line[first] != '*') ++dataLines;
    start = end + 1;
  }
  // Counted in the text: the reader refuses some steps that the writer writes (see the report).
  std::ostringstream xml;
  xml << std::ifstream(base + ".xml", std::ios::binary).rdbuf();
  const std::string text = xml.str();
  int32_t events = 0;
  for (std::size_t at = 0; (at = text.find("<event ", at)) != std::string::npos; ++at) ++events;
  if (events != dataLines) std::abort();
  return 0;
}
