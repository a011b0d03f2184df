// Which location/parameter pairs of a block the QX-XML writer writes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>

namespace tidemill {

// The key naming a pair: "<LOC>" + location + "</LOC> <PAR> " + parameter + "</PAR>".
std::string SelectionKey(std::string_view locationID, std::string_view parameterID);

// A keyed set of strings. Keys are compared without regard to ASCII letter case, like every
// keyed collection of the program.
class Selection {
 public:
  // Adds a key; a key already present stays once.
  void Add(std::string_view key);
  // Adds the key of a pair.
  void AddPair(std::string_view locationID, std::string_view parameterID) { Add(SelectionKey(locationID, parameterID)); }
  bool HasKey(std::string_view key) const;
  // True when the pair's key is present.
  bool HasPair(std::string_view locationID, std::string_view parameterID) const {
    return HasKey(SelectionKey(locationID, parameterID));
  }
  std::size_t Count() const { return keys_.size(); }

 private:
  std::unordered_set<std::string> keys_;  // folded to lower case
};

}  // namespace tidemill
