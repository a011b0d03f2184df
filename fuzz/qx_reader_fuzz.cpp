// Feeds arbitrary bytes, as a QX-XML file on disk, to the QX-XML reader. An odd first byte
// also puts a side file beside it: the last (first byte x 4) bytes of the input. Every series
// the reader accepts is written back by the writer and read again: it must give the same IDs,
// instants (to the second) and values (exact in binary form; in XML form those of the text).

#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "common/DateTime.h"
#include "common/Error.h"
#include "common/Numbers.h"
#include "diagnostics/MessageBox.h"
#include "timeseries/QXContentHandler.h"
#include "timeseries/QXWriter.h"

namespace {

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "round trip: %s\n", what);
    std::abort();
  }
}

void RoundTrip(const tidemill::clsSeries& read, const std::string& out) {
  const int32_t n = read.lValCounter();
  // A block without times cannot be written: its header names time 1.
  if (n == 0 || n > read.Capacity()) return;
  tidemill::SeriesBlock block(1, 1, n);
  block.LocationID(1) = read.sLocationID;
  block.ParameterID(1) = read.sParameterID;
  for (int32_t t = 1; t <= n; ++t) {
    block.Time(t) = read.dtEventDate(t);
    block.Value(1, 1, t) = read.sngValues(t);
  }
  bool binary = true;
  std::string error;
  if (!tidemill::clsOrvaQXTimeSeries().Write_QX_XML_File(out, block, 1, binary, nullptr, error)) {
    // Only instants without a date the format can hold may be refused.
    Check(error.starts_with("Error 6 (Overflow"), error.c_str());
    return;
  }
  const tidemill::QXReadResult back = tidemill::ReadQXFile(out);
  Check(!back.error.has_value(), "the written file does not read back");
  Check(back.series->Count() == 1, "not one series");
  const tidemill::clsSeries& again = *back.series->Item(1);
  Check(again.sLocationID == read.sLocationID && again.sParameterID == read.sParameterID, "IDs differ");
  Check(again.lValCounter() == n, "event count differs");
  for (int32_t t = 1; t <= n; ++t) {
    Check(tidemill::ToWholeSeconds(again.dtEventDate(t)) == tidemill::ToWholeSeconds(read.dtEventDate(t)),
          "instant differs");
    const float v = read.sngValues(t);
    const float w = again.sngValues(t);
    if (binary) {
      Check(std::bit_cast<uint32_t>(v) == std::bit_cast<uint32_t>(w), "value differs in binary form");
    } else {
      const float expected =
          std::isnan(v) ? again.sngMissingValue : std::strtof(tidemill::NumberText(v).c_str(), nullptr);
      Check(std::bit_cast<uint32_t>(expected) == std::bit_cast<uint32_t>(w), "value differs in XML form");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string base = "/tmp/qx_fuzz_" + std::to_string(::getpid());
  static const std::string xml = base + ".xml";
  static const std::string bin = base + ".bin";
  static const std::string out = base + "_out.xml";
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
  if (!result.error) {
    for (const auto& series : *result.series) RoundTrip(*series, out);
  }
  return 0;
}
