#include <cstdint>
#include <string>
#include <string_view>

#include "common/DateTime.h"
#include "common/Error.h"
#include "common/FileSystem.h"
#include "common/LineReader.h"
#include "common/Numbers.h"
#include "common/Paths.h"
#include "common/Text.h"
#include "converters/Converters.h"
#include "converters/QXOutput.h"
#include "converters/RunFiles.h"
#include "diagnostics/Plan.h"
#include "diagnostics/ReportMessage.h"
#include "diagnostics/RunState.h"
#include "external/ArgTokenizer.h"
#include "timeseries/SeriesBlock.h"

namespace tidemill {

namespace {

constexpr const char* kProcedure = "ConvertAbr2XML";

// A time stamp: yyyymmddhhmmss, 14 digits.
constexpr std::size_t kStampLength = 14;

// Whether a token is 14 characters long, taken as UTF-8 where it is valid and else byte by
// byte (Windows-1252). A character is never shorter than a byte.
bool HasStampLength(std::string_view token) {
  if (token.size() <= kStampLength) return token.size() == kStampLength;
  return IsValidUtf8(token) && CountChars(token) == kStampLength;
}

// The instants of ABR time stamps. Consecutive lines mostly share their day, which is then
// worked out once.
class StampReader {
 public:
  explicit StampReader(const std::string& path) : path_(path) {}

  // yyyy at characters 1-4, mm 5-6, dd 7-8, hh 9-10, mm 11-12, ss 13-14; fields beyond their
  // range carry into the next unit. Error 13 for a field that is not all digits.
  double Instant(std::string_view stamp, uint64_t line) {
    if (stamp.substr(0, 8) != lastDay_) {
      lastDate_ = DateSerial(Field(stamp, 0, 4, line), Field(stamp, 4, 2, line), Field(stamp, 6, 2, line));
      lastDay_.assign(stamp.substr(0, 8));
    }
    return lastDate_ + TimeSerial(Field(stamp, 8, 2, line), Field(stamp, 10, 2, line), Field(stamp, 12, 2, line));
  }

 private:
  int64_t Field(std::string_view stamp, std::size_t at, std::size_t length, uint64_t line) const {
    int64_t value = 0;
    for (const char c : stamp.substr(at, length)) {
      if (c < '0' || c > '9') {
        throw DetailedError(kErrTypeMismatch, "characters " + std::to_string(at + 1) + " to " +
                                                  std::to_string(at + length) + " of the time stamp \"" +
                                                  LegacyToUtf8(stamp) + "\" on line " + std::to_string(line) +
                                                  " of " + path_ + " are not a number");
      }
      value = value * 10 + (c - '0');
    }
    return value;
  }

  const std::string& path_;
  std::string lastDay_;
  double lastDate_ = 0;
};

// Reads the data lines into a block of one series ("boezem", "aanvoer").
SeriesBlock ReadAbrFile(const std::string& path) {
  SeriesBlock block;
  block.lLocationCount = 1;
  block.lParameterCount = 1;
  block.sLocationIDs = {"boezem"};
  block.sParameterIDs = {"aanvoer"};
  const auto file = Fs().OpenRead(path);
  LineReader lines(*file, LineEnds::CrLfOrLf);
  StampReader stamps(path);
  std::string_view line;
  while (lines.Next(line)) {
    const std::string_view trimmed = TrimBlanks(line);
    if (trimmed.empty() || trimmed.front() == '*') continue;
    // The stamp is the first token; the value, the leading number of the rest. A stamp of
    // another length leaves the instant at day count 0.
    std::string_view rest = line;
    const std::string_view stamp = TakeFirstToken(rest);
    block.dtTimes.push_back(HasStampLength(stamp) ? stamps.Instant(stamp, lines.LineNumber()) : 0.0);
    try {
      block.sngValues.push_back(ToSingle(LeadingNumber(rest)));
    } catch (const Error& e) {
      throw Error(e.Number(), e.Description() + ": the value on line " + std::to_string(lines.LineNumber()) + " of " + path);
    }
  }
  if (block.dtTimes.empty()) throw DetailedError(kErrSubscript, path + " holds no data line");
  if (block.dtTimes.size() > INT32_MAX) {
    throw DetailedError(kErrOverflow, path + " holds more than " + std::to_string(INT32_MAX) + " data lines");
  }
  block.lTimeCount = static_cast<int32_t>(block.dtTimes.size());
  return block;
}

}  // namespace

bool ConvertAbr2XML(const std::string& inputFile, const std::string& outputFile, const std::string&) {
  if (!FileExists(inputFile)) {
    ReportMessage("ABR File does not exist: " + inputFile, kStyleCritical, "Error:", kLevelError);
    return false;
  }
  return RunReportingErrors(kProcedure, [&] {
    RunFiles files;
    files.reads = {{inputFile, "input"}};
    files.AddQXOutput(outputFile);
    CheckRunFiles(files);
    const SeriesBlock block = ReadAbrFile(inputFile);
    if (PlanMode) {
      AddPlanNames("location", block.sLocationIDs);
      AddPlanNames("parameter", block.sParameterIDs);
    }
    return WriteQXReportingFailure(outputFile, block);
  });
}

}  // namespace tidemill
