#include "diagnostics/MessageBox.h"

#include <gtest/gtest.h>

#include "support/DriverSupport.h"

namespace tidemill {
namespace {

TEST(MessageBox, TitleSeparatorAndLineBreaks) {
  const std::tuple<std::string, std::string, std::string> rows[] = {
      {"text", "", "Tidemill: text"},
      {"text", "Error:", "Error: text"},
      {"text", "ConvertXml2Tms", "ConvertXml2Tms: text"},
      {"A\r\n\r\nB", "Info:", "Info: A\n\nB"},
      {"A\rB\nC", "T", "T: A\rB\nC"},
      {"", "", "Tidemill: "},
  };
  for (const auto& [text, title, shown] : rows) EXPECT_EQ(FormatMessageBox(text, title), shown);
}

TEST(MessageBox, WritesToStandardErrorUnlessAHandlerTakesIt) {
  ::testing::internal::CaptureStderr();
  ShowMessageBox("Line 1\r\nLine 2", kStyleCritical, "Error:");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Error: Line 1\nLine 2\n");
  testing::BoxRecorder recorder;
  ::testing::internal::CaptureStderr();
  ShowMessageBox("x", kStyleExclamation, "");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(recorder.boxes, (std::vector<testing::Box>{{"x", kStyleExclamation, ""}}));
}

}  // namespace
}  // namespace tidemill
