#include "diagnostics/RunState.h"

#include <vector>

#include "diagnostics/XMLOrvaDiagnostics.h"

namespace tidemill {

bool BatchMode = false;
bool DebugMode = false;
std::unique_ptr<clsXMLOrvaDiagnostics> DiagLog;

namespace {

std::vector<void (*)()>& Clearers() {
  static std::vector<void (*)()> clearers;
  return clearers;
}

}  // namespace

void ResetRunState() {
  BatchMode = false;
  DebugMode = false;
  DiagLog.reset();
  for (const auto clear : Clearers()) clear();
}

void ClearWithRunState(void (*clear)()) { Clearers().push_back(clear); }

}  // namespace tidemill
