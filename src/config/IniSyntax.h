// The INI syntax of conversion tables: lines, section headers and key lines, read from a file.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "common/LineReader.h"

namespace tidemill {

// Splits a file into lines at CR LF, CR and a lone LF, reading it block by block.
class IniLineReader : public LineReader {
 public:
  explicit IniLineReader(InputFile& file, std::size_t blockSize = 64 * 1024)
      : LineReader(file, LineEnds::Any, blockSize) {}
};

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

// Called with each key line of the section in file order; false stops the reading.
using IniKeyVisitor = std::function<bool(const IniKeyLine&)>;

// Reads the first section of the file whose header names `section` (ASCII case folded) up to
// its end and hands its key lines, as UTF-8, to visit. Each line is taken as UTF-8 when valid,
// else as Windows-1252; a UTF-8 byte order mark is skipped. False when there is no such section
// or nothing follows its header. Raises a file error.
bool ScanIniSection(const std::string& file, std::string_view section, const IniKeyVisitor& visit);

}  // namespace tidemill
