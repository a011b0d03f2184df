#include "converters/RunSimpFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "common/DateTime.h"
#include "converters/TenDaySteps.h"
#include "support/FaultyFileSystem.h"

namespace tidemill {
namespace {

using testing::BoxRecorder;
using testing::Slurp;
using testing::TempDir;

TEST(TenDayStepsTest, YearDecadeAndDay) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    double date;
    std::vector<int32_t> expected;  // year, decade, day; nothing set on failure
    std::string report;
  } rows[] = {
      {DateSerial(2006, 3, 10), {2006, 7, 10}, ""},
      {DateSerial(2006, 3, 11) + 0.75, {2006, 8, 1}, ""},  // the time of day plays no part
      {DateSerial(2006, 3, 20), {2006, 8, 10}, ""},
      {DateSerial(2006, 3, 21), {2006, 9, 1}, ""},
      {DateSerial(2006, 3, 31), {2006, 9, 11}, ""},
      {DateSerial(2004, 2, 29), {2004, 6, 9}, ""},
      {DateSerial(2006, 12, 31), {2006, 36, 11}, ""},
      {DateSerial(1899, 1, 1), {1899, 1, 1}, ""},
      {nan, {-1, -1, -1}, "48|GetYearDecadeAndDay|error: Overflow: the day count nan has no calendar date"},
      {1e12, {-1, -1, -1}, "48|GetYearDecadeAndDay|error: Overflow: the day count 1e+12 has no calendar date"},
  };
  for (const auto& row : rows) {
    BoxRecorder boxes;
    std::vector<int32_t> got = {-1, -1, -1};
    EXPECT_EQ(GetYearDecadeAndDay(row.date, got[0], got[1], got[2]), row.report.empty());
    EXPECT_EQ(got, row.expected) << row.date;
    EXPECT_EQ(boxes.boxes, row.report.empty() ? std::vector<std::string>{} : std::vector<std::string>{row.report});
  }
}

// Only the fourth data line changes; every other byte stays, line ends included.
TEST(RunSimpFileTest, RewritesThePeriodLineOnly) {
  const double mar11 = DateSerial(2006, 3, 11), may21 = DateSerial(2006, 5, 21);
  const struct {
    const char* what;
    std::string before;
    double start, end;
    std::string after;
  } rows[] = {
      {"comments, three data lines, the period line", "* c\r\n*\r\na\r\nb\r\nc\r\n 1990 1 1990 36\r\nd\r\n", mar11, may21,
       "* c\r\n*\r\na\r\nb\r\nc\r\n 2006 8 2006 15\r\nd\r\n"},
      {"indented comments and a blank line count as they should", "  * c\r\n\r\na\r\n   \r\nold\r\n", mar11, may21,
       "  * c\r\n\r\na\r\n   \r\n 2006 8 2006 15\r\n"},
      {"a tab before * makes a data line", "\t* x\r\na\r\nb\r\nold", mar11, may21, "\t* x\r\na\r\nb\r\n 2006 8 2006 15"},
      {"whole steps only", "a\r\nb\r\nc\r\nd\r\n", DateSerial(2006, 3, 12), DateSerial(2006, 5, 25),
       "a\r\nb\r\nc\r\n 2006 9 2006 14\r\n"},
      {"a start late in the year moves into the next", "a\r\nb\r\nc\r\nd", DateSerial(2006, 12, 25), DateSerial(2007, 1, 5),
       "a\r\nb\r\nc\r\n 2007 1 2006 36"},
      {"the example year", "a\r\nb\r\nc\r\n 1 1 1 1 and a long tail\r\n", DateSerial(2006, 1, 1), DateSerial(2006, 12, 31),
       "a\r\nb\r\nc\r\n 2006 1 2006 35\r\n"},
      {"the empty line after a final CR LF is a data line", "a\r\nb\r\nc\r\n", mar11, may21, "a\r\nb\r\nc\r\n 2006 8 2006 15"},
      {"three data lines stay as they are", "* c\r\na\r\nb\r\nc", mar11, may21, "* c\r\na\r\nb\r\nc"},
      {"bare LF and CR do not split", "a\nb\nc\nd\re\n", mar11, may21, "a\nb\nc\nd\re\n"},
      {"an empty file stays empty", "", mar11, may21, ""},
      {"bytes that are not UTF-8 stay", "\xff\r\n\xe9\r\n\x80\r\nold\r\n\xfe", mar11, may21,
       "\xff\r\n\xe9\r\n\x80\r\n 2006 8 2006 15\r\n\xfe"},
  };
  TempDir dir;
  for (const auto& row : rows) {
    BoxRecorder boxes;
    const std::string path = dir.Write("run.sim", row.before);
    WriteRunSimpFile(path, row.start, row.end);
    EXPECT_EQ(Slurp(path), row.after) << row.what;
    EXPECT_EQ(boxes.boxes, std::vector<std::string>{}) << row.what;
    EXPECT_EQ(dir.Listing(), "run.sim");
  }
}

TEST(RunSimpFileTest, ALongLineIsCopiedWhole) {
  TempDir dir;
  const std::string tail(300000, 'x');
  const std::string path = dir.Write("run.sim", "a\r\n" + tail + "\r\nb\r\nold\r\n" + tail);
  WriteRunSimpFile(path, DateSerial(2006, 3, 11), DateSerial(2006, 5, 21));
  EXPECT_EQ(Slurp(path), "a\r\n" + tail + "\r\nb\r\n 2006 8 2006 15\r\n" + tail);
}

}  // namespace
}  // namespace tidemill
