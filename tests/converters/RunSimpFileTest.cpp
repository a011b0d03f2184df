#include "converters/RunSimpFile.h"

#include <gtest/gtest.h>

#include "common/DateTime.h"
#include "converters/TenDaySteps.h"
#include "support/FaultyFileSystem.h"

namespace tidemill {
namespace {

using testing::BoxRecorder;

TEST(TenDayStepsTest, YearDecadeAndDay) {
  const std::pair<double, std::vector<int32_t>> rows[] = {
      {DateSerial(2006, 3, 11) + 0.75, {2006, 8, 1}}, {DateSerial(2006, 3, 20), {2006, 8, 10}},
      {DateSerial(2006, 3, 31), {2006, 9, 11}},      {DateSerial(2004, 2, 29), {2004, 6, 9}},
  };
  for (const auto& [date, expected] : rows) {
    std::vector<int32_t> got(3);
    EXPECT_TRUE(GetYearDecadeAndDay(date, got[0], got[1], got[2]));
    EXPECT_EQ(got, expected) << date;
  }
}

// Besides the golden file's rewrite: whole steps, the year's turn both ways, where the fourth
// data line falls, files written back unchanged.
TEST(RunSimpFileTest, RewritesTheFourthDataLineOnly) {
  const double mar11 = DateSerial(2006, 3, 11), may21 = DateSerial(2006, 5, 21);
  const std::string big(70000, 'x');  // longer than a piece of the output
  const std::tuple<std::string, double, double, std::string> rows[] = {
      {"a\r\nb\r\nc\r\nold\r\nd", mar11, may21, "a\r\nb\r\nc\r\n 2006 8 2006 15\r\nd"},
      {"a\r\nb\r\nc\r\nd\r\n", DateSerial(2006, 3, 12), DateSerial(2006, 5, 25), "a\r\nb\r\nc\r\n 2006 9 2006 14\r\n"},
      {"a\r\nb\r\nc\r\nd", DateSerial(2006, 12, 25), DateSerial(2007, 1, 5), "a\r\nb\r\nc\r\n 2007 1 2006 36"},
      {"\t* x\r\na\r\nb\r\n", mar11, may21, "\t* x\r\na\r\nb\r\n 2006 8 2006 15"},  // after the last CR LF
      {"* c\r\na\r\nb\r\nc", mar11, may21, "* c\r\na\r\nb\r\nc"},
      {"a\nb\nc\nd\re\n", mar11, may21, "a\nb\nc\nd\re\n"},
      {"", mar11, may21, ""},
      {"*" + big + "\r\na\r\nb\r\n" + big + "\r\nold\r\n" + big, mar11, may21,
       "*" + big + "\r\na\r\nb\r\n" + big + "\r\n 2006 8 2006 15\r\n" + big},
  };
  testing::TempDir dir;
  for (const auto& [before, start, end, after] : rows) {
    BoxRecorder boxes;
    WriteRunSimpFile(dir.Write("run.sim", before), start, end);
    EXPECT_EQ(testing::Slurp(dir.File("run.sim")), after) << before;
    EXPECT_TRUE(boxes.boxes.empty());
  }
  EXPECT_EQ(dir.Listing(), "run.sim");
}

}  // namespace
}  // namespace tidemill
