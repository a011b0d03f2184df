#include "converters/Converters.h"
#include "diagnostics/ReportMessage.h"

namespace tidemill {

bool ConvertXml2Tms(const std::string&, const std::string&) {
  ReportMessage("This conversion is not available in this build.", kStyleCritical, "Error:", kLevelError);
  return false;
}

}  // namespace tidemill
