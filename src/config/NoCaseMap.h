// Keyed look-ups without regard to case (ASCII letters folded, never by locale).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

#include "common/Text.h"

namespace tidemill {

// Hash of a key with its ASCII letters folded; looks up by string_view without a copy.
struct NoCaseHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const noexcept;
};

// Equality of keys with their ASCII letters folded.
struct NoCaseEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const noexcept { return EqualsNoCase(a, b); }
};

// A hashed map whose keys are compared without regard to case.
template <class Value>
using NoCaseMap = std::unordered_map<std::string, Value, NoCaseHash, NoCaseEqual>;

}  // namespace tidemill
