// ABR to QX-XML through the built executable; the output is read back with the QX reader.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/DateTime.h"
#include "common/Numbers.h"
#include "support/RunTidemill.h"
#include "timeseries/QXContentHandler.h"

namespace tidemill {
namespace {

using namespace testing;

// "location/parameter: date time=value ..." of every series of a QX-XML file.
std::string Summary(const std::string& path) {
  const QXReadResult read = ReadQXFile(path);
  if (read.error) return ErrorSummary(*read.error);
  std::string text;
  for (const auto& s : *read.series) {
    text += s->sLocationID + "/" + s->sParameterID + ":";
    for (int32_t i = 1; i <= s->lValCounter(); ++i)
      ((text += ' ') += DateTimeText(s->dtEventDate(i)) + "=") += NumberText(s->sngValues(i));
  }
  return text;
}

const std::string kXmlForm = "DebugMode is true, so writing QX file without binary data section";
const std::string kBinaryForm = "Not in debugMode, so writing QX file with binary data section";
const DiagLine kConverted = kConvertedLine, kNotConverted = kNotConvertedLine;

TEST(AbrTest, Conversions) {
  const struct {
    const char* what;
    std::string abr;
    std::vector<std::string> switches;
    std::vector<DiagLine> lines;  // "<in>" stands for the input's path
    std::string summary;          // of out.xml; empty: no output
    std::string listing;
    std::string output = "out.xml";
  } rows[] = {
      {"comments, blank lines, lenient values, stamps of another length, rollover",
       "* comment\r\n   * indented comment\r\n\r\n    \r\n20060315120000 12.5\r\n20060315130000 1,5\n20060315140000\r\n"
       "2006031524000 7\r\n20061332250000\t-3e2x\r\n  20060315150000   .5  \r\n",
       {"/debug"}, {{4, kXmlForm}, kConverted},
       "boezem/aanvoer: 2006-03-15 12:00:00=12.5 2006-03-15 13:00:00=1 2006-03-15 14:00:00=0 1899-12-30 00:00:00=7 "
       "2007-02-02 01:00:00=-300 2006-03-15 15:00:00=.5",
       "diag.xml in.abr out.xml"},
      {"binary form: values in the side file", "20240301000000 1.25\r\n20240301010000 1.5\n20240301020000 1.75", {},
       {{4, kBinaryForm}, kConverted},
       "boezem/aanvoer: 2024-03-01 00:00:00=1.25 2024-03-01 01:00:00=1.5 2024-03-01 02:00:00=1.75",
       "diag.xml in.abr out.bin out.xml"},
      {"no data line", "* only\r\n\r\n  * comments\r\n", {},
       {{1, "Error 9 (Subscript out of range: <in> holds no data line) in procedure ConvertAbr2XML of Module Mod_Main"},
        kNotConverted},
       "", "diag.xml in.abr"},
      {"a stamp field that is not a number", "* c\r\n20060315120000 1\r\n2006031512000x 1\r\n", {},
       {{1, "Error 13 (Type mismatch: characters 13 to 14 of the time stamp \"2006031512000x\" on line 3 of <in> are not "
            "a number) in procedure ConvertAbr2XML of Module Mod_Main"},
        kNotConverted},
       "", "diag.xml in.abr"},
      {"a value beyond single precision", "20060315120000 1e39\r\n", {},
       {{1, "Error 6 (Overflow: the value on line 1 of <in>) in procedure ConvertAbr2XML of Module Mod_Main"}, kNotConverted},
       "", "diag.xml in.abr"},
      {"the writer fails: no report of its own", "20060315120000 1\r\n", {"/debug"},
       {{4, kXmlForm}, kNotConverted}, "", "diag.xml in.abr", "nodir/out.xml"},
  };
  for (const auto& row : rows) {
    TempDir dir;
    const std::string in = dir.Write("in.abr", row.abr);
    std::vector<std::string> args = {"in.abr", row.output, "/batch", "/diagfile", "diag.xml"};
    args.insert(args.end(), row.switches.begin(), row.switches.end());
    const auto o = RunTidemill(dir.Path(), args);
    EXPECT_EQ(o.err, "") << row.what;
    std::vector<DiagLine> expected = row.lines;
    for (DiagLine& line : expected)
      if (const auto at = line.second.find("<in>"); at != std::string::npos) line.second.replace(at, 4, in);
    EXPECT_EQ(LoggedAfterStart(dir), expected) << row.what;
    if (!row.summary.empty()) {
      EXPECT_EQ(Summary(dir.File("out.xml")), row.summary) << row.what;
    }
    EXPECT_EQ(dir.Listing(), row.listing) << row.what;
  }
}

}  // namespace
}  // namespace tidemill
