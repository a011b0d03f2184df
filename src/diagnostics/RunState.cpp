#include "diagnostics/RunState.h"

#include "diagnostics/Plan.h"
#include "diagnostics/XMLOrvaDiagnostics.h"

namespace tidemill {

bool BatchMode = false;
bool DebugMode = false;
bool PlanMode = false;
std::unique_ptr<clsXMLOrvaDiagnostics> DiagLog;

void ResetRunState() {
  BatchMode = false;
  DebugMode = false;
  PlanMode = false;
  TakePlanLines();
  DiagLog.reset();
}

}  // namespace tidemill
