// Reads one section of a conversion table and answers key look-ups from it, from the run's one
// read of the table.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tidemill {

class IniFile;
struct IniSection;

class clsReadIniSection {
 public:
  // The section's key names in file order; filled only when ReadSection stores keys.
  std::vector<std::string> Keys;

  // True after a ReadSection that found the section with at least one line after its header.
  bool Loaded() const { return loaded_; }
  // The table's file name; setting it reads nothing.
  const std::string& File() const { return file_; }
  void File(const std::string& value) { file_ = value; }
  // The section's name without brackets; setting it reads nothing.
  const std::string& Section() const { return section_; }
  void Section(const std::string& value) { section_ = value; }

  // The key's value; when not loaded, nothing (the default was omitted); when absent, "".
  std::optional<std::string> GetKey(std::string_view key) const;
  // The key's value, or defaultValue when not loaded or absent.
  std::string GetKey(std::string_view key, std::string_view defaultValue) const;
  // Reads the section; a missing or unreadable file or section leaves Loaded false, silently.
  void ReadSection(bool storeKeys = false);
  // Drops the section, clears Section and, unless keepFile, File.
  void Unload(bool keepFile = false);
  // The stored key names in file order; empty when none were stored.
  std::vector<std::string> KeyAsArray() const;
  // The stored keys as key=value lines joined by CR LF; "" when no keys are stored.
  std::string SectionTotalContents() const;

 private:
  void Drop();
  std::optional<std::string> LookUp(std::string_view key, std::optional<std::string_view> passed) const;

  std::string file_;
  std::string section_;
  bool loaded_ = false;
  std::shared_ptr<const IniFile> table_;   // the table read, while loaded
  const IniSection* read_ = nullptr;       // its section, while loaded
};

}  // namespace tidemill
