// What the benchmarks share: timing, a generator of large QX-XML files, and the baseline of
// every reading figure, libxml2's bare push parse.
#pragma once

#include <fcntl.h>
#include <libxml/SAX2.h>
#include <libxml/parser.h>
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

#include "common/DateTime.h"
#include "common/Numbers.h"

namespace tidemill::bench {

using Clock = std::chrono::steady_clock;

// The directory given, made if need be, or a new temporary one named from prefix when none is
// given; ends the program when it cannot be made.
inline std::string BenchDirectory(std::string dir, const char* prefix) {
  if (dir.empty()) {
    std::string name = std::string("/tmp/") + prefix + ".XXXXXX";
    if (mkdtemp(name.data()) == nullptr) {
      std::perror("mkdtemp");
      std::exit(1);
    }
    return name;
  }
  if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
    std::perror(dir.c_str());
    std::exit(1);
  }
  return dir;
}

inline double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Writes a file through a buffer of a few megabytes: a generated file is never held whole.
class Output {
 public:
  explicit Output(const std::string& path) : file_(std::fopen(path.c_str(), "wb")) {
    if (file_ == nullptr) {
      std::perror(path.c_str());
      std::exit(1);
    }
  }
  ~Output() {
    Flush();
    std::fclose(file_);
  }
  void Append(const char* data, std::size_t size) {
    buffer_.append(data, size);
    if (buffer_.size() > (4u << 20)) Flush();
  }
  void Append(const std::string& text) { Append(text.data(), text.size()); }

 private:
  void Flush() {
    if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
      std::perror("write");
      std::exit(1);
    }
    buffer_.clear();
  }
  std::FILE* file_;
  std::string buffer_;
};

struct Files {
  std::string xml;      // the XML form, every event in the file
  std::string headers;  // the binary form: series headers only ...
  std::string bin;      // ... and the side file with the values
  long events = 0;
};

// Series as the QX-XML writer lays them out: hourly events from 2000-01-01, each with a flag,
// 0 or (every event) 1. A record needs no storage for flags of 0.
inline Files Generate(const std::string& dir, const std::string& name, long events, int series, bool flagged = false) {
  Files f{dir + "/" + name + ".xml", dir + "/" + name + "-headers.xml", dir + "/" + name + "-headers.bin",
          events * series};
  const std::string top = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
                          "<TimeSeries xmlns=\"http://www.orva.example/orva/QX\" version=\"1.2\">\r\n";
  Output xml(f.xml), headers(f.headers), bin(f.bin);
  xml.Append(top);
  headers.Append(top);
  const double start = DateSerial(2000, 1, 1);
  const double end = start + static_cast<double>(events - 1) / 24.0;
  for (int s = 1; s <= series; ++s) {
    const std::string header = "\t<series>\r\n\t\t<header>\r\n\t\t\t<type>instantaneous</type>\r\n\t\t\t<locationId>L" +
                               std::to_string(s) + "</locationId>\r\n\t\t\t<parameterId>Q</parameterId>\r\n"
                               "\t\t\t<timeStep unit=\"second\" multiplier=\"3600\"/>\r\n\t\t\t<startDate date=\"" +
                               DateText(start) + "\" time=\"" + TimeText(start) + "\"/>\r\n\t\t\t<endDate date=\"" +
                               DateText(end) + "\" time=\"" + TimeText(end) +
                               "\"/>\r\n\t\t\t<missVal>-999.99</missVal>\r\n\t\t</header>\r\n";
    xml.Append(header);
    headers.Append(header + "\t</series>\r\n");
    char date[16];
    std::size_t dateLength = 0;
    for (long i = 0; i < events; ++i) {
      if (i % 24 == 0) dateLength = AppendDateText(ToCalendar(start + static_cast<double>(i / 24)), date) - date;
      const float v = static_cast<float>((i * 37 + s) % 100000) / 100.0f;
      char line[128];
      char* p = line;
      const auto put = [&](const char* text, std::size_t size) {
        std::memcpy(p, text, size);
        p += size;
      };
      put("\t\t<event date=\"", 15);
      put(date, dateLength);
      put("\" time=\"", 8);
      const int hour = static_cast<int>(i % 24);
      const char time[] = {static_cast<char>('0' + hour / 10), static_cast<char>('0' + hour % 10), ':', '0', '0', ':', '0', '0'};
      put(time, sizeof time);
      put("\" value=\"", 9);
      p = AppendNumberText(v, p);
      put(flagged ? "\" flag=\"1\"/>\r\n" : "\" flag=\"0\"/>\r\n", 14);
      xml.Append(line, static_cast<std::size_t>(p - line));
      char bytes[4];
      std::memcpy(bytes, &v, 4);  // little-endian host
      bin.Append(bytes, 4);
    }
    xml.Append("\t</series>\r\n");
  }
  xml.Append("</TimeSeries>\r\n");
  headers.Append("</TimeSeries>\r\n");
  return f;
}

inline void Remove(const Files& f) {
  std::remove(f.xml.c_str());
  std::remove(f.headers.c_str());
  std::remove(f.bin.c_str());
}

inline double FileMegabytes(const std::string& path) {
  std::ifstream probe(path, std::ios::binary | std::ios::ate);
  return static_cast<double>(probe.tellg()) / 1e6;
}

inline void NoStart(void*, const xmlChar*, const xmlChar*, const xmlChar*, int, const xmlChar**, int, int, const xmlChar**) {}
inline void NoEnd(void*, const xmlChar*, const xmlChar*, const xmlChar*) {}
inline void NoText(void*, const xmlChar*, int) {}

// The baseline: libxml2's SAX2 push parser with empty callbacks, fed in 1 MiB blocks.
inline double PushParse(const std::string& path) {
  const auto t0 = Clock::now();
  xmlSAXHandler h{};
  h.initialized = XML_SAX2_MAGIC;
  h.startElementNs = NoStart;
  h.endElementNs = NoEnd;
  h.characters = NoText;
  std::FILE* in = std::fopen(path.c_str(), "rb");
  std::vector<char> block(1 << 20);
  xmlParserCtxtPtr ctxt = xmlCreatePushParserCtxt(&h, nullptr, nullptr, 0, path.c_str());
  std::size_t n;
  while ((n = std::fread(block.data(), 1, block.size(), in)) > 0) xmlParseChunk(ctxt, block.data(), static_cast<int>(n), 0);
  xmlParseChunk(ctxt, nullptr, 0, 1);
  xmlFreeParserCtxt(ctxt);
  std::fclose(in);
  return Seconds(t0);
}

// Hourly values from 2000-01-01, "yyyymmddhhmmss value" lines with CR LF.
inline void GenerateAbr(const std::string& path, long lines) {
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

// A whole run of a program: its wall time, its peak resident memory (the child's ru_maxrss)
// and its wait status.
struct ChildRun {
  double seconds = 0;
  long maxRssKiB = 0;
  int status = 0;
  double cpuSeconds = 0;  // user and system time: what other work on the machine changes least
  bool Succeeded() const { return WIFEXITED(status) && WEXITSTATUS(status) == 0; }
};

// Runs argv (looked up in PATH) in the directory dir (the current one when empty), its standard
// output to the file out and its standard error to /dev/null.
inline ChildRun Spawn(const std::vector<std::string>& argv, const std::string& dir = "",
                      const std::string& out = "/dev/null") {
  // What earlier runs wrote reaches the disk first: its write-back would otherwise take the
  // CPU and the disk from this run, and its fsync would wait behind it.
  sync();
  const auto t0 = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    if (!dir.empty() && chdir(dir.c_str()) != 0) _exit(127);
    const int sink = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int null = open("/dev/null", O_WRONLY);
    dup2(sink, 1);
    dup2(null, 2);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  ChildRun run;
  rusage usage{};
  wait4(pid, &run.status, 0, &usage);
  run.seconds = Seconds(t0);
  run.maxRssKiB = usage.ru_maxrss;
  run.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  return run;
}

// Spawn, ending the program when the run fails.
inline ChildRun SpawnOrExit(const std::vector<std::string>& argv, const std::string& dir = "",
                            const std::string& out = "/dev/null") {
  const ChildRun run = Spawn(argv, dir, out);
  if (!run.Succeeded()) {
    std::fprintf(stderr, "%s failed with status %d\n", argv[0].c_str(), run.status);
    std::exit(1);
  }
  return run;
}

// Runs of one thing: the best time, the highest peak memory.
struct Best {
  std::vector<ChildRun> runs;
  double Seconds() const {
    double best = runs.front().seconds;
    for (const ChildRun& r : runs) best = std::min(best, r.seconds);
    return best;
  }
  double CpuSeconds() const {
    double best = runs.front().cpuSeconds;
    for (const ChildRun& r : runs) best = std::min(best, r.cpuSeconds);
    return best;
  }
  double PeakMiB() const {
    long peak = 0;
    for (const ChildRun& r : runs) peak = std::max(peak, r.maxRssKiB);
    return static_cast<double>(peak) / 1024.0;
  }
};

struct Runs {
  std::vector<double> seconds;
  double Best() const { return *std::min_element(seconds.begin(), seconds.end()); }
  std::string Text() const {
    std::string text;
    char one[32];
    for (double s : seconds) {
      std::snprintf(one, sizeof one, text.empty() ? "%.3f" : " %.3f", s);
      text += one;
    }
    return text;
  }
};


}  // namespace tidemill::bench
