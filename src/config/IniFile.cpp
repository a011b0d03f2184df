#include "config/IniFile.h"

#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>

#include "common/Error.h"
#include "common/FileSystem.h"
#include "common/LineReader.h"
#include "common/Text.h"
#include "config/IniSyntax.h"
#include "diagnostics/RunState.h"

namespace tidemill {

namespace {

// The text as UTF-8; storage holds the conversion when one is needed.
std::string_view AsUtf8(std::string_view text, std::string& storage) {
  if (IsValidUtf8(text)) return text;
  storage = LegacyToUtf8(text);
  return storage;
}

}  // namespace

const std::string* IniSection::Value(std::string_view key) const {
  const auto found = firstOfKey.find(key);
  return found == firstOfKey.end() ? nullptr : &found->second->value;
}

IniFile::IniFile(InputFile& input) {
  LineReader reader(input, LineEnds::Any);
  std::string storage;
  std::string_view line;
  IniSection* current = nullptr;  // the section whose key lines are being read
  IniSection* opened = nullptr;   // the section whose header was the line before
  for (bool first = true; reader.Next(line); first = false) {
    if (first && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
    if (opened != nullptr) {
      opened->hasBody = true;
      opened = nullptr;
    }
    if (current != nullptr && EndsIniSection(line)) current = nullptr;
    if (const auto name = IniHeaderName(line)) {
      // Only the first section of a name is ever read; a later one is skipped whole.
      const auto [entry, added] = sections_.try_emplace(std::string(AsUtf8(*name, storage)));
      if (added) current = opened = &entry->second;
      continue;
    }
    if (current == nullptr) continue;
    if (const auto keyLine = SplitIniKeyLine(AsUtf8(line, storage))) {
      IniEntry& entry = current->entries.emplace_back(
          IniEntry{std::string(keyLine->key), std::string(keyLine->value), false});
      entry.first = current->firstOfKey.try_emplace(entry.key, &entry).second;
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
  std::shared_ptr<const IniFile> file;
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

std::shared_ptr<const IniFile> ReadIniFile(const std::string& path) {
  auto& tables = Tables();
  auto found = tables.find(path);
  if (found == tables.end()) {
    ReadTable table;
    try {
      const auto input = Fs().OpenRead(path);
      table.file = std::make_shared<const IniFile>(*input);
    } catch (...) {
      table.failure = CurrentError();
    }
    found = tables.emplace(path, std::move(table)).first;
  }
  if (found->second.failure) throw *found->second.failure;
  return found->second.file;
}

}  // namespace tidemill
