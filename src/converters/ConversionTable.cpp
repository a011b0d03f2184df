#include "converters/ConversionTable.h"

#include "common/Paths.h"
#include "common/Text.h"
#include "config/ProfileString.h"
#include "diagnostics/Plan.h"
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

TableEntry ReadTableEntry(const std::string& section, const std::string& key, const std::string& table) {
  // No value read from a table holds a line end, so this default tells a missing key.
  constexpr const char* kMissing = "\n";
  const std::string raw = ReadIniString(section, key, kMissing, table);
  if (raw == kMissing) return {"", NoKeyText(section, key)};
  TableEntry entry{std::string(TrimBlanks(raw)), ""};
  if (entry.value.empty()) entry.whyEmpty = BlankKeyText(section, key);
  return entry;
}

}  // namespace tidemill
