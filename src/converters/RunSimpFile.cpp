#include "converters/RunSimpFile.h"

#include <cstdint>
#include <string_view>

#include "common/Error.h"
#include "common/FileSystem.h"
#include "common/LineReader.h"
#include "common/Numbers.h"
#include "common/Text.h"
#include "converters/PlannedFile.h"
#include "converters/TenDaySteps.h"
#include "diagnostics/Plan.h"
#include "diagnostics/ReportMessage.h"
#include "diagnostics/RunState.h"

namespace tidemill {

namespace {

// The line that holds the period is the fourth data line.
constexpr int kPeriodLine = 4;
// Output is handed to the file in pieces of about this size.
constexpr std::size_t kPiece = 64 * 1024;

// Blank lines count as data lines too; only "*" after the blanks makes a comment.
bool IsDataLine(std::string_view line) {
  const std::string_view trimmed = TrimBlanks(line);
  return trimmed.empty() || trimmed.front() != '*';
}

// The period in whole steps: a start within its step moves on to the next step, an end within
// its step back to the step before, across the turn of the year either way.
std::string PeriodLine(double startDate, double endDate) {
  int32_t startYear = 0, startDecade = 0, startDay = 0;
  int32_t endYear = 0, endDecade = 0, endDay = 0;
  GetYearDecadeAndDay(startDate, startYear, startDecade, startDay);
  GetYearDecadeAndDay(endDate, endYear, endDecade, endDay);
  if (startDay > 1 && ++startDecade > 36) {
    ++startYear;
    startDecade -= 36;
  }
  if (endDay > 1 && --endDecade == 0) {
    --endYear;
    endDecade = 36;
  }
  std::string line;
  for (const int32_t number : {startYear, startDecade, endYear, endDecade}) {
    line += ' ';
    line += IntegerText(number);
  }
  return line;
}

}  // namespace

void WriteRunSimpFile(const std::string& path, double startDate, double endDate) {
  try {
    auto in = Fs().OpenRead(path);
    LineReader lines(*in, LineEnds::CrLf);
    // A run that only plans reads the file all the same, and writes nothing.
    PlannedFile out(path);
    std::string piece;
    int dataLines = 0;
    uint64_t lineNumber = 0;
    std::string planned;  // what the plan says of the period line
    // Copies one line and its line end; a long line goes to the file as it stands.
    const auto copy = [&](std::string_view line, bool ended) {
      ++lineNumber;
      if (dataLines < kPeriodLine && IsDataLine(line) && ++dataLines == kPeriodLine) {
        const std::string period = PeriodLine(startDate, endDate);
        if (PlanMode) {
          planned = "line " + IntegerText(static_cast<int64_t>(lineNumber)) + " \"" + LegacyToUtf8(line) +
                    "\" becomes \"" + period + "\"";
        }
        piece += period;
      } else if (line.size() >= kPiece) {
        out.Write(piece);
        piece.clear();
        out.Write(line);
      } else {
        piece += line;
      }
      if (ended) piece += "\r\n";
      if (piece.size() >= kPiece) {
        out.Write(piece);
        piece.clear();
      }
    };
    std::string_view line;
    bool ended = false;
    while (lines.Next(line)) {
      ended = lines.Ended();
      copy(line, ended);
    }
    // Split at every CR LF, a file that ends in one has an empty last line; it may be the
    // period line.
    if (ended) copy({}, false);
    out.Write(piece);
    // Read to its end and closed first: Windows replaces no file that is still open.
    in.reset();
    out.Commit();
    if (PlanMode) {
      AddPlanLine("run-simulation file: " + path + ", " +
                  (planned.empty() ? "fewer than 4 data lines: unchanged" : planned));
    }
  } catch (...) {
    const std::string description = CurrentError().Description();
    ReportMessage("Error: " + description, kStyleExclamation, "WriteRunSimpFile", kLevelError);
    if (PlanMode) AddPlanLine("run-simulation file: " + path + ", left alone: " + description);
  }
}

}  // namespace tidemill
