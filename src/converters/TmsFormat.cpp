#include "converters/TmsFormat.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "common/Error.h"
#include "common/Numbers.h"
#include "common/Text.h"

namespace tidemill {

namespace {

constexpr std::string_view kHeader = "UMB 1.00TMS 1.01VORLAN   6.00";

constexpr std::string_view kComments =
    "*\r\n"
    "* Aware : TMS-file version 1.01 !\r\n"
    "*\r\n"
    "* Writing format : free format\r\n"
    "* Record 1     : Number of stations / series in file and\r\n"
    "*                Unit index of time series values : 1 = m3/s    or\r\n"
    "*                                                   2 = mm/day  or\r\n"
    "*                                                   3 = mm/tms\r\n"
    "*                                                   4 = ppt\r\n"
    "* Record 2     : Name of station (max. 20 characters) for each station\r\n"
    "* Record 3     : Station index (max. 8 digits) for each station\r\n"
    "* Next records : Year index,\r\n"
    "*                Time step index,\r\n"
    "*                Day index within the time step,\r\n"
    "*                Time series values for each station\r\n"
    "*\r\n";

constexpr std::string_view kEnd = "\r\n";

// The text at the right of a field of width characters, cut to its leftmost width characters.
void AppendRightAligned(std::string& out, std::string_view text, std::size_t width) {
  text = CutToChars(text, width);
  out.append(width - CountChars(text), ' ');
  out += text;
}

void AppendRightAligned(std::string& out, int64_t value, std::size_t width) {
  char text[24];
  AppendRightAligned(out, std::string_view(text, std::to_chars(text, text + sizeof text, value).ptr), width);
}

}  // namespace

void WriteTmsHeader(std::string& out, std::string_view parameterID) {
  out += kHeader;
  out += TrimBlanks(parameterID);
  out += kEnd;
  out += kComments;
}

void WriteTmsStationRecords(std::string& out, int32_t stationCount, std::span<const TmsStation> stations,
                            int32_t unitIndex) {
  if (stationCount < 0 || static_cast<std::size_t>(stationCount) > stations.size()) {
    throw DetailedError(kErrSubscript, "station count " + IntegerText(stationCount) + " outside 0 to " +
                                           IntegerText(static_cast<int64_t>(stations.size())));
  }
  const std::span<const TmsStation> written = stations.first(static_cast<std::size_t>(stationCount));
  AppendRightAligned(out, stationCount, 8);
  AppendRightAligned(out, unitIndex, 6);
  out += kEnd;
  for (const TmsStation& station : written) {
    out += '\'';
    out += TrimBlanks(station.StationName);
    out += '\'';
    out += kEnd;
  }
  out.append(12, ' ');
  for (const TmsStation& station : written) AppendRightAligned(out, TrimBlanks(station.StationIndex), 10);
  out += kEnd;
}

void WriteTmsDataRecord(std::string& out, int32_t year, int32_t decade, int32_t day, std::span<const float> values) {
  AppendRightAligned(out, year, 4);
  AppendRightAligned(out, decade, 4);
  AppendRightAligned(out, day, 4);
  // Each value's text at the right of ten characters, or its first ten when it is longer.
  const std::size_t start = out.size();
  out.resize(start + 10 * values.size());
  char* field = out.data() + start;
  for (const float value : values) {
    char text[kMaxNumberText];
    const auto length = std::min<std::size_t>(static_cast<std::size_t>(AppendThousandthsText(value, text) - text), 10);
    std::memset(field, ' ', 10 - length);
    std::memcpy(field + 10 - length, text, length);
    field += 10;
  }
  out += kEnd;
}

}  // namespace tidemill
