// Feeds arbitrary bytes, as a QX-XML file on disk, to the QX-XML reader. An odd first byte
// also puts a side file beside it: the last (first byte x 4) bytes of the input.

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "diagnostics/MessageBox.h"
#include "timeseries/QXContentHandler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string base = "/tmp/qx_fuzz_" + std::to_string(::getpid());
  static const std::string xml = base + ".xml";
  static const std::string bin = base + ".bin";
  static tidemill::ScopedMessageBoxHandler quiet([](std::string_view, int32_t, std::string_view) {});
  const char* bytes = reinterpret_cast<const char*>(data);
  std::ofstream(xml, std::ios::binary | std::ios::trunc).write(bytes, static_cast<std::streamsize>(size));
  std::remove(bin.c_str());
  if (size > 0 && (data[0] & 1) != 0) {
    const std::size_t n = std::min<std::size_t>(size, std::size_t{data[0]} * 4);
    std::ofstream(bin, std::ios::binary).write(bytes + size - n, static_cast<std::streamsize>(n));
  }
  const tidemill::QXReadResult result = tidemill::ReadQXFile(xml);
  for (const auto& series : *result.series) {
    for (int32_t i = 1; i <= std::min(series->lValCounter(), series->Capacity()); ++i) {
      series->sngValues(i);
      series->dtEventDate(i);
    }
  }
  return 0;
}
