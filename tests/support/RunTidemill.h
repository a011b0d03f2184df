// Runs the built executable, for the end-to-end tests.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/DriverSupport.h"
#include "support/FaultyFileSystem.h"

namespace tidemill::testing {

struct Outcome {
  int status;  // exit status, or 128 + signal
  std::string out, err;
};

// Runs tidemill with the arguments in directory dir; removeDir deletes dir once the program
// has it as its current directory.
inline Outcome RunTidemill(const std::string& dir, const std::vector<std::string>& args, bool removeDir = false) {
  const auto quoted = [](std::string s) {
    for (std::size_t p = 0; (p = s.find('\'', p)) != std::string::npos; p += 4) s.replace(p, 1, "'\\''");
    return "'" + s + "'";
  };
  TempDir capture;
  std::string command = "cd " + quoted(dir) + (removeDir ? " && rmdir \"$PWD\"" : "") + " && exec " + quoted(TIDEMILL_EXE);
  for (const std::string& a : args) (command += " ") += quoted(a);
  const int status = std::system((command + " </dev/null >" + capture.File("out") + " 2>" + capture.File("err")).c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), Slurp(capture.File("out")),
          Slurp(capture.File("err"))};
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
