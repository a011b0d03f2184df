// The diagnostics log: collects the messages of a run and writes the XML diagnostics file
// once, at the end of the run, completely or not at all.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "common/QXNames.h"

namespace tidemill {

class XmlWriter;

class clsXMLOrvaDiagnostics {
 public:
  clsXMLOrvaDiagnostics();
  // Flushes when the log has not been flushed yet.
  ~clsXMLOrvaDiagnostics();
  clsXMLOrvaDiagnostics(const clsXMLOrvaDiagnostics&) = delete;
  clsXMLOrvaDiagnostics& operator=(const clsXMLOrvaDiagnostics&) = delete;

  // Starts the document in memory; false for an empty name.
  bool Start(const std::string& fileName);
  // Adds one line stamped with the executable name and the local date and time.
  void AddLine(int32_t diagLevel, std::string strMessage);
  // Writes the file; false when no file was named or it could not be written.
  bool Flush();
  const std::string& FileName() const { return fileName_; }
  // Replaces the local clock that stamps each line (tests: a fixed or a failing time).
  void SetClock(std::function<double()> clock) { clock_ = std::move(clock); }

 private:
  void WriteLine(const std::string& levelText, const std::string& description);
  void Release();

  std::string fileName_;
  std::unique_ptr<std::string> document_;  // exists between Start and Flush
  std::unique_ptr<XmlWriter> writer_;
  bool flushed_ = false;
  int reporting_ = 0;  // depth of error reports made from inside AddLine
  std::function<double()> clock_;  // LocalNow when empty
};

}  // namespace tidemill
