// The QX-XML time-series writer: a block of series as a QX-XML file, with the values either as
// "event" elements (XML form) or in a binary side file beside it (binary form).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "timeseries/SeriesBlock.h"
#include "timeseries/Selection.h"

namespace tidemill {

// SeriesType values that write a "type" element; any other value writes none.
inline constexpr int32_t kSeriesTypeAccumulative = 0;
inline constexpr int32_t kSeriesTypeInstantaneous = 1;

// The common step of the times in whole seconds (0 for repeated times), or nothing when they
// are not equidistant: fewer than 2 times, a step beyond 32 bits, or a difference (after
// rounding each time to the whole second) that differs from the first. Error 6 for a time that
// has no calendar date.
std::optional<int64_t> EquidistantStep(std::span<const double> times);

class clsOrvaQXTimeSeries {
 public:
  // Writes the block to FileName, every pair or those in selection (null: all), SeriesType as
  // its "type". WriteBinary asks for the binary form and is cleared when the times are not
  // equidistant or repeat one time (a step of 0). True on success with ErrorMessage empty;
  // false with the error's text in ErrorMessage, the file and its side file then as they were.
  bool Write_QX_XML_File(const std::string& FileName, const SeriesBlock& block, int32_t SeriesType,
                         bool& WriteBinary, const Selection* selection, std::string& ErrorMessage);
};

}  // namespace tidemill
