// Runs the built executable, for the end-to-end tests.
#pragma once

#include <string>
#include <vector>

#include "support/DriverSupport.h"
#include "support/FaultyFileSystem.h"
#include "support/Platform.h"

namespace tidemill::testing {

struct Outcome {
  int status;  // exit status, or 128 + signal
  std::string out, err;
};

// Runs tidemill with the arguments in directory dir; removeDir deletes dir once the program
// has it as its current directory; unprivileged runs it as user nobody when the tests run as
// root (POSIX only). On POSIX a run is killed after two minutes, so that a hang fails.
inline Outcome RunTidemill(const std::string& dir, const std::vector<std::string>& args, bool removeDir = false,
                           bool unprivileged = false) {
  TempDir capture;
  const int status =
      WaitFor(StartTidemill(dir, args, capture.File("out"), capture.File("err"), removeDir, unprivileged));
  return {status, Slurp(capture.File("out")), Slurp(capture.File("err"))};
}

// The outcome lines of a conversion in the diagnostics file.
inline const DiagLine kConvertedLine = {3, kConvertedText};
inline const DiagLine kNotConvertedLine = {1, kNotConvertedText};
inline const DiagLine kXmlFormLine = {4, kXmlFormText};
inline const DiagLine kBinaryFormLine = {4, kBinaryFormText};

// The lines of the diagnostics file diag.xml in dir after the six start-up lines of a run.
inline std::vector<DiagLine> LoggedAfterStart(const TempDir& dir) {
  std::vector<DiagLine> lines = ReadDiagLines(Slurp(dir.File("diag.xml")), "tidemill");
  EXPECT_GE(lines.size(), 6u);
  return lines.size() < 6 ? lines : std::vector<DiagLine>(lines.begin() + 6, lines.end());
}

}  // namespace tidemill::testing
