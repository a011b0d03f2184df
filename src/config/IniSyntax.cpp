#include "config/IniSyntax.h"

#include "common/FileSystem.h"
#include "common/Text.h"

namespace tidemill {

std::optional<std::string_view> IniHeaderName(std::string_view line) {
  const std::string_view trimmed = TrimBlanks(line);
  if (trimmed.size() < 2 || trimmed.front() != '[' || trimmed.back() != ']') return std::nullopt;
  return trimmed.substr(1, trimmed.size() - 2);
}

bool EndsIniSection(std::string_view line) {
  const std::string_view trimmed = TrimBlanks(line);
  return !trimmed.empty() && trimmed.front() == '[';
}

std::optional<IniKeyLine> SplitIniKeyLine(std::string_view line) {
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  const std::string_view key = TrimBlanks(line.substr(0, equals));
  if (key.empty()) return std::nullopt;
  return IniKeyLine{key, line.substr(equals + 1)};
}

namespace {

// The text as UTF-8; storage holds the conversion when one is needed.
std::string_view AsUtf8(std::string_view text, std::string& storage) {
  if (IsValidUtf8(text)) return text;
  storage = LegacyToUtf8(text);
  return storage;
}

}  // namespace

bool ScanIniSection(const std::string& file, std::string_view section, const IniKeyVisitor& visit) {
  const auto input = Fs().OpenRead(file);
  IniLineReader reader(*input);
  std::string storage;
  std::string_view line;
  bool firstLine = true;
  bool found = false;
  while (!found && reader.Next(line)) {
    if (firstLine && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
    firstLine = false;
    const auto name = IniHeaderName(line);
    found = name && EqualsNoCase(AsUtf8(*name, storage), section);
  }
  // A header on the file's last line counts as a section not read.
  if (!found || !reader.Next(line)) return false;
  do {
    if (EndsIniSection(line)) break;
    const auto keyLine = SplitIniKeyLine(AsUtf8(line, storage));
    if (keyLine && !visit(*keyLine)) break;
  } while (reader.Next(line));
  return true;
}

}  // namespace tidemill
