// The diagnostics log: collects the messages of a run and writes the XML diagnostics file
// once, at the end of the run, completely or not at all. When the file cannot be written, the
// report and the run's lines go to standard error instead.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/Error.h"
#include "common/QXNames.h"

namespace tidemill {

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
  // Writes the file; false when no file was named or it could not be written, which is reported
  // on standard error with every line of the log after it.
  bool Flush();
  const std::string& FileName() const { return fileName_; }
  // Keeps the file from being written (it is one the run reads or writes otherwise): Flush
  // reports why instead, with the run's lines, on standard error.
  void Withhold(Error why) { withheld_ = std::move(why); }
  // Replaces the local clock that stamps each line (tests: a fixed or a failing time).
  void SetClock(std::function<double()> clock) { clock_ = std::move(clock); }

 private:
  struct Line {
    std::string levelText;
    std::string description;
  };

  void WriteLine(const std::string& levelText, const std::string& description);
  std::string Document() const;
  void Release();

  std::string fileName_;
  bool open_ = false;  // between Start and Flush
  std::vector<Line> lines_;
  bool flushed_ = false;
  int reporting_ = 0;  // depth of error reports made from inside AddLine
  std::function<double()> clock_;  // LocalNow when empty
  std::optional<Error> withheld_;
};

}  // namespace tidemill
