// ABR to QX-XML through the built executable; the output is read back with the QX reader.
#include <gtest/gtest.h>

#include "support/QXSummary.h"
#include "support/RunTidemill.h"

namespace tidemill {
namespace {

using namespace testing;

TEST(AbrTest, Conversions) {
  const std::string kModule = ") in procedure ConvertAbr2XML of Module Mod_Main";
  const struct {
    std::string abr, output;
    bool debug;
    std::vector<DiagLine> lines;  // "@" stands for the input's path
    std::string summary;          // of the output, and the files of the directory
  } rows[] = {
      {"* comment\r\n   * indented\r\n\r\n    \r\n20060315120000 12.5\r\n20060315130000 1,5\n20060315140000\r\n"
       "2006031524000 7\r\n20061332250000\t-3e2x\r\n  20060315150000   .5  \r\n",
       "out.xml", true, {kXmlFormLine, kConvertedLine},
       "boezem/aanvoer: 2006-03-15 12:00:00=12.5 2006-03-15 13:00:00=1 2006-03-15 14:00:00=0 1899-12-30 00:00:00=7 "
       "2007-02-02 01:00:00=-300 2006-03-15 15:00:00=.5\n | diag.xml in.abr out.xml"},
      {"20240301000000 1.25\r\n20240301010000 1.5\n20240301020000 1.75", "out.xml", false,
       {kBinaryFormLine, kConvertedLine},
       "boezem/aanvoer: 2024-03-01 00:00:00=1.25 2024-03-01 01:00:00=1.5 2024-03-01 02:00:00=1.75\n | diag.xml in.abr out.bin out.xml"},
      {"* only\r\n\r\n  * comments\r\n", "out.xml", false,
       {{1, "Error 9 (Subscript out of range: @ holds no data line" + kModule}, kNotConvertedLine}, " | diag.xml in.abr"},
      // A stamp of 14 characters, one of them of two bytes.
      {"* c\r\n20060315120000 1\r\n2006\u00e9315120000 1\r\n", "out.xml", false,
       {{1, "Error 13 (Type mismatch: characters 5 to 6 of the time stamp \"2006\u00e9315120000\" on line 3 of @ are not a number" +
                kModule},
        kNotConvertedLine},
       " | diag.xml in.abr"},
  };
  for (const auto& row : rows) {
    TempDir dir;
    const std::string in = dir.Write("in.abr", row.abr);
    std::vector<std::string> args = {"in.abr", row.output, "/batch", "/diagfile", "diag.xml"};
    if (row.debug) args.push_back("/debug");
    EXPECT_EQ(RunTidemill(dir.Path(), args).err, "");
    std::vector<DiagLine> expected = row.lines;
    for (auto& [level, text] : expected) text = dir.Unmasked(ReplaceAll(text, "@", in), "$");
    EXPECT_EQ(LoggedAfterStart(dir), expected) << row.abr;
    const bool written = row.lines.back() == kConvertedLine;
    EXPECT_EQ((written ? DescribeQX(dir.File("out.xml")) : "") + " | " + dir.Listing(), row.summary) << row.abr;
  }
}

}  // namespace
}  // namespace tidemill
