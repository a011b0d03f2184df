// Single-key reads from INI files, one key per call, answered from the run's one read of the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tidemill {

// Longest value ReadIniString gives, in characters.
inline constexpr std::size_t kMaxIniStringChars = 254;

// The value of the first key of that name in the first section of that name (both without
// regard to case): the text after the first "=" as it stands, untrimmed, cut to 254 characters.
// The default for a missing or unreadable file, section or key, and for an empty value.
std::string ReadIniString(const std::string& section, const std::string& key, std::string_view defaultValue,
                          const std::string& iniFile);

// The key's value as ReadIniString finds it, but without a default: nothing for a missing or
// unreadable file, section or key; the value otherwise, empty when the key line has none.
std::optional<std::string> FindIniString(const std::string& section, const std::string& key, const std::string& iniFile);

// The key's value read as a leading decimal integer after trimming blanks ("12abc" 12, "+7" 7,
// "-5" -5, "1.9" 1). The default for a file that FileExists rejects (not opened then), a missing
// section or key, a value without a leading integer, or one beyond 32 bits.
int32_t ReadIniInteger(const std::string& section, const std::string& key, int32_t defaultValue,
                       const std::string& iniFile);

}  // namespace tidemill
