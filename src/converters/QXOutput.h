// The QX-XML output of the conversions that produce it (Kel/map and ABR input).
#pragma once

#include <string>

#include "timeseries/SeriesBlock.h"

namespace tidemill {

// Writes the block as instantaneous series, in binary form unless DebugMode is on. When the
// writer fails, its error text is reported (title "Error:", level 1) and the result is false.
bool WriteQXReportingFailure(const std::string& outputFile, const SeriesBlock& block);

}  // namespace tidemill
