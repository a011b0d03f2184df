// Writing the Kel file: a failure at any step leaves the previous file as it was and no
// temporary file; a status other than 0 is reported as such.
#include <gtest/gtest.h>

#include "converters/Converters.h"
#include "converters/KelFake.h"
#include "support/FaultyFileSystem.h"

namespace tidemill {
namespace {

TEST(ConvertXml2KelTest, FailedWritesLeaveThePreviousFile) {
  testing::TempDir dir;
  const std::string in = dir.Write("in.xml", "<TimeSeries><series><header><locationId>A</locationId><parameterId>Q"
                                             "</parameterId></header><event date=\"2024-03-01\" time=\"00:00:00\" "
                                             "value=\"1\"/></series></TimeSeries>");
  const std::string out = dir.Write("out.kel", "the previous file");
  const std::string procedure = ") in procedure ConvertXml2Kel of Module Mod_Main";
  const struct Row {
    std::function<void(testing::FaultyFileSystem&)> fault;
    std::string box;
  } rows[] = {
      {[](auto& fs) { fs.failCreate = true; }, "Error 70 (Permission denied: " + out},
      {[](auto& fs) { fs.failWriteAfter = 0; }, "Error 61 (Disk full: " + out},
      {[](auto& fs) { fs.failWriteAfter = 200; }, "Error 61 (Disk full: " + out},  // within the records
      {[](auto& fs) { fs.failClose = true; }, "Error 57 (Device I/O error: " + out + " (Input/output error)"},
      {[](auto& fs) { fs.failRename = true; }, "Error 70 (Permission denied: " + out},
  };
  for (const Row& row : rows) {
    testing::FaultyFileSystem fs;
    fs.only = out;
    row.fault(fs);
    ScopedFileSystem scope(fs);
    testing::BoxRecorder boxes;
    EXPECT_FALSE(ConvertXml2Kel(in, out));
    EXPECT_EQ(boxes.boxes, std::vector<std::string>{"16|Error:|" + row.box + procedure});
    EXPECT_EQ(testing::Slurp(out), "the previous file");
    EXPECT_EQ(dir.Listing(), "in.xml out.kel");
  }
}

TEST(ConvertXml2KelTest, StatusOtherThanZero) {
  testing::TempDir dir;
  const std::string in = dir.Write("in.xml", "<TimeSeries><series><header><locationId>A</locationId></header>"
                                             "<event date=\"2024-03-01\" time=\"00:00:00\" value=\"1\"/></series>"
                                             "</TimeSeries>");
  std::vector<std::string> calls;
  testing::KelFake fake;
  fake.status = 1;
  fake.calls = &calls;
  testing::ScopedKelFake scope(fake);
  testing::BoxRecorder boxes;
  EXPECT_FALSE(ConvertXml2Kel(in, dir.File("out.kel")));
  EXPECT_EQ(calls, std::vector<std::string>{"WriteAll"});
  EXPECT_EQ(boxes.boxes, std::vector<std::string>{"16|Error:|Could not write the data to the kelfile."});
}

}  // namespace
}  // namespace tidemill
