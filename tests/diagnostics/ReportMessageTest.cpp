#include <gtest/gtest.h>

#include "common/Program.h"
#include "diagnostics/ReportMessage.h"
#include "diagnostics/XMLOrvaDiagnostics.h"
#include "driver/RunState.h"
#include "support/DriverSupport.h"

namespace tidemill {
namespace {

using testing::Box;
using testing::BoxRecorder;
using testing::DiagLine;
using testing::Slurp;
using testing::TempDir;

class ReportMessageTest : public ::testing::Test {
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
  TempDir dir_;
  BoxRecorder recorder_;
};

TEST_F(ReportMessageTest, BatchLineJoinsCrLfPairsOnly) {
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

TEST_F(ReportMessageTest, WithoutBatchLogPairAMessageBoxIsShown) {
  for (const bool batch : {false, true}) {
    for (const bool log : {false, true}) {
      if (batch && log) continue;
      ResetRunState();
      BatchMode = batch;
      if (log) StartLog();
      recorder_.boxes.clear();
      ReportMessage("A\r\nB", kStyleExclamation, "Title", kLevelError);
      EXPECT_EQ(recorder_.boxes, (std::vector<Box>{{"A\r\nB", kStyleExclamation, "Title"}}));
      if (log) {
        EXPECT_TRUE(FlushedLines().empty());
      }
    }
  }
}

}  // namespace
}  // namespace tidemill
