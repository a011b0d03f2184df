#include "diagnostics/XMLOrvaDiagnostics.h"

#include <cstdlib>

#include "common/DateTime.h"
#include "common/Error.h"
#include "common/FileSystem.h"
#include "common/Numbers.h"
#include "common/Program.h"
#include "common/XmlWriter.h"
#include "diagnostics/ReportMessage.h"
#include "diagnostics/RunState.h"

namespace tidemill {

namespace {

constexpr const char* kClassName = "clsXMLOrvaDiagnostics";

}  // namespace

clsXMLOrvaDiagnostics::clsXMLOrvaDiagnostics() = default;

clsXMLOrvaDiagnostics::~clsXMLOrvaDiagnostics() {
  if (!flushed_) Flush();
}

bool clsXMLOrvaDiagnostics::Start(const std::string& fileName) {
  fileName_ = fileName;
  if (fileName_.empty()) return false;
  try {
    lines_.reserve(64);
    open_ = true;
    return true;
  } catch (...) {
    ReportMessage(ClassErrorText(CurrentError(), "Start", kClassName), kStyleInformation, "", kLevelError);
    return false;
  }
}

void clsXMLOrvaDiagnostics::AddLine(int32_t diagLevel, std::string strMessage) {
  if (fileName_.empty()) return;
  try {
    std::string description = ExecutableName();
    description += ' ';
    description += DateTimeText(clock_ ? clock_() : LocalNow());
    description += " : ";
    description += strMessage;
    WriteLine(IntegerText(diagLevel), description);
  } catch (...) {
    const std::string report = ClassErrorText(CurrentError(), "AddLine", kClassName);
    // A report that fails in its turn would come back here without end: the repeat goes to
    // standard error instead.
    if (reporting_ > 0) {
      ShowMessageBox(report, kStyleInformation, "");
      return;
    }
    ++reporting_;
    ReportMessage(report, kStyleInformation, "", kLevelError);
    --reporting_;
  }
}

void clsXMLOrvaDiagnostics::WriteLine(const std::string& levelText, const std::string& description) {
  if (!open_) {
    ShowMessageBox(
        "Internal error: clsXMLOrvaDiagnostics.WriteLine is called but not initialized!!!\r\n"
        "Contact Marvik, as this should not occur.",
        kStyleExclamation, "Severe error:");
    std::_Exit(1);
  }
  lines_.push_back({levelText, description});
}

std::string clsXMLOrvaDiagnostics::Document() const {
  std::string document;
  document.reserve(1024 + lines_.size() * 128);
  XmlWriter writer(document);
  writer.StartDocument();
  StartQXRoot(writer, "Diag", kDiagSchemaLocation);
  for (const Line& line : lines_) {
    writer.StartElement("line");
    writer.RawAttribute("level", line.levelText);
    writer.Attribute("description", line.description);
    writer.EndElement();
  }
  writer.EndDocument();
  return document;
}

void clsXMLOrvaDiagnostics::Release() {
  open_ = false;
  lines_.clear();
  lines_.shrink_to_fit();
  flushed_ = true;
}

bool clsXMLOrvaDiagnostics::Flush() {
  if (fileName_.empty()) return false;
  try {
    if (!open_) throw Error(kErrObjectNotSet);
    if (withheld_) throw *withheld_;
    WriteFileAtomically(fileName_, Document());
    Release();
    return true;
  } catch (...) {
    // The log cannot take this report: it goes to standard error, and the run's lines after it,
    // one a line, so that nothing of the run is lost with the file.
    std::string report = ClassErrorText(CurrentError(), "Flush", kClassName);
    for (const Line& line : lines_) {
      report += "\r\n";
      report += line.levelText;
      report += ' ';
      for (const char c : line.description) report += c == '\r' || c == '\n' ? ' ' : c;
    }
    Release();
    ErrorReported = true;
    ShowMessageBox(report, kStyleInformation, "");
    return false;
  }
}

}  // namespace tidemill
