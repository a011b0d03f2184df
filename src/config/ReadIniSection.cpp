#include "config/ReadIniSection.h"

#include <utility>

#include "common/Error.h"
#include "common/Text.h"
#include "config/IniFile.h"
#include "diagnostics/ReportMessage.h"

namespace tidemill {

void clsReadIniSection::ReadSection(bool storeKeys) {
  // What an earlier read kept goes first, so a read that fails leaves nothing behind.
  Drop();
  try {
    table_ = ReadIniFile(file_);
    read_ = table_->Find(section_);
    if (read_ == nullptr) {
      Drop();
      return;
    }
    if (storeKeys) {
      // The first occurrence of a key counts; later ones are skipped without a message.
      for (const IniEntry& entry : read_->entries) {
        if (entry.first) Keys.push_back(entry.key);
      }
    }
    loaded_ = true;
  } catch (...) {
    // An unreadable table is told by Loaded alone.
    Drop();
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
    if (const std::string* value = read_->Value(key)) return std::string(TrimBlanks(*value));
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

void clsReadIniSection::Drop() {
  table_.reset();
  read_ = nullptr;
  Keys.clear();
  loaded_ = false;
}

void clsReadIniSection::Unload(bool keepFile) {
  Drop();
  section_.clear();
  if (!keepFile) file_.clear();
}

std::vector<std::string> clsReadIniSection::KeyAsArray() const { return Keys; }

std::string clsReadIniSection::SectionTotalContents() const {
  try {
    std::string text;
    for (std::size_t i = 0; i < Keys.size(); ++i) {
      // Keys is public: a name put there by hand need not have a value.
      const std::string* value = read_ != nullptr ? read_->Value(Keys[i]) : nullptr;
      if (value == nullptr) throw Error(kErrInvalidCall);
      if (i > 0) text += "\r\n";
      text += Keys[i];
      text += '=';
      text += TrimBlanks(*value);
    }
    return text;
  } catch (...) {
    ReportMessage("Internal error in clsReadIniSection.SectionTotalContents: " + CurrentError().Description(),
                  kStyleExclamation, "Error:", kLevelInfo);
    return {};
  }
}

}  // namespace tidemill
