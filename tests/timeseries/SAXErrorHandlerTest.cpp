#include "timeseries/SAXErrorHandler.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "diagnostics/MessageBox.h"

namespace tidemill {
namespace {

struct NoLocator : SaxLocator {
  int32_t lineNumber() const override { return 0; }
  int32_t columnNumber() const override { return 0; }
};

// The reader's tests show the reports of every kind; a report that fails must not end the parse.
TEST(SAXErrorHandlerTest, AFailingReportIsSwallowed) {
  NoLocator locator;
  ScopedMessageBoxHandler failing([](std::string_view, int32_t, std::string_view) { throw std::runtime_error("x"); });
  EXPECT_NO_THROW(clsSAXErrorHandler().fatalError(locator, "m", 1));
  EXPECT_NO_THROW(clsSAXErrorHandler().error(locator, "m", 1));
}

}  // namespace
}  // namespace tidemill
