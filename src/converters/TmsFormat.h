// The TMS time-series text file of the river-basin model: one column per station, one line per
// time. Lines end in CR LF; every field is right-aligned to its width (blanks on the left) and
// cut to its leftmost characters when longer.
//
//   UMB 1.00TMS 1.01VORLAN   6.00<parameter ID>       header line
//   *  ...                                            sixteen fixed comment lines
//   cols 1-8 station count, 9-14 unit index           record 1
//   '<station name>'                                  record 2, one line per station
//   12 blanks, then per station its index in 10 cols  record 3
//   cols 1-4 year, 5-8 decade, 9-12 day, then per station its value in 10 cols   data records
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tidemill {

// One column of a TMS file.
struct TmsStation {
  std::string StationIndex;    // trimmed value under "Locations tms"
  std::string StationName;     // the location ID
  int32_t LocationNumber = 0;  // the location's place in the location list, from 1
};

// Appends the header line for the parameter (trimmed) and the sixteen comment lines.
void WriteTmsHeader(std::string& out, std::string_view parameterID);

// Appends records 1 to 3 for the first stationCount stations.
void WriteTmsStationRecords(std::string& out, int32_t stationCount, std::span<const TmsStation> stations,
                            int32_t unitIndex);

// Appends the data record of one time: its year, decade and day, then the values in station
// order, each rounded to 3 decimals (halves to even).
void WriteTmsDataRecord(std::string& out, int32_t year, int32_t decade, int32_t day, std::span<const float> values);

}  // namespace tidemill
