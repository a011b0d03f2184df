#include "diagnostics/ReportMessage.h"

#include <string>

#include "diagnostics/RunState.h"
#include "diagnostics/XMLOrvaDiagnostics.h"

namespace tidemill {

void ReportMessage(std::string_view message, int32_t style, std::string_view title, int32_t level) {
  if (level == kLevelError) ErrorReported = true;
  if (DiagLog && BatchMode) {
    std::string line;
    line.reserve(message.size());
    for (std::size_t i = 0; i < message.size(); ++i) {
      if (message[i] == '\r' && i + 1 < message.size() && message[i + 1] == '\n') {
        line += ' ';
        ++i;
      } else {
        line += message[i];
      }
    }
    DiagLog->AddLine(level, std::move(line));
    return;
  }
  ShowMessageBox(message, style, title);
}

void ReportModuleError(std::string_view procedure) {
  ReportMessage(ModuleErrorText(CurrentError(), procedure), kStyleCritical, "Error:", kLevelError);
}

}  // namespace tidemill
