#include "config/IniFile.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>

#include "common/Error.h"
#include "common/FileSystem.h"
#include "common/Text.h"
#include "diagnostics/RunState.h"

namespace tidemill {

namespace {

// Hands out the lines of text, ended by CR LF, CR or a lone LF; a line end as the last bytes
// starts no further line.
class Lines {
 public:
  explicit Lines(std::string_view text)
      : text_(text), cr_(std::min(text.find('\r'), text.size())), lf_(std::min(text.find('\n'), text.size())) {}
  bool Next(std::string_view& line) {
    if (next_ >= text_.size()) return false;
    const std::size_t end = std::min(Following('\r', cr_), Following('\n', lf_));
    line = text_.substr(next_, end - next_);
    if (end == text_.size()) {
      next_ = end;
    } else {
      next_ = end + (text_[end] == '\r' && end + 1 < text_.size() && text_[end + 1] == '\n' ? 2 : 1);
    }
    return true;
  }

 private:
  // Where the next c at or after next_ lies (the text's size when none), searched for again only
  // once passed: a text of one kind of line end is not searched for the other on every line.
  std::size_t Following(char c, std::size_t& at) const {
    if (at < next_) at = std::min(text_.find(c, next_), text_.size());
    return at;
  }

  std::string_view text_;
  std::size_t next_ = 0;
  std::size_t cr_, lf_;  // the next CR and LF as last found; below next_ once passed
};

// The text with each line that is not valid UTF-8 read as Windows-1252. Line ends are ASCII, so
// a text valid as a whole has only valid lines and is kept as it is.
std::string AsUtf8(std::string text) {
  if (IsValidUtf8(text)) return text;
  std::string converted;
  converted.reserve(text.size() + text.size() / 4);
  Lines lines(text);
  std::string_view line;
  while (lines.Next(line)) {
    if (IsValidUtf8(line)) {
      converted += line;
    } else {
      converted += LegacyToUtf8(line);
    }
    converted += '\n';
  }
  return converted;
}

}  // namespace

IniFile::IniFile(std::string text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);  // a UTF-8 byte order mark
  text_ = AsUtf8(std::move(text));
  Lines lines(text_);
  std::string_view line;
  IniSection* current = nullptr;  // the section whose key lines are being read
  IniSection* opened = nullptr;   // the section whose header was the line before
  while (lines.Next(line)) {
    if (opened != nullptr) {
      opened->hasBody = true;
      opened = nullptr;
    }
    if (current != nullptr && EndsIniSection(line)) current = nullptr;
    if (const auto name = IniHeaderName(line)) {
      // Only the first section of a name is ever read; a later one is skipped whole.
      const auto [entry, added] = sections_.try_emplace(std::string(*name));
      if (added) current = opened = &entry->second;
      continue;
    }
    if (current == nullptr) continue;
    if (const auto keyLine = SplitIniKeyLine(line)) {
      current->lines.push_back(*keyLine);
      current->firstValues.try_emplace(keyLine->key, keyLine->value);
    }
  }
}

const IniSection* IniFile::Find(std::string_view section) const {
  const auto found = sections_.find(section);
  if (found == sections_.end() || !found->second.hasBody) return nullptr;
  return &found->second;
}

namespace {

// A table as the run read it first: its index, or the error of that read.
struct ReadTable {
  std::unique_ptr<IniFile> file;
  std::optional<Error> failure;
};

// Paths are compared exactly: two names of one file are two tables.
std::unordered_map<std::string, ReadTable>& Tables() {
  static std::unordered_map<std::string, ReadTable> tables;
  static const bool cleared = (ClearWithRunState([] { Tables().clear(); }), true);
  (void)cleared;
  return tables;
}

}  // namespace

const IniFile& ReadIniFile(const std::string& path) {
  auto& tables = Tables();
  auto found = tables.find(path);
  if (found == tables.end()) {
    ReadTable table;
    try {
      table.file = std::make_unique<IniFile>(ReadWholeFile(path));
    } catch (...) {
      table.failure = CurrentError();
    }
    found = tables.emplace(path, std::move(table)).first;
  }
  if (found->second.failure) throw *found->second.failure;
  return *found->second.file;
}

bool IniFileRead(const std::string& path) { return Tables().find(path) != Tables().end(); }

}  // namespace tidemill
