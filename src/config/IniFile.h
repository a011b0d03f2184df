// A conversion table read and indexed once per run: every look-up of the run is answered from
// the index, and the file read first is the one the whole run sees.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "config/NoCaseMap.h"

namespace tidemill {

class InputFile;

// A key line of a section, as UTF-8.
struct IniEntry {
  std::string key;    // trimmed of blanks, never empty
  std::string value;  // the text after the first "=" exactly as it stands
  bool first;         // the first key line of its name in the section (ASCII case folded)
};

// The first section of a name in a table.
struct IniSection {
  // Whether any line follows the header; a header on the file's last line counts as no section.
  bool hasBody = false;
  // The key lines in file order; a deque, so that adding one moves none.
  std::deque<IniEntry> entries;
  // The first key line of each key name (ASCII case folded), by the name in entries.
  std::unordered_map<std::string_view, const IniEntry*, NoCaseHash, NoCaseEqual> firstOfKey;

  // The value of the first key line of that name; nullptr when there is none.
  const std::string* Value(std::string_view key) const;
};

class IniFile {
 public:
  // Reads the file line by line (CR LF, CR and a lone LF end a line) and keeps the key lines of
  // the first section of each name. Header and key lines are taken as UTF-8 when valid, else as
  // Windows-1252; a UTF-8 byte order mark is skipped. Raises a file error.
  explicit IniFile(InputFile& input);

  // The first section whose header names section (ASCII case folded); nullptr when the file has
  // none, or nothing follows its header.
  const IniSection* Find(std::string_view section) const;

 private:
  NoCaseMap<IniSection> sections_;
};

// The table at path as this run read it first (ResetRunState forgets it, a holder keeps it); the
// error of that read again when it failed.
std::shared_ptr<const IniFile> ReadIniFile(const std::string& path);

}  // namespace tidemill
