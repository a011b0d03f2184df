// The river-basin model's run-simulation file: CR LF lines, those whose first non-blank
// character is "*" comments; the fourth other line holds the simulation period.
#pragma once

#include <string>

namespace tidemill {

// Sets the period line to the whole ten-day steps from startDate to endDate, as
// " <start year> <start decade> <end year> <end decade>"; every other byte of the file stays,
// and a file of fewer than four data lines is written back unchanged. A failure is reported
// as "Error: " and the error's description (title "WriteRunSimpFile") and leaves the file as it was.
void WriteRunSimpFile(const std::string& path, double startDate, double endDate);

}  // namespace tidemill
