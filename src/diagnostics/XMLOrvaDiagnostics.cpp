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
    auto document = std::make_unique<std::string>();
    document->reserve(1 << 16);
    auto writer = std::make_unique<XmlWriter>(*document);
    writer->StartDocument();
    writer->StartElement("Diag");
    writer->Attribute("xmlns", kQXNamespace);
    writer->Attribute("xmlns:xsi", kXsiNamespace);
    writer->Attribute("xsi:schemaLocation", kDiagSchemaLocation);
    writer->Attribute("version", "1.2");
    document_ = std::move(document);
    writer_ = std::move(writer);
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
  if (!writer_) {
    ShowMessageBox(
        "Internal error: clsXMLOrvaDiagnostics.WriteLine is called but not initialized!!!\r\n"
        "Contact Marvik, as this should not occur.",
        kStyleExclamation, "Severe error:");
    std::_Exit(1);
  }
  writer_->StartElement("line");
  writer_->RawAttribute("level", levelText);
  writer_->Attribute("description", description);
  writer_->EndElement();
}

void clsXMLOrvaDiagnostics::Release() {
  writer_.reset();
  document_.reset();
  flushed_ = true;
}

bool clsXMLOrvaDiagnostics::Flush() {
  if (fileName_.empty()) return false;
  try {
    if (!writer_) throw Error(kErrObjectNotSet);
    writer_->EndDocument();
    WriteFileAtomically(fileName_, *document_);
    Release();
    return true;
  } catch (...) {
    const Error error = CurrentError();
    // The log cannot take this report: it goes to standard error, the log is given up.
    Release();
    ErrorReported = true;
    ShowMessageBox(ClassErrorText(error, "Flush", kClassName), kStyleInformation, "");
    return false;
  }
}

}  // namespace tidemill
