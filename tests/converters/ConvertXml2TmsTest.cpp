// A failing TMS file is reported, and the run-simulation file is still written. Every step of
// either file failing is the failure-injection table's.
#include <gtest/gtest.h>

#include "converters/Converters.h"
#include "diagnostics/RunState.h"
#include "support/FaultyFileSystem.h"

namespace tidemill {
namespace {

using testing::Slurp;

TEST(ConvertXml2TmsTest, AFailedWriteLeavesTheOldFile) {
  ResetRunState();
  testing::TempDir dir;
  const std::string tms = dir.Write("q.tms", "old tms"), runSim = dir.Write("run.sim", "a\r\nb\r\nc\r\nold\r\n");
  const std::string in = dir.Write("in.xml", "<TimeSeries><series><header><locationId>A</locationId><parameterId>Q</parameterId>"
                                             "</header><event date=\"2006-04-10\" time=\"00:00:00\" value=\"1.5\"/><event "
                                             "date=\"2006-04-11\" time=\"00:00:00\" value=\"2.5\"/></series></TimeSeries>");
  const std::string table = dir.Write("t.ini", "[Locations tms]\r\nA=1\r\n[Parameters - tmsFiles]\r\nQ=" + tms +
                                                   "\r\n[Ostrand File System]\r\nRunSimpFile=" + runSim + "\r\n");
  testing::FaultyFileSystem fs;
  fs.only = tms;
  fs.failWriteAfter = 800;
  testing::BoxRecorder boxes;
  {
    ScopedFileSystem scope(fs);
    EXPECT_TRUE(ConvertXml2Tms(in, table));  // reports and goes on
  }
  EXPECT_EQ(boxes.boxes, std::vector<std::string>{"16|Error:|Error 61 (Disk full: " + tms +
                                                  ") in procedure ConvertXml2Tms of Module Mod_Main"});
  EXPECT_EQ(Slurp(tms), "old tms");
  EXPECT_EQ(Slurp(runSim), "a\r\nb\r\nc\r\n 2006 11 2006 11\r\n");
  EXPECT_EQ(dir.Listing(), "in.xml q.tms run.sim t.ini");
}

}  // namespace
}  // namespace tidemill
