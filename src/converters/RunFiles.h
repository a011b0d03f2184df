// The files one conversion reads and writes, checked before it writes the first of them: a run
// never writes over a file it reads, nor two of its outputs into one file.
#pragma once

#include <string>
#include <vector>

namespace tidemill {

// A file of the run and what it is to the run ("input", "TMS file"), for the report.
struct RunFile {
  std::string path;
  std::string role;
};

struct RunFiles {
  std::vector<RunFile> reads;     // a file not there is not read
  std::vector<RunFile> writes;
  std::vector<RunFile> rewrites;  // read and rewritten by design: a clash with others, not itself

  // A QX-XML input and the side file that holds its values, when it has one.
  void AddQXInput(const std::string& path);
  // A QX-XML output and its side file, which is written or removed; a device or a pipe has none.
  void AddQXOutput(const std::string& path);
};

// Raises error 75 naming both paths when a file the run writes (the diagnostics file included)
// is one it reads or another it writes, told by identity whatever names lead to it. One device or
// pipe named twice is no clash: it is written straight, nothing is replaced. When the
// diagnostics file is one of the two, the log is kept from writing it.
void CheckRunFiles(const RunFiles& files);

}  // namespace tidemill
