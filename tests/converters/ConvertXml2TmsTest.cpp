// Failures of each step of writing a TMS file and the run-simulation file: the old target stays
// byte for byte, no temporary file is left, and the reports are those of each file's policy.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/FileSystem.h"
#include "converters/Converters.h"
#include "diagnostics/RunState.h"
#include "support/FaultyFileSystem.h"

namespace tidemill {
namespace {

using testing::BoxRecorder;
using testing::FaultyFileSystem;
using testing::Slurp;
using testing::TempDir;

TEST(ConvertXml2TmsTest, AFailedWriteLeavesTheOldFile) {
  ResetRunState();
  const std::string kOldTms = "old tms\r\n", kOldRunSim = "a\r\nb\r\nc\r\nold\r\n";
  const std::string kNewRunSim = "a\r\nb\r\nc\r\n 2006 11 2006 11\r\n";
  const std::string kTmsEnd = "'A'\r\n                     1\r\n2006  10  10       1.5\r\n2006  11   1       2.5\r\n";
  enum class Target { Tms, RunSim };
  const struct {
    Target target;
    void (*arm)(FaultyFileSystem&);
    std::string report;  // "<file>" stands for the failing file's path
  } rows[] = {
      {Target::Tms, [](FaultyFileSystem& f) { f.failCreate = true; }, "Error 70 (Permission denied: <file>)"},
      {Target::Tms, [](FaultyFileSystem& f) { f.failWriteAfter = 0; }, "Error 61 (Disk full: <file>)"},
      {Target::Tms, [](FaultyFileSystem& f) { f.failWriteAfter = 800; }, "Error 61 (Disk full: <file>)"},
      {Target::Tms, [](FaultyFileSystem& f) { f.failClose = true; }, "Error 57 (Device I/O error: <file> (Input/output error))"},
      {Target::Tms, [](FaultyFileSystem& f) { f.failRename = true; }, "Error 70 (Permission denied: <file>)"},
      {Target::RunSim, [](FaultyFileSystem& f) { f.failCreate = true; }, "Error: Permission denied: <file>"},
      {Target::RunSim, [](FaultyFileSystem& f) { f.failWriteAfter = 0; }, "Error: Disk full: <file>"},
      {Target::RunSim, [](FaultyFileSystem& f) { f.failWriteAfter = 5; }, "Error: Disk full: <file>"},
      {Target::RunSim, [](FaultyFileSystem& f) { f.failClose = true; }, "Error: Device I/O error: <file> (Input/output error)"},
      {Target::RunSim, [](FaultyFileSystem& f) { f.failRename = true; }, "Error: Permission denied: <file>"},
  };
  for (const auto& row : rows) {
    TempDir dir;
    const std::string tms = dir.Write("q.tms", kOldTms), runSim = dir.Write("run.sim", kOldRunSim);
    const std::string in = dir.Write(
        "in.xml", "<TimeSeries><series><header><locationId>A</locationId><parameterId>Q</parameterId></header>"
                  "<event date=\"2006-04-10\" time=\"00:00:00\" value=\"1.5\"/><event date=\"2006-04-11\" "
                  "time=\"00:00:00\" value=\"2.5\"/></series></TimeSeries>");
    const std::string table = dir.Write("t.ini", "[Locations tms]\r\nA=1\r\n[Parameters - tmsFiles]\r\nQ=" + tms +
                                                     "\r\n[Ostrand File System]\r\nRunSimpFile=" + runSim + "\r\n");
    FaultyFileSystem fs;
    const std::string& failing = row.target == Target::Tms ? tms : runSim;
    fs.only = failing;
    row.arm(fs);
    BoxRecorder boxes;
    {
      ScopedFileSystem scope(fs);
      EXPECT_TRUE(ConvertXml2Tms(in, table));
    }
    std::string report = row.report;
    report.replace(report.find("<file>"), 6, failing);
    EXPECT_EQ(boxes.boxes, std::vector<std::string>{row.target == Target::Tms
                                                        ? "16|Error:|" + report + " in procedure ConvertXml2Tms of Module Mod_Main"
                                                        : "48|WriteRunSimpFile|" + report});
    if (row.target == Target::Tms) {
      EXPECT_EQ(Slurp(tms), kOldTms) << report;
      EXPECT_EQ(Slurp(runSim), kNewRunSim) << report;  // the next step goes on
    } else {
      EXPECT_TRUE(Slurp(tms).ends_with(kTmsEnd)) << report;
      EXPECT_EQ(Slurp(runSim), kOldRunSim) << report;
    }
    EXPECT_EQ(dir.Listing(), "in.xml q.tms run.sim t.ini") << report;
  }
}

}  // namespace
}  // namespace tidemill
