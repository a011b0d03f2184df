#include "diagnostics/RunState.h"

#include <vector>

#include "diagnostics/Plan.h"
#include "diagnostics/XMLOrvaDiagnostics.h"

namespace tidemill {

bool BatchMode = false;
bool DebugMode = false;
bool PlanMode = false;
unsigned ThreadCount = 1;
std::unique_ptr<clsXMLOrvaDiagnostics> DiagLog;
bool ErrorReported = false;

namespace {

std::vector<void (*)()>& Clearers() {
  static std::vector<void (*)()> clearers;
  return clearers;
}

}  // namespace

void ResetRunState() {
  BatchMode = false;
  DebugMode = false;
  PlanMode = false;
  ThreadCount = 1;
  TakePlanLines();
  DiagLog.reset();
  for (const auto clear : Clearers()) clear();
  ErrorReported = false;
}

void ClearWithRunState(void (*clear)()) { Clearers().push_back(clear); }

}  // namespace tidemill
