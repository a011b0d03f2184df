// Reads arbitrary bytes, as a QX-XML file on disk, serially and in ranges on 2, 3 and 8 threads
// (the size threshold lowered to a byte): every read must give the same series (header fields,
// events bit for bit) and the same reports in the same order as the serial one.

#include <unistd.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "common/Error.h"
#include "common/Numbers.h"
#include "diagnostics/MessageBox.h"
#include "timeseries/QXContentHandler.h"

namespace {

std::string g_reports;

// Everything a read gives, as text: a difference anywhere is a difference of the text.
std::string Describe(const tidemill::QXReadResult& result) {
  std::string text = result.error ? "error " + tidemill::ErrorSummary(*result.error) + "\n" : "";
  for (const auto& s : *result.series) {
    text += "[" + s->sType + "|" + s->sLocationID + "|" + s->sParameterID + "|" + s->sTimeStepUnit + "|" +
            tidemill::IntegerText(s->lTimeStepMultiplier) + "|" + s->sLongName + "|" + s->sStationName + "|" + s->sUnits +
            "|" + s->sSourceOrganisation + "|" + s->sSourceSystem + "|" + s->sFileDescription + "|" + s->sRegion + "|";
    for (const double d : {s->dtStartDate, s->dtStartTime, s->dtEndDate, s->dtEndTime})
      text += std::to_string(std::bit_cast<uint64_t>(d)) + ",";
    text += std::to_string(std::bit_cast<uint32_t>(s->sngMissingValue)) + "|" + tidemill::IntegerText(s->lValCounter()) + "|";
    for (int32_t i = 1; i <= std::min(s->lValCounter(), s->Capacity()); ++i) {
      double flag = 0;
      try {
        flag = s->lFlag(i);
      } catch (const tidemill::Error&) {
        flag = -1e300;
      }
      text += std::to_string(std::bit_cast<uint64_t>(s->dtEventDate(i))) + "=" +
              std::to_string(std::bit_cast<uint32_t>(s->sngValues(i))) + "/" + std::to_string(flag) + " ";
    }
    text += "]\n";
  }
  return text + g_reports;
}

std::string Read(const std::string& path, unsigned threads) {
  g_reports.clear();
  return Describe(tidemill::ReadQXFile(path, {threads, 1}));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string xml = "/tmp/qx_parallel_fuzz_" + std::to_string(::getpid()) + ".xml";
  static tidemill::ScopedMessageBoxHandler record([](std::string_view text, int32_t style, std::string_view title) {
    ((g_reports += "box ") += std::to_string(style) + " " + std::string(title) + "|") += std::string(text) + "\n";
  });
  std::ofstream(xml, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  const std::string serial = Read(xml, 1);
  for (const unsigned threads : {2u, 3u, 8u}) {
    if (Read(xml, threads) != serial) {
      std::fprintf(stderr, "%u threads read differently from the serial reader:\n%s\n", threads, serial.c_str());
      std::abort();
    }
  }
  return 0;
}
