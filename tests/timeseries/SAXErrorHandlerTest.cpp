#include "timeseries/SAXErrorHandler.h"

#include <gtest/gtest.h>

#include "support/FaultyFileSystem.h"

namespace tidemill {
namespace {

struct NoLocator : SaxLocator {
  int32_t lineNumber() const override { return 0; }
  int32_t columnNumber() const override { return 0; }
};

TEST(SAXErrorHandlerTest, EveryKindIsReportedAsInformationWithTheCode) {
  clsSAXErrorHandler handler;
  NoLocator locator;
  {
    testing::BoxRecorder recorder;
    handler.error(locator, "Namespace prefix q on b is not defined", 201);
    handler.ignorableWarning(locator, "odd", -2147467259);
    EXPECT_EQ(recorder.boxes, (std::vector<std::string>{"64||Namespace prefix q on b is not defined\r\nErrorCode = 201",
                                                        "64||odd\r\nErrorCode = -2147467259"}));
  }
  // A report that fails does not end the parse.
  ScopedMessageBoxHandler failing([](std::string_view, int32_t, std::string_view) { throw std::runtime_error("x"); });
  EXPECT_NO_THROW(handler.fatalError(locator, "m", 1));
}

}  // namespace
}  // namespace tidemill
