#include "config/IniSyntax.h"

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

}  // namespace tidemill
