// Text helpers: ASCII case folding, blank trimming, character-set repair.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tidemill {

inline char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

// Folds ASCII letters only, never by locale.
std::string LowerAscii(std::string_view text);
// Inline: element names are compared for every element a reader meets.
inline bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

// XML white space: space, tab, carriage return, line feed.
inline bool IsXmlBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
// Whether text holds XML white space only.
bool AllXmlBlanks(std::string_view text);
// What separates the tokens of a command line or an edit-node line: a space or a tab.
inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Removes leading and trailing blanks (spaces only, as the platform's Trim).
std::string_view TrimBlanks(std::string_view text);

bool IsValidUtf8(std::string_view text);

// Text from an 8-bit file as UTF-8: kept as it is when it is valid UTF-8, otherwise read byte
// by byte as Windows-1252.
std::string LegacyToUtf8(std::string_view text);

// The number of characters of UTF-8 text.
std::size_t CountChars(std::string_view text);

// The longest prefix of UTF-8 text that holds at most maxChars characters.
std::string_view CutToChars(std::string_view text, std::size_t maxChars);
// The longest prefix of UTF-8 text that holds at most maxBytes bytes and ends at a character
// boundary (fixed-width fields of 8-bit files).
std::string_view CutToBytes(std::string_view text, std::size_t maxBytes);

}  // namespace tidemill
