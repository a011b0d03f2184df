#include "timeseries/SAXErrorHandler.h"

#include <gtest/gtest.h>

#include <vector>

#include "diagnostics/MessageBox.h"

namespace tidemill {
namespace {

struct NoLocator : SaxLocator {
  int32_t lineNumber() const override { return 0; }
  int32_t columnNumber() const override { return 0; }
};

TEST(SAXErrorHandlerTest, EveryKindIsReportedAsInformationWithTheCode) {
  std::vector<std::string> boxes;
  ScopedMessageBoxHandler capture([&](std::string_view text, int32_t style, std::string_view title) {
    boxes.push_back(std::to_string(style) + "|" + std::string(title) + "|" + std::string(text));
  });
  clsSAXErrorHandler handler;
  NoLocator locator;
  handler.error(locator, "Namespace prefix q on b is not defined", 201);
  handler.fatalError(locator, "Document is empty", 4);
  handler.ignorableWarning(locator, "odd", -2147467259);
  const std::vector<std::string> expected = {
      "64||Namespace prefix q on b is not defined\r\nErrorCode = 201",
      "64||Document is empty\r\nErrorCode = 4",
      "64||odd\r\nErrorCode = -2147467259",
  };
  EXPECT_EQ(boxes, expected);
  ScopedMessageBoxHandler failing([](std::string_view, int32_t, std::string_view) { throw std::runtime_error("x"); });
  EXPECT_NO_THROW(handler.fatalError(locator, "m", 1));
}

}  // namespace
}  // namespace tidemill
