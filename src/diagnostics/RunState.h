// Run-wide state, alive for the whole run.
#pragma once

#include <memory>

namespace tidemill {

class clsXMLOrvaDiagnostics;

// Set by "/batch": messages go to the diagnostics log instead of message boxes.
extern bool BatchMode;
// Set by "/debug" or "/debugmode": QX-XML is written without its binary side file.
extern bool DebugMode;
// Set by "/plan": the run writes nothing and tells what the conversion would do (Plan.h).
extern bool PlanMode;
// The threads the run works on, resolved once by Main (TIDEMILL_THREADS); 1 until then.
extern unsigned ThreadCount;
// The one diagnostics log, when "/diagfile" names a file.
extern std::unique_ptr<clsXMLOrvaDiagnostics> DiagLog;
// Set by every report at level 1, wherever it went (log, standard error or both): the run did
// not convert everything it was asked to.
extern bool ErrorReported;

// Back to the start values (tests; one run per process otherwise).
void ResetRunState();

// Has ResetRunState also clear state that another subsystem keeps for one run (the conversion
// tables read), which this one cannot name.
void ClearWithRunState(void (*clear)());

}  // namespace tidemill
