#include "converters/PlannedFile.h"

#include "diagnostics/RunState.h"

namespace tidemill {

PlannedFile::PlannedFile(const std::string& path) {
  if (!PlanMode) file_.emplace(path);
}

void PlannedFile::Write(std::string_view text) {
  if (file_) file_->Write(text);
}

void PlannedFile::Commit() {
  if (file_) file_->Commit();
}

}  // namespace tidemill
