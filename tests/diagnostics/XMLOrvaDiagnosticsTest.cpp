#include <gtest/gtest.h>

#include <cmath>

#include "common/DateTime.h"
#include "common/Program.h"
#include "diagnostics/ReportMessage.h"
#include "diagnostics/RunState.h"
#include "diagnostics/XMLOrvaDiagnostics.h"
#include "support/DriverSupport.h"

namespace tidemill {
namespace {

using testing::DiagLine;
using testing::Slurp;

class DiagnosticsTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetRunState(); }
  void TearDown() override { ResetRunState(); }
  void StartLog() {
    DiagLog = std::make_unique<clsXMLOrvaDiagnostics>();
    DiagLog->Start(dir_.File("diag.xml"));
  }
  std::vector<DiagLine> FlushedLines() {
    DiagLog.reset();
    return testing::ReadDiagLines(Slurp(dir_.File("diag.xml")), ExecutableName());
  }
  testing::TempDir dir_;
  testing::BoxRecorder recorder_;
};

TEST_F(DiagnosticsTest, WritesTheExactDocumentOverAnOlderFile) {
  dir_.Write("diag.xml", std::string(5000, 'x'));
  clsXMLOrvaDiagnostics log;
  ASSERT_TRUE(log.Start(dir_.File("diag.xml")));
  log.SetClock([] { return DateSerial(2024, 3, 1) + TimeSerial(7, 5, 9); });
  log.AddLine(3, "Tidemill started.");
  log.AddLine(1, "q\" a& l< g> cr\r lf\n tab\t é");
  log.AddLine(4, "\xE9t\xE9");
  ASSERT_TRUE(log.Flush());
  const std::string stamp = ExecutableName() + " 2024-03-01 07:05:09 : ";
  EXPECT_EQ(Slurp(dir_.File("diag.xml")), std::string(testing::kDiagDeclaration) + "\r\n" + testing::kDiagRoot +
                                              ">\r\n" + "\t<line level=\"3\" description=\"" + stamp +
                                              "Tidemill started.\"/>\r\n" + "\t<line level=\"1\" description=\"" +
                                              stamp + "q&quot; a&amp; l&lt; g&gt; cr&#13; lf&#10; tab&#9; é\"/>\r\n" +
                                              "\t<line level=\"4\" description=\"" + stamp + "été\"/>\r\n" +
                                              "</Diag>\r\n");
  EXPECT_EQ(dir_.Listing(), "diag.xml");
  EXPECT_TRUE(recorder_.boxes.empty());
}

TEST_F(DiagnosticsTest, FailingAddLineReportsOnceWithoutRecursion) {
  for (const bool batch : {true, false}) {
    BatchMode = batch;
    StartLog();
    DiagLog->SetClock([] { return std::nan(""); });
    for (int k = 0; k < 2; ++k) {
      recorder_.boxes.clear();
      DiagLog->AddLine(1, "message");
      EXPECT_EQ(recorder_.boxes, std::vector<std::string>{
                                     "64||Error 6 (Overflow) in procedure AddLine of Class Module clsXMLOrvaDiagnostics"});
    }
    EXPECT_TRUE(FlushedLines().empty());
  }
}

TEST_F(DiagnosticsTest, LineAfterFlushStopsTheProgramWithoutCleanUp) {
  const std::string pending = dir_.File("pending.xml");
  EXPECT_EXIT(
      {
        ScopedMessageBoxHandler toStderr(nullptr);
        DiagLog = std::make_unique<clsXMLOrvaDiagnostics>();
        DiagLog->Start(pending);
        DiagLog->AddLine(3, "never written");
        clsXMLOrvaDiagnostics flushed;
        flushed.Start(dir_.File("flushed.xml"));
        flushed.Flush();
        flushed.AddLine(1, "too late");
      },
      ::testing::ExitedWithCode(1),
      "^Severe error: Internal error: clsXMLOrvaDiagnostics.WriteLine is called but not initialized!!!\n"
      "Contact Marvik, as this should not occur.\n$");
  EXPECT_FALSE(std::filesystem::exists(pending));
}

TEST_F(DiagnosticsTest, ReportInBatchIsALineWithCrLfPairsJoined) {
  BatchMode = true;
  StartLog();
  const std::pair<std::string, std::string> rows[] = {
      {"A\r\n\r\nB", "A  B"}, {"A\rB\nC", "A\rB\nC"}, {"A\r\r\nB", "A\r B"}, {"\r\n", " "}, {"", ""}};
  std::vector<DiagLine> expected;
  for (const auto& [message, logged] : rows) {
    ReportMessage(message, kStyleCritical, "Error:", kLevelError);
    expected.push_back({kLevelError, logged});
  }
  ReportMessage("info", kStyleInformation, "", kLevelDetail);
  expected.push_back({kLevelDetail, "info"});
  EXPECT_EQ(FlushedLines(), expected);
  EXPECT_TRUE(recorder_.boxes.empty());
}

}  // namespace
}  // namespace tidemill
