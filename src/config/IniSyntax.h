// The INI syntax of conversion tables: section headers and key lines.
#pragma once

#include <optional>
#include <string_view>

namespace tidemill {

// A key line split at its first "=".
struct IniKeyLine {
  std::string_view key;    // trimmed of blanks, never empty
  std::string_view value;  // the text after the "=" exactly as it stands
};

// The name between the brackets of a header line (blanks around the brackets ignored, inside
// them kept); nothing for any other line.
std::optional<std::string_view> IniHeaderName(std::string_view line);

// Inside a section, a line whose trimmed form begins with "[" ends it, closed or not.
bool EndsIniSection(std::string_view line);

// A line holding "=" with a non-blank key; nothing otherwise. A line "=x" is skipped, since no
// caller can ask for an empty key. There is no comment syntax: ";x=1" has the key ";x".
std::optional<IniKeyLine> SplitIniKeyLine(std::string_view line);

}  // namespace tidemill
