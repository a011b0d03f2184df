// The error handler of the QX-XML reader.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "timeseries/SaxXmlReader.h"

namespace tidemill {

// Reports every parse error, fatal or not, as information (style 64, level 3); never raises.
class clsSAXErrorHandler : public SaxErrorHandler {
 public:
  void error(const SaxLocator& oLocator, std::string_view strErrorMessage, int32_t nErrorCode) override;
  void fatalError(const SaxLocator& oLocator, std::string_view strErrorMessage, int32_t nErrorCode) override;
  void ignorableWarning(const SaxLocator& oLocator, std::string_view strErrorMessage, int32_t nErrorCode) override;
};

// The report text: the message, CR LF, "ErrorCode = " and the code.
std::string SAXErrorText(std::string_view strErrorMessage, int32_t nErrorCode);

}  // namespace tidemill
