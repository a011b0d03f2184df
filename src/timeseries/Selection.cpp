#include "timeseries/Selection.h"

#include "common/Text.h"

namespace tidemill {

std::string SelectionKey(std::string_view locationID, std::string_view parameterID) {
  std::string key;
  key.reserve(locationID.size() + parameterID.size() + 25);
  key += "<LOC>";
  key += locationID;
  key += "</LOC> <PAR> ";
  key += parameterID;
  key += "</PAR>";
  return key;
}

void Selection::Add(std::string_view key) { keys_.insert(LowerAscii(key)); }

bool Selection::HasKey(std::string_view key) const { return keys_.count(LowerAscii(key)) != 0; }

}  // namespace tidemill
