// Reading large QX-XML files: ReadQXFile on the XML form against libxml2's bare SAX2 push
// parser on the same file (measured in the same run), the binary form (headers only and the
// side file), and the peak memory per event while reading.
//   qx_reader_bench [events per series] [series] [directory] [events of the long series]
// Defaults: 20 series of 100000 hourly events (about 137 MB) in a new temporary directory,
// and one series of 10000000 events for the memory figures (0 leaves it out).
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "common/Parallel.h"
#include "diagnostics/RunState.h"
#include "timeseries/QXContentHandler.h"

using namespace tidemill;
using namespace tidemill::bench;

namespace {

// The reading layer with handlers that do nothing: what the adapter adds to libxml2.
double AdapterParse(const std::string& path) {
  const auto t0 = Clock::now();
  SaxContentHandler nothing;
  SaxXmlReader reader;
  reader.contentHandler(&nothing);
  reader.parseURL(path);
  return Seconds(t0);
}

// Reads a file the way the converters do; the seconds, and the events read.
double Read(const std::string& path, long& events) {
  const auto t0 = Clock::now();
  QXReadResult r = ReadQXFile(path);
  const double t = Seconds(t0);
  if (r.error) {
    std::fprintf(stderr, "%s\n", r.error->Description().c_str());
    std::exit(1);
  }
  events = 0;
  for (const auto& s : *r.series) events += s->lValCounter();
  return t;
}

// A line "Name:   1234 kB" of /proc/self/status, in KiB.
long StatusKiB(const char* name) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(name, 0) == 0) return std::atol(line.c_str() + std::strlen(name));
  }
  return -1;
}

struct Memory {
  double seconds = 0;
  long events = 0;
  long maxRssKiB = 0;      // getrusage's peak of the whole process
  long hwmGrowthKiB = 0;   // VmHWM after reading minus VmRSS before it
};

// Reads path in a child process of its own, so that nothing the benchmark did before (or its
// other reads) counts in the peak.
Memory MeasureMemory(const std::string& path) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    close(pipeFds[0]);
    // The child starts with the parent's high-water mark: reset it to what the child holds.
    if (std::FILE* clear = std::fopen("/proc/self/clear_refs", "w")) {
      std::fputs("5", clear);
      std::fclose(clear);
    }
    Memory m;
    const long before = StatusKiB("VmRSS:");
    m.seconds = Read(path, m.events);
    m.hwmGrowthKiB = StatusKiB("VmHWM:") - before;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    m.maxRssKiB = usage.ru_maxrss;
    const ssize_t written = write(pipeFds[1], &m, sizeof m);
    _exit(written == static_cast<ssize_t>(sizeof m) ? 0 : 1);
  }
  close(pipeFds[1]);
  Memory m;
  if (pid < 0 || read(pipeFds[0], &m, sizeof m) != static_cast<ssize_t>(sizeof m)) m = {};
  close(pipeFds[0]);
  if (pid > 0) waitpid(pid, nullptr, 0);
  return m;
}

void PrintMemory(const char* what, const Memory& m) {
  if (m.events == 0) {
    std::printf("  %-42s  (not measured)\n", what);
    return;
  }
  const double events = static_cast<double>(m.events);
  std::printf("  %-42s %6.2f s  %6.1f          %6.1f\n", what, m.seconds, m.maxRssKiB * 1024.0 / events,
              m.hwmGrowthKiB * 1024.0 / events);
}

}  // namespace

int main(int argc, char** argv) {
  tidemill::ThreadCount = tidemill::ThreadsFromEnvironment();
  const long events = argc > 1 ? std::atol(argv[1]) : 100000;
  const int series = argc > 2 ? std::atoi(argv[2]) : 20;
  std::string dir = argc > 3 ? argv[3] : "";
  const long longEvents = argc > 4 ? std::atol(argv[4]) : 10000000;
  const bool ownDir = dir.empty();
  dir = BenchDirectory(dir, "qxbench");
  xmlInitParser();

  // Memory first, while this process is still small.
  const Files main = Generate(dir, "qxbench", events, series);
  const Memory xmlMemory = MeasureMemory(main.xml);
  const Memory binMemory = MeasureMemory(main.headers);
  const Files flagged = Generate(dir, "qxflags", events, series, true);
  const Memory flaggedMemory = MeasureMemory(flagged.xml);
  Remove(flagged);
  Memory longXmlMemory, longBinMemory;
  if (longEvents > 0) {
    const Files longFiles = Generate(dir, "qxlong", longEvents, 1, true);
    longXmlMemory = MeasureMemory(longFiles.xml);
    longBinMemory = MeasureMemory(longFiles.headers);
    Remove(longFiles);
  }

  const double megabytes = FileMegabytes(main.xml);
  // Rounds of the parses of the XML form, so that a machine busy for a while weighs on each
  // alike; then the binary form three times in a row, the first on storage not yet reused.
  Runs push, adapter, xml, bin;
  long xmlEvents = 0, binEvents = 0;
  for (int round = 0; round < 3; ++round) {
    push.seconds.push_back(PushParse(main.xml));
    adapter.seconds.push_back(AdapterParse(main.xml));
    xml.seconds.push_back(Read(main.xml, xmlEvents));
  }
  for (int run = 0; run < 3; ++run) bin.seconds.push_back(Read(main.headers, binEvents));
  double load[3] = {0, 0, 0};
  getloadavg(load, 3);

  const double valueGigabytes = 4.0 * static_cast<double>(binEvents) / 1e9;
  std::printf("QX-XML file: %.1f MB, %d series x %ld events = %ld events read (%ld from the side file)\n",
              megabytes, series, events, xmlEvents, binEvents);
  std::printf("load average %.2f %.2f %.2f; best of 3 (each run in brackets)\n", load[0], load[1], load[2]);
  std::printf("libxml2 push parser, empty callbacks  %6.3f s  %6.0f MB/s  [%s]\n", push.Best(), megabytes / push.Best(),
              push.Text().c_str());
  std::printf("SaxXmlReader, empty handlers          %6.3f s  %6.0f MB/s  %.2f x push parser  [%s]\n", adapter.Best(),
              megabytes / adapter.Best(), adapter.Best() / push.Best(), adapter.Text().c_str());
  std::printf("ReadQXFile, XML form                  %6.3f s  %6.0f MB/s  %.2f x push parser  [%s]\n", xml.Best(),
              megabytes / xml.Best(), xml.Best() / push.Best(), xml.Text().c_str());
  std::printf("ReadQXFile, binary form (side file)   %6.4f s  %6.2f GB/s of values (%.1f MB)  [%s]\n", bin.Best(),
              valueGigabytes / bin.Best(), valueGigabytes * 1000, bin.Text().c_str());
  std::printf("  first of the 3 runs                  %6.4f s  %6.2f GB/s of values\n", bin.seconds[0],
              valueGigabytes / bin.seconds[0]);
  std::printf("Each read in a fresh process (its storage all new pages): time, peak memory per event in bytes\n");
  std::printf("  %-42s %8s  %-15s %s\n", "", "time", "ru_maxrss", "VmHWM - VmRSS before");
  const std::string shape = std::to_string(series) + " x " + std::to_string(events);
  const std::string longShape = "1 x " + std::to_string(longEvents);
  PrintMemory(("XML form, " + shape + ", flags 0").c_str(), xmlMemory);
  PrintMemory(("XML form, " + shape + ", flags 1").c_str(), flaggedMemory);
  PrintMemory(("binary form, " + shape).c_str(), binMemory);
  if (longEvents > 0) {
    PrintMemory(("XML form, " + longShape + ", flags 1").c_str(), longXmlMemory);
    PrintMemory(("binary form, " + longShape).c_str(), longBinMemory);
  }

  Remove(main);
  if (ownDir) rmdir(dir.c_str());
  return 0;
}
