#include "config/ProfileString.h"

#include <charconv>
#include <optional>

#include "common/Text.h"
#include "config/IniFile.h"

namespace tidemill {

namespace {

// The key's value cut to maxChars characters; nothing when absent or unreadable. Never raises.
std::optional<std::string> FindIniValue(const std::string& section, const std::string& key, const std::string& iniFile,
                                        std::size_t maxChars) {
  try {
    const IniSection* found = ReadIniFile(iniFile)->Find(section);
    const std::string* value = found != nullptr ? found->Value(key) : nullptr;  // the first key of that name
    if (value == nullptr) return std::nullopt;
    return std::string(CutToChars(*value, maxChars));
  } catch (...) {
    return std::nullopt;
  }
}

// A leading decimal integer with an optional sign; nothing when there is none or it overflows.
std::optional<int32_t> LeadingInteger(std::string_view text) {
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (text.empty() || text.front() == '-') return std::nullopt;
  }
  int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<std::string> FindIniString(const std::string& section, const std::string& key,
                                         const std::string& iniFile) {
  return FindIniValue(section, key, iniFile, kMaxIniStringChars);
}

std::string ReadIniString(const std::string& section, const std::string& key, std::string_view defaultValue,
                          const std::string& iniFile) {
  const auto value = FindIniString(section, key, iniFile);
  if (!value || value->empty()) return std::string(defaultValue);
  return *value;
}

int32_t ReadIniInteger(const std::string& section, const std::string& key, int32_t defaultValue,
                       const std::string& iniFile) {
  const auto value = FindIniValue(section, key, iniFile, std::string_view::npos);
  if (!value) return defaultValue;
  return LeadingInteger(TrimBlanks(*value)).value_or(defaultValue);
}

}  // namespace tidemill
