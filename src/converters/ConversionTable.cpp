#include "converters/ConversionTable.h"

#include "common/Paths.h"
#include "diagnostics/ReportMessage.h"

namespace tidemill {

bool ConversionTableExists(const std::string& table) {
  if (FileExists(table)) return true;
  ReportMessage("ConversionTable file not found: " + table, kStyleCritical, "Error:", kLevelError);
  return false;
}

bool RequiredConversionTableExists(const std::string& table, const char* procedure) {
  if (table.empty()) {
    ReportMessage("No ConversionTable file specified.", kStyleExclamation, procedure, kLevelError);
    return false;
  }
  return ConversionTableExists(table);
}

}  // namespace tidemill
