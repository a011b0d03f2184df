#include "config/ReadIniSection.h"

#include <utility>

#include "common/Error.h"
#include "common/Text.h"
#include "config/IniFile.h"
#include "diagnostics/ReportMessage.h"

namespace tidemill {

bool clsReadIniSection::LoadSection(bool storeKeys) {
  // The old collections go first, so a read that fails half-way leaves nothing behind.
  keyValues_.clear();
  Keys.clear();
  const IniSection* section = ReadIniFile(file_).Find(section_);
  if (section == nullptr) return false;
  NoCaseMap<std::string> values;
  std::vector<std::string> keys;
  for (const IniEntry& entry : section->entries) {
    // The first occurrence of a key counts; later ones are skipped without a message.
    if (values.find(entry.key) == values.end()) {
      values.emplace(entry.key, std::string(TrimBlanks(entry.value)));
      if (storeKeys) keys.push_back(entry.key);
    }
  }
  keyValues_ = std::move(values);
  Keys = std::move(keys);
  return true;
}

void clsReadIniSection::ReadSection(bool storeKeys) {
  loaded_ = false;
  try {
    loaded_ = LoadSection(storeKeys);
  } catch (...) {
    // An unreadable table is told by Loaded alone, and LoadSection kept nothing of it.
  }
}

std::optional<std::string> clsReadIniSection::LookUp(std::string_view key,
                                                     std::optional<std::string_view> passed) const {
  const auto asPassed = [&]() -> std::optional<std::string> {
    if (passed) return std::string(*passed);
    return std::nullopt;
  };
  if (!loaded_) return asPassed();
  try {
    const auto found = keyValues_.find(key);
    if (found != keyValues_.end()) return found->second;
    return std::string(passed.value_or(std::string_view()));
  } catch (...) {
    ReportMessage(CurrentError().Description() + " in GetKey", kStyleCritical, "Error:", kLevelError);
    return asPassed();
  }
}

std::optional<std::string> clsReadIniSection::GetKey(std::string_view key) const { return LookUp(key, std::nullopt); }

std::string clsReadIniSection::GetKey(std::string_view key, std::string_view defaultValue) const {
  return *LookUp(key, defaultValue);
}

void clsReadIniSection::Unload(bool keepFile) {
  keyValues_.clear();
  Keys.clear();
  loaded_ = false;
  section_.clear();
  if (!keepFile) file_.clear();
}

std::vector<std::string> clsReadIniSection::KeyAsArray() const { return Keys; }

std::string clsReadIniSection::SectionTotalContents() const {
  try {
    std::string text;
    for (std::size_t i = 0; i < Keys.size(); ++i) {
      // Keys is public: a name put there by hand need not have a value.
      const auto found = keyValues_.find(Keys[i]);
      if (found == keyValues_.end()) throw Error(kErrInvalidCall);
      if (i > 0) text += "\r\n";
      text += Keys[i];
      text += '=';
      text += found->second;
    }
    return text;
  } catch (...) {
    ReportMessage("Internal error in clsReadIniSection.SectionTotalContents: " + CurrentError().Description(),
                  kStyleExclamation, "Error:", kLevelInfo);
    return {};
  }
}

}  // namespace tidemill
