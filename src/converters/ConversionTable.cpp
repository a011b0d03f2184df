#include "converters/ConversionTable.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "common/Error.h"
#include "common/Paths.h"
#include "common/Text.h"
#include "config/IniFile.h"
#include "config/ProfileString.h"
#include "diagnostics/Plan.h"
#include "diagnostics/ReportMessage.h"
#include "diagnostics/RunState.h"

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

TableEntry TableLookups::Read(const std::string& section, const std::string& key) {
  Note(section, key);
  const std::optional<std::string> raw = FindIniString(section, key, table_);
  if (!raw) return {"", NoKeyText(section, key)};
  if (raw->empty()) return {"", EmptyKeyText(section, key)};
  TableEntry entry{std::string(TrimBlanks(*raw)), ""};
  if (entry.value.empty()) entry.whyEmpty = BlankKeyText(section, key);
  return entry;
}

int32_t TableLookups::ReadInteger(const std::string& section, const std::string& key, int32_t defaultValue) {
  Note(section, key);
  return ReadIniInteger(section, key, defaultValue, table_);
}

void TableLookups::Note(const std::string& section, const std::string& key) {
  if (!PlanMode) return;
  auto found = std::find_if(used_.begin(), used_.end(), [&](const auto& s) { return EqualsNoCase(s.first, section); });
  if (found == used_.end()) found = used_.insert(used_.end(), {section, {}});
  found->second.try_emplace(key, true);
}

void TableLookups::AddUnusedPlanLines() const {
  std::shared_ptr<const IniFile> file;
  try {
    file = ReadIniFile(table_);
  } catch (const Error&) {
    return;  // a table that cannot be read has no entries to list
  }
  for (const auto& [section, keys] : used_) {
    const IniSection* found = file->Find(section);
    if (found == nullptr) continue;
    for (const IniEntry& entry : found->entries) {
      if (entry.first && !keys.contains(entry.key)) {
        AddPlanLine(UnusedKeyText(section, entry.key));
      }
    }
  }
}

}  // namespace tidemill
