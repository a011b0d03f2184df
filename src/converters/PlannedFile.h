// An output file of a conversion that a run under "/plan" never writes. It lives with the
// converters, not with the file system, since whether a run writes is run-wide state.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/FileSystem.h"

namespace tidemill {

// An AtomicFile, except in a run that only plans, where it takes the bytes and drops them.
class PlannedFile {
 public:
  explicit PlannedFile(const std::string& path);
  void Write(std::string_view text);
  void Commit();

 private:
  std::optional<AtomicFile> file_;
};

}  // namespace tidemill
