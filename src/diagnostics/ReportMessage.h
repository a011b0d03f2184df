// The one way every message of a run is reported.
#pragma once

#include <cstdint>
#include <string_view>

#include "common/Error.h"
#include "diagnostics/MessageBox.h"

namespace tidemill {

// Diagnostics levels.
inline constexpr int32_t kLevelError = 1;
inline constexpr int32_t kLevelInfo = 3;
inline constexpr int32_t kLevelDetail = 4;

// In batch mode with a diagnostics log: a log line, CR LF pairs replaced by one blank.
// Otherwise a message box with the style and title.
void ReportMessage(std::string_view message, int32_t style, std::string_view title, int32_t level);

// Reports the error in flight in the module form: "Error N (description) in procedure P of
// Module Mod_Main", style 16, title "Error:", level 1. Call only inside a catch block.
void ReportModuleError(std::string_view procedure);

// The two error policies of the procedures. Stop at the first error: runs body; an error it
// raises is reported in the module form and gives false.
template <class Body>
bool RunReportingErrors(std::string_view procedure, Body&& body) {
  try {
    return body();
  } catch (...) {
    ReportModuleError(procedure);
    return false;
  }
}

// Report and go on: runs one step of a procedure; an error it raises is reported in the module
// form. True when the step ran to its end, so that later steps can tell what is unset.
template <class Step>
bool RunStep(std::string_view procedure, Step&& step) {
  try {
    step();
    return true;
  } catch (...) {
    ReportModuleError(procedure);
    return false;
  }
}

}  // namespace tidemill
