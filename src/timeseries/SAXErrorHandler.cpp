#include "timeseries/SAXErrorHandler.h"

#include "common/Numbers.h"
#include "diagnostics/ReportMessage.h"

namespace tidemill {

namespace {

void Report(std::string_view message, int32_t code) {
  // A report that fails must not end the parse from inside the error handler.
  try {
    ReportMessage(SAXErrorText(message, code), kStyleInformation, "", kLevelInfo);
  } catch (...) {
  }
}

}  // namespace

std::string SAXErrorText(std::string_view strErrorMessage, int32_t nErrorCode) {
  std::string text(strErrorMessage);
  text += "\r\nErrorCode = ";
  text += IntegerText(nErrorCode);
  return text;
}

void clsSAXErrorHandler::error(const SaxLocator&, std::string_view strErrorMessage, int32_t nErrorCode) {
  Report(strErrorMessage, nErrorCode);
}

void clsSAXErrorHandler::fatalError(const SaxLocator&, std::string_view strErrorMessage, int32_t nErrorCode) {
  Report(strErrorMessage, nErrorCode);
}

void clsSAXErrorHandler::ignorableWarning(const SaxLocator&, std::string_view strErrorMessage, int32_t nErrorCode) {
  Report(strErrorMessage, nErrorCode);
}

}  // namespace tidemill
