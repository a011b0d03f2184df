// The checks a conversion makes of its conversion table before it reads it.
#pragma once

#include <string>

namespace tidemill {

// False after reporting "ConversionTable file not found: " + path when the table is not there.
bool ConversionTableExists(const std::string& table);

// For the conversions that cannot do without a table: an empty path is reported under the
// procedure's name, then as ConversionTableExists. False after the report.
bool RequiredConversionTableExists(const std::string& table, const char* procedure);

// A single key of the table, its value trimmed; when that is empty, whyEmpty tells a missing
// key (or an empty value) from one of blanks, for the plan of a run.
struct TableEntry {
  std::string value;
  std::string whyEmpty;
};
TableEntry ReadTableEntry(const std::string& section, const std::string& key, const std::string& table);

}  // namespace tidemill
