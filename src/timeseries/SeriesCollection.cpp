#include "timeseries/SeriesCollection.h"

#include "common/Error.h"
#include "common/Numbers.h"

namespace tidemill {

namespace {

// The platform's error for a key that a collection already holds.
constexpr int32_t kErrDuplicateKey = 457;

}  // namespace

void SeriesCollection::Add(Record item, std::string key) {
  if (positions_.count(key) != 0) {
    throw Error(kErrDuplicateKey, "This key is already associated with an element of this collection: \"" + key + "\"");
  }
  items_.push_back(std::move(item));
  positions_.emplace(std::move(key), items_.size() - 1);
}

const SeriesCollection::Record& SeriesCollection::Item(int32_t Index) const {
  if (Index < 1 || Index > Count()) {
    throw DetailedError(kErrSubscript, "series " + IntegerText(Index) +
                                   " of a collection of " + IntegerText(Count()));
  }
  return items_[static_cast<std::size_t>(Index) - 1];
}

const SeriesCollection::Record& SeriesCollection::Item(std::string_view key) const {
  const auto it = positions_.find(std::string(key));
  if (it == positions_.end()) {
    throw DetailedError(kErrInvalidCall,
                "no series under the key \"" + std::string(key) + "\"");
  }
  return items_[it->second];
}

bool SeriesCollection::HasKey(std::string_view key) const { return positions_.count(std::string(key)) != 0; }

}  // namespace tidemill
