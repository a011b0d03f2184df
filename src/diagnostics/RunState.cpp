#include "diagnostics/RunState.h"

#include "diagnostics/XMLOrvaDiagnostics.h"

namespace tidemill {

bool BatchMode = false;
bool DebugMode = false;
std::unique_ptr<clsXMLOrvaDiagnostics> DiagLog;
bool ErrorReported = false;

void ResetRunState() {
  BatchMode = false;
  DebugMode = false;
  DiagLog.reset();
  ErrorReported = false;
}

}  // namespace tidemill
