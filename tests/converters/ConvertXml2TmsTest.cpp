// A failing TMS file or run-simulation file: the reports are those of the file's policy, and the
// other file is still written. Every step failing is the failure-injection table's.
#include <gtest/gtest.h>

#include "converters/Converters.h"
#include "diagnostics/RunState.h"
#include "support/FaultyFileSystem.h"

namespace tidemill {
namespace {

using testing::Slurp;

TEST(ConvertXml2TmsTest, AFailedWriteLeavesTheOldFile) {
  ResetRunState();
  const std::string kTmsEnd = "2006  10  10       1.5\r\n2006  11   1       2.5\r\n";
  const std::string kOld = "a\r\nb\r\nc\r\nold\r\n", kNew = "a\r\nb\r\nc\r\n 2006 11 2006 11\r\n";
  const std::tuple<bool, void (*)(testing::FaultyFileSystem&), std::string> rows[] = {
      // TMS file failing?, the fault, the report with "@" for the failing file
      {true, [](auto& f) { f.failWriteAfter = 800; }, "16|Error:|Error 61 (Disk full: @)"},
      {false, [](auto& f) { f.failWriteAfter = 5; }, "48|WriteRunSimpFile|Error: Disk full: @"},
  };
  for (const auto& [tmsFails, arm, report] : rows) {
    testing::TempDir dir;
    const std::string tms = dir.Write("q.tms", "old tms"), runSim = dir.Write("run.sim", kOld);
    const std::string in = dir.Write("in.xml", "<TimeSeries><series><header><locationId>A</locationId><parameterId>Q</parameterId>"
                                               "</header><event date=\"2006-04-10\" time=\"00:00:00\" value=\"1.5\"/><event "
                                               "date=\"2006-04-11\" time=\"00:00:00\" value=\"2.5\"/></series></TimeSeries>");
    const std::string table = dir.Write("t.ini", "[Locations tms]\r\nA=1\r\n[Parameters - tmsFiles]\r\nQ=" + tms +
                                                     "\r\n[Ostrand File System]\r\nRunSimpFile=" + runSim + "\r\n");
    testing::FaultyFileSystem fs;
    fs.only = tmsFails ? tms : runSim;
    arm(fs);
    testing::BoxRecorder boxes;
    {
      ScopedFileSystem scope(fs);
      EXPECT_TRUE(ConvertXml2Tms(in, table));  // reports and goes on
    }
    std::string expected = report;
    expected.replace(expected.find('@'), 1, fs.only);
    if (tmsFails) expected += " in procedure ConvertXml2Tms of Module Mod_Main";
    EXPECT_EQ(boxes.boxes, std::vector<std::string>{expected});
    // The failing file is as it was; the other is written, since each step reports and goes on.
    EXPECT_EQ(tmsFails ? Slurp(tms) : Slurp(runSim), tmsFails ? "old tms" : kOld) << expected;
    EXPECT_TRUE(tmsFails ? Slurp(runSim) == kNew : Slurp(tms).ends_with(kTmsEnd)) << expected;
    EXPECT_EQ(dir.Listing(), "in.xml q.tms run.sim t.ini") << expected;
  }
}

}  // namespace
}  // namespace tidemill
