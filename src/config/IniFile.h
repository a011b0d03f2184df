// A conversion table read and indexed once per run: every look-up of the run is answered from
// the index, and the file read first is the one the whole run sees.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "config/IniSyntax.h"
#include "config/NoCaseMap.h"

namespace tidemill {

// The first section of a name in a table.
struct IniSection {
  // Whether any line follows the header; a header on the file's last line counts as no section.
  bool hasBody = false;
  // The key lines in file order, as UTF-8.
  std::vector<IniKeyLine> lines;
  // The value of the first key line of each key name (ASCII case folded), untrimmed.
  std::unordered_map<std::string_view, std::string_view, NoCaseHash, NoCaseEqual> firstValues;
};

class IniFile {
 public:
  // Splits text into lines at CR LF, CR and a lone LF and indexes the sections; each line is
  // taken as UTF-8 when valid, else as Windows-1252; a UTF-8 byte order mark is skipped.
  explicit IniFile(std::string text);
  IniFile(const IniFile&) = delete;
  IniFile& operator=(const IniFile&) = delete;

  // The first section whose header names section (ASCII case folded); nullptr when the file has
  // none, or nothing follows its header.
  const IniSection* Find(std::string_view section) const;

 private:
  std::string text_;  // as UTF-8; the index points into it
  NoCaseMap<IniSection> sections_;
};

// The table at path as this run read it first (ResetRunState forgets it); the error of that
// read again when it failed.
const IniFile& ReadIniFile(const std::string& path);
// Whether this run has read the table at path, successfully or not.
bool IniFileRead(const std::string& path);

}  // namespace tidemill
