// Whole runs of the built program on large inputs, measured in the same run as their baselines:
//  - QX-XML (20 series x 100000 hourly events, 2000000 events) to TMS (20 locations, one
//    parameter) with a run-simulation file, against libxml2's bare push parse of that file and
//    the reading alone; time and peak memory per event of the run;
//  - an ABR file of 10000000 lines to QX-XML in binary form, in MB/s of ABR input.
//   convert_bench [events per series] [series] [ABR lines] [directory]
// A directory given keeps the inputs and outputs; by default a temporary one is removed.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "BenchSupport.h"
#include "timeseries/QXContentHandler.h"

using namespace tidemill;
using namespace tidemill::bench;

namespace {

struct Run {
  double seconds = 0;
  long maxRssKiB = 0;
};

// Runs the program with the arguments in dir; its time and its peak memory.
Run RunTidemill(const std::string& dir, const std::vector<std::string>& args) {
  const auto t0 = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(127);
    std::vector<char*> argv = {const_cast<char*>(TIDEMILL_EXE)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(TIDEMILL_EXE, argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  Run run{Seconds(t0), usage.ru_maxrss};
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "tidemill failed with status %d\n", status);
    std::exit(1);
  }
  return run;
}

// Reads the file as the conversion does, in a fresh process of its own: the reading's share of
// a whole run.
double ReadInChild(const std::string& path) {
  const auto t0 = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) _exit(ReadQXFile(path).error ? 1 : 0);
  int status = 0;
  waitpid(pid, &status, 0);
  return Seconds(t0);
}

void WriteText(const std::string& path, const std::string& text) {
  Output out(path);
  out.Append(text);
}

// Checks that the run converted: its log ends with the success line.
void ExpectConverted(const std::string& diag) {
  std::ifstream in(diag, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (text.find("File has been converted succesfully.") == std::string::npos) {
    std::fprintf(stderr, "not converted; see %s\n", diag.c_str());
    std::exit(1);
  }
}

// Hourly values from 2000-01-01, "yyyymmddhhmmss value" lines with CR LF.
void GenerateAbr(const std::string& path, long lines) {
  Output out(path);
  out.Append("* ABR benchmark input\r\n");
  const double start = DateSerial(2000, 1, 1);
  char line[64];
  for (long i = 0; i < lines; ++i) {
    const CalendarTime t = ToCalendar(start + static_cast<double>(i) / 24.0);
    char* p = line + std::snprintf(line, sizeof line, "%04lld%02d%02d%02d%02d%02d ", static_cast<long long>(t.year), t.month,
                                   t.day, t.hour, t.minute, t.second);
    p = AppendNumberText(static_cast<float>((i * 37) % 100000) / 100.0f, p);
    *p++ = '\r';
    *p++ = '\n';
    out.Append(line, static_cast<std::size_t>(p - line));
  }
}

}  // namespace

int main(int argc, char** argv) {
  const long events = argc > 1 ? std::atol(argv[1]) : 100000;
  const int series = argc > 2 ? std::atoi(argv[2]) : 20;
  const long abrLines = argc > 3 ? std::atol(argv[3]) : 10000000;
  const bool ownDir = argc <= 4;
  const std::string dir = BenchDirectory(ownDir ? "" : argv[4], "convbench");
  xmlInitParser();

  const Files qx = Generate(dir, "qxbench", events, series);
  std::remove(qx.headers.c_str());
  std::remove(qx.bin.c_str());
  std::string table = "[Locations tms]\r\n";
  for (int s = 1; s <= series; ++s) ((table += 'L') += std::to_string(s) + "=") += std::to_string(100 + s) + "\r\n";
  table += "[Parameters - tmsFiles]\r\nQ=out.tms\r\n[Ostrand File System]\r\nRunSimpFile=run.sim\r\n";
  WriteText(dir + "/table.ini", table);
  WriteText(dir + "/run.sim", "* run\r\ntitle\r\n\r\n\r\n 2000 1 2000 36\r\n");
  const std::vector<std::string> tmsArgs = {qx.xml, "out.tms", "/batch", "/conversiontable", "table.ini", "/diagfile", "diag.xml"};

  // Rounds of both, so that a machine busy for a while weighs on each alike.
  Runs push, read, tms;
  long tmsRssKiB = 0;
  for (int round = 0; round < 3; ++round) {
    push.seconds.push_back(PushParse(qx.xml));
    read.seconds.push_back(ReadInChild(qx.xml));
    const Run run = RunTidemill(dir, tmsArgs);
    ExpectConverted(dir + "/diag.xml");
    tms.seconds.push_back(run.seconds);
    tmsRssKiB = std::max(tmsRssKiB, run.maxRssKiB);
  }
  const double totalEvents = static_cast<double>(events) * series;
  const double megabytes = FileMegabytes(qx.xml);
  std::printf("QX-XML %.1f MB, %d series x %ld events -> TMS %.1f MB; best of 3 [each run]\n", megabytes, series, events,
              FileMegabytes(dir + "/out.tms"));
  std::printf("libxml2 push parser, empty callbacks  %6.3f s  [%s]\n", push.Best(), push.Text().c_str());
  std::printf("ReadQXFile alone, in a fresh process   %6.3f s  %.2f x push parser  [%s]\n", read.Best(),
              read.Best() / push.Best(), read.Text().c_str());
  std::printf("tidemill xml -> tms, whole run        %6.3f s  %.2f x push parser  [%s]\n", tms.Best(),
              tms.Best() / push.Best(), tms.Text().c_str());
  std::printf("  peak memory (ru_maxrss) %.1f MB = %.1f bytes per event\n", tmsRssKiB / 1024.0,
              tmsRssKiB * 1024.0 / totalEvents);
  if (ownDir) std::remove(qx.xml.c_str());

  if (abrLines > 0) {
    const std::string abr = dir + "/level.abr";
    GenerateAbr(abr, abrLines);
    const double abrMegabytes = FileMegabytes(abr);
    Runs runs;
    for (int round = 0; round < 3; ++round) {
      runs.seconds.push_back(RunTidemill(dir, {abr, "level.xml", "/batch", "/diagfile", "diag.xml"}).seconds);
      ExpectConverted(dir + "/diag.xml");
    }
    std::printf("ABR %.1f MB, %ld lines -> QX-XML binary form (side file %.1f MB)\n", abrMegabytes, abrLines,
                FileMegabytes(dir + "/level.bin"));
    std::printf("tidemill abr -> xml, whole run        %6.3f s  %6.0f MB/s of ABR input  [%s]\n", runs.Best(),
                abrMegabytes / runs.Best(), runs.Text().c_str());
    if (ownDir) std::remove(abr.c_str());
  }
  // A directory of one's own keeps its inputs and outputs, for profiling.
  if (ownDir) {
    for (const char* name : {"out.tms", "run.sim", "table.ini", "diag.xml", "level.xml", "level.bin"})
      std::remove((dir + "/" + name).c_str());
    rmdir(dir.c_str());
  }
  return 0;
}
