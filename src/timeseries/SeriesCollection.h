// The series collection: the records of a QX-XML file in file order, keyed "1", "2", "3" ...
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "timeseries/Series.h"

namespace tidemill {

class SeriesCollection {
 public:
  using Record = std::shared_ptr<clsSeries>;

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // Adds a record at the end under key; error 457 when the key is taken.
  void Add(Record item, std::string key);
  // The record at position Index (1 is the first); error 9 outside 1 to Count.
  const Record& Item(int32_t Index) const;
  // The record under key; error 5 when there is none.
  const Record& Item(std::string_view key) const;
  bool HasKey(std::string_view key) const;

  std::vector<Record>::const_iterator begin() const { return items_.begin(); }
  std::vector<Record>::const_iterator end() const { return items_.end(); }

 private:
  std::vector<Record> items_;
  std::unordered_map<std::string, std::size_t> positions_;
};

}  // namespace tidemill
