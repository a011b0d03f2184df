#include <gtest/gtest.h>

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

TEST_F(DiagnosticsTest, ReportInBatchIsALineWithCrLfPairsJoined) {
  BatchMode = true;
  DiagLog = std::make_unique<clsXMLOrvaDiagnostics>();
  DiagLog->Start(dir_.File("diag.xml"));
  const std::pair<std::string, std::string> rows[] = {
      {"A\r\n\r\nB", "A  B"}, {"A\rB\nC", "A\rB\nC"}, {"A\r\r\nB", "A\r B"}, {"\r\n", " "}, {"", ""}};
  std::vector<DiagLine> expected;
  for (const auto& [message, logged] : rows) {
    ReportMessage(message, kStyleCritical, "Error:", kLevelError);
    expected.push_back({kLevelError, logged});
  }
  ReportMessage("info", kStyleInformation, "", kLevelDetail);
  expected.push_back({kLevelDetail, "info"});
  DiagLog.reset();
  EXPECT_EQ(testing::ReadDiagLines(Slurp(dir_.File("diag.xml")), ExecutableName()), expected);
  EXPECT_TRUE(recorder_.boxes.empty());
}

}  // namespace
}  // namespace tidemill
