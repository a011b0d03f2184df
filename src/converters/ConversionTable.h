// A conversion's conversion table: the checks made before it is read, and its look-ups.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "config/NoCaseMap.h"

namespace tidemill {

// False after reporting "ConversionTable file not found: " + path when the table is not there.
bool ConversionTableExists(const std::string& table);

// For the conversions that cannot do without a table: an empty path is reported under the
// procedure's name, then as ConversionTableExists. False after the report.
bool RequiredConversionTableExists(const std::string& table, const char* procedure);

// A single key of the table, its value trimmed; when that is empty, whyEmpty tells a missing
// key from an empty value and from one of blanks, for the plan of a run.
struct TableEntry {
  std::string value;
  std::string whyEmpty;
};

// The look-ups of one conversion in its table. Under /plan they are remembered, so that the
// plan can name the entries that no series used: a misspelt key reads like a series left out.
class TableLookups {
 public:
  explicit TableLookups(std::string table) : table_(std::move(table)) {}

  TableEntry Read(const std::string& section, const std::string& key);
  // As ReadIniInteger.
  int32_t ReadInteger(const std::string& section, const std::string& key, int32_t defaultValue);

  // Adds `table entry "K" in [S] is used by no series` for each key of the sections looked in
  // that no look-up named, sections in the order first looked in, keys in file order.
  void AddUnusedPlanLines() const;

 private:
  void Note(const std::string& section, const std::string& key);

  std::string table_;
  std::vector<std::pair<std::string, NoCaseMap<bool>>> used_;  // keys named, by section
};

}  // namespace tidemill
