// The table of scripts/bench.sh: whole runs of the executable for every conversion, each beside
// the baselines of its own input measured in the same run (cat of the file, and for QX-XML the
// bare libxml2 push parse, each in a process of its own), with seconds, MB/s of input and the
// peak memory of the run (the child's ru_maxrss):
//  - abr -> xml, kel -> xml (binary and XML form), xml -> kel, xml -> tms, xml -> bin (the
//    shipped data-edit server and a generated edit-node file) and the QX-XML reading alone, those
//    from QX-XML on all cores and with TIDEMILL_THREADS=1 (xml -> tms also on 4 threads), and the
//    same xml -> tms job done by a Python script (--python);
//  - xml -> tms and xml -> bin on 16 threads against 2 (--threads: these rows alone);
//  - xml -> tms at 10^4, 10^5, 10^6 and 10^7 events;
//  - with --large: QX-XML of more than 2 GB to TMS and to Kel, and ABR files and conversion
//    tables holding one line of 256 MB and of 1 GB.
//   convert_bench [--exe tidemill] [--python xml2tms.py] [--dir directory] [--runs n] [--large | --threads]
//   convert_bench --parse file | --read file     (a baseline alone, as the table runs it)
// Every figure is the best of n rounds (3 by default; one round for the --large rows); a round
// runs each thing once, so that a machine busy for a while weighs on each alike. A directory
// given keeps the outputs of the conversions table (out.tms, and the Python script's in
// python/out.tms) for cmp; a temporary one is removed.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "BenchSupport.h"
#include "KelFiles.h"
#include "common/Parallel.h"
#include "diagnostics/RunState.h"
#include "timeseries/QXContentHandler.h"

using namespace tidemill;
using namespace tidemill::bench;

namespace {

struct Options {
  std::string exe = TIDEMILL_EXE;
  std::string python;  // the script; none leaves its row out
  std::string dir;
  int runs = 5;
  bool large = false;
  bool threadsOnly = false;
};

constexpr int kSeries = 20;
constexpr long kEventsPerSeries = 100000;  // 2,000,000 events, about 140 MB
constexpr long kAbrLines = 2000000;
constexpr int kKelLocations = 100, kKelParameters = 20, kKelTimes = 1000;  // 2,000,000 values
// 31,000,000 events, 2.2 GB; hourly events reach no further than 68 years (2^31 seconds) from
// the start, so the large file has more series rather than longer ones.
constexpr int kLargeSeries = 100;
constexpr long kLargeEventsPerSeries = 310000;
constexpr double kMaxBytesPerEvent = 24;

std::string SelfPath() { return std::filesystem::read_symlink("/proc/self/exe").string(); }

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteText(const std::string& path, const std::string& text) {
  Output out(path);
  out.Append(text);
}

// What the run's diagnostics file says: "converted", or the first error's text.
std::string Outcome(const std::string& diag) {
  const std::string text = ReadAll(diag);
  if (text.find("File has been converted succesfully.") != std::string::npos) return "converted";
  const std::size_t error = text.find("level=\"1\"");
  if (error == std::string::npos) return "no outcome in " + diag;
  const std::size_t from = text.find(" : ", error);
  const std::size_t to = text.find('"', from);
  return "refused: " + text.substr(from + 3, std::min<std::size_t>(to - from - 3, 110));
}

// A run of the executable in dir with a diagnostics file; ends the program unless it converted.
ChildRun Convert(const Options& o, const std::string& dir, std::vector<std::string> args) {
  for (const char* a : {"/batch", "/diagfile", "diag.xml"}) args.push_back(a);
  args.insert(args.begin(), o.exe);
  const ChildRun run = SpawnOrExit(args, dir);
  const std::string outcome = Outcome(dir + "/diag.xml");
  if (outcome != "converted") {
    std::fprintf(stderr, "%s: %s\n", args[1].c_str(), outcome.c_str());
    std::exit(1);
  }
  return run;
}

// A run with TIDEMILL_THREADS set to threads (one per core when empty).
template <class Run>
ChildRun WithThreads(const std::string& threads, Run&& run) {
  if (threads.empty()) {
    unsetenv("TIDEMILL_THREADS");
  } else {
    setenv("TIDEMILL_THREADS", threads.c_str(), 1);
  }
  const ChildRun result = run();
  unsetenv("TIDEMILL_THREADS");
  return result;
}

ChildRun Cat(const std::string& path) { return SpawnOrExit({"cat", path}); }
ChildRun Parse(const std::string& path) { return SpawnOrExit({SelfPath(), "--parse", path}); }

// The table for the QX-XML input: TMS for every location, the data-edit server for the same.
std::string ConversionTable(int series = kSeries) {
  std::string tms = "[Locations tms]\r\n", bin = "[Locations bin]\r\n";
  for (int s = 1; s <= series; ++s) {
    // Appended piece by piece: GCC 12 warns wrongly about "L" + std::to_string(s).
    const std::string location = std::to_string(s), node = std::to_string(100 + s);
    ((((tms += 'L') += location) += '=') += node) += "\r\n";
    ((((bin += 'L') += location) += "=NODE_") += node) += "\r\n";
  }
  return tms + "[Parameters - tmsFiles]\r\nQ=out.tms\r\n[Parameters bin]\r\nQ=DISCHARGE\r\n" + bin +
         "[Ostrand File System]\r\nEditNodeFnm=editnode.fnm\r\nDataEditObjectID=Ostrand.DataEditServer\r\n";
}

// An edit-node file with an entry for every object and parameter of the table, as the model
// would have it before the transfer: written anew before each run, which rewrites it.
void WriteEditNodeFile(const std::string& path) {
  std::string text = "* Ostrand edit-node file\r\n";
  for (int s = 1; s <= kSeries; ++s) text += "ID NODE_" + std::to_string(100 + s) + " DISCHARGE NROFVALUES 1 VALUES 0\r\n";
  WriteText(path, text);
}

const char* kRule =
    "--------------------------------------------------------------------------------------------------------------------";

void PrintHeader(const char* title) {
  std::printf("%s\n%-44s %9s %8s %7s %8s %9s %8s %7s %7s\n", kRule, title, "input MB", "seconds", "cpu s", "MB/s", "peak MiB",
              "B/event", "x parse", "x cat");
}

// One row: the best time, MB/s of input, the peak memory (per event when events > 0) and the
// ratios to the baselines given (0 for none).
void PrintRow(const std::string& what, double megabytes, double events, const Best& b, double parse, double cat) {
  char perEvent[16] = "-", xParse[16] = "-", xCat[16] = "-";
  if (events > 0) std::snprintf(perEvent, sizeof perEvent, "%.1f", b.PeakMiB() * 1048576.0 / events);
  if (parse > 0) std::snprintf(xParse, sizeof xParse, "%.2f", b.Seconds() / parse);
  if (cat > 0) std::snprintf(xCat, sizeof xCat, "%.2f", b.Seconds() / cat);
  std::printf("%-44s %9.1f %8.3f %7.3f %8.0f %9.1f %8s %7s %7s\n", what.c_str(), megabytes, b.Seconds(), b.CpuSeconds(),
              megabytes / b.Seconds(), b.PeakMiB(), perEvent, xParse, xCat);
}

// The QX-XML input of the conversions table and its conversion table.
Files QXInput(const std::string& dir) {
  const Files qx = Generate(dir, "qx", kEventsPerSeries, kSeries);
  std::remove(qx.headers.c_str());
  std::remove(qx.bin.c_str());
  WriteText(dir + "/table.ini", ConversionTable());
  return qx;
}

// Far more threads than cores cost nothing: the run's workers are started once, not per batch.
// Rounds alternate the two counts, so that a busy machine weighs on each alike.
void ManyThreads(const Options& o, const std::string& dir, const Files& qx) {
  Best tms2, tms16, bin2, bin16;
  for (int round = 0; round < o.runs; ++round) {
    for (const char* threads : {"2", "16"}) {
      const bool many = threads[1] != '\0';
      WithThreads(threads, [&] {
        (many ? tms16 : tms2).runs.push_back(Convert(o, dir, {qx.xml, "out.tms", "/conversiontable", "table.ini"}));
        WriteEditNodeFile(dir + "/editnode.fnm");
        (many ? bin16 : bin2).runs.push_back(Convert(o, dir, {qx.xml, "out.bin", "/conversiontable", "table.ini"}));
        return ChildRun{};
      });
    }
  }
  const double xmlMB = FileMegabytes(qx.xml), events = static_cast<double>(qx.events);
  char title[160];
  std::snprintf(title, sizeof title, "threads (best of %d)", o.runs);
  PrintHeader(title);
  PrintRow("xml -> tms, 2 threads", xmlMB, events, tms2, 0, 0);
  PrintRow("xml -> tms, 16 threads", xmlMB, events, tms16, 0, 0);
  PrintRow("xml -> bin (data-edit server), 2 threads", xmlMB, events, bin2, 0, 0);
  PrintRow("xml -> bin (data-edit server), 16 threads", xmlMB, events, bin16, 0, 0);
  const double tms = tms16.Seconds() / tms2.Seconds(), bin = bin16.Seconds() / bin2.Seconds();
  // Within 5 %: what two runs of the same thing differ by on a shared machine.
  std::printf("target: 16 threads no slower than 2 (within 5 %%): xml -> tms %.2f x, xml -> bin %.2f x, %s\n", tms, bin,
              tms <= 1.05 && bin <= 1.05 ? "met" : "NOT met");
  std::fflush(stdout);
}

void MainTable(const Options& o, const std::string& dir, const Files& qx) {
  const std::string abr = dir + "/level.abr";
  GenerateAbr(abr, kAbrLines);
  const std::string kel = dir + "/river.kel";
  WriteHourlyKelFile(kel, "convert_bench", kKelLocations, kKelParameters, kKelTimes);
  const std::string pythonDir = dir + "/python";
  if (!o.python.empty()) BenchDirectory(pythonDir, "");

  Best catXml, parseXml, catKel, catAbr, abr2xml, kel2bin, kel2xml, xml2kel, xml2tms, xml2bin, read, python;
  // The QX-XML rows on one thread, and xml -> tms on four threads whatever the cores.
  Best xml2kel1, xml2tms1, xml2bin1, read1, xml2tms4;
  const std::string one = "1";
  for (int round = 0; round < o.runs; ++round) {
    catXml.runs.push_back(Cat(qx.xml));
    parseXml.runs.push_back(Parse(qx.xml));
    catKel.runs.push_back(Cat(kel));
    catAbr.runs.push_back(Cat(abr));
    abr2xml.runs.push_back(Convert(o, dir, {abr, "level.xml"}));
    kel2bin.runs.push_back(Convert(o, dir, {kel, "river-bin.xml"}));
    kel2xml.runs.push_back(Convert(o, dir, {kel, "river.xml", "/debug"}));
    for (const std::string& threads : {std::string(), one}) {
      const bool all = threads.empty();
      WithThreads(threads, [&] {
        (all ? xml2kel : xml2kel1).runs.push_back(Convert(o, dir, {qx.xml, "out.kel"}));
        (all ? xml2tms : xml2tms1).runs.push_back(Convert(o, dir, {qx.xml, "out.tms", "/conversiontable", "table.ini"}));
        WriteEditNodeFile(dir + "/editnode.fnm");
        (all ? xml2bin : xml2bin1).runs.push_back(Convert(o, dir, {qx.xml, "out.bin", "/conversiontable", "table.ini"}));
        (all ? read : read1).runs.push_back(SpawnOrExit({SelfPath(), "--read", qx.xml}));
        return ChildRun{};
      });
    }
    xml2tms4.runs.push_back(
        WithThreads("4", [&] { return Convert(o, dir, {qx.xml, "out.tms", "/conversiontable", "table.ini"}); }));
    if (!o.python.empty()) python.runs.push_back(SpawnOrExit({"/usr/bin/python3", o.python, qx.xml, "../table.ini"}, pythonDir));
  }

  const double xmlMB = FileMegabytes(qx.xml), kelMB = FileMegabytes(kel), abrMB = FileMegabytes(abr);
  const double events = static_cast<double>(qx.events), kelValues = 1.0 * kKelLocations * kKelParameters * kKelTimes;
  char title[160];
  std::snprintf(title, sizeof title, "conversions (best of %d; peak of %d)", o.runs, o.runs);
  PrintHeader(title);
  std::printf("inputs: QX-XML %d series x %ld hourly events = %.0f events; Kel %d locations x %d parameters x %d times;\n"
              "ABR %ld lines. Outputs: TMS %.1f MB, edit-node file %.1f MB, Kel XML form %.1f MB, QX-XML side file %.1f MB\n",
              kSeries, kEventsPerSeries, events, kKelLocations, kKelParameters, kKelTimes, kAbrLines,
              FileMegabytes(dir + "/out.tms"), FileMegabytes(dir + "/editnode.fnm"), FileMegabytes(dir + "/river.xml"),
              FileMegabytes(dir + "/level.bin"));
  PrintRow("cat qx.xml > /dev/null", xmlMB, 0, catXml, 0, 0);
  PrintRow("libxml2 push parse of qx.xml, no callbacks", xmlMB, events, parseXml, 0, catXml.Seconds());
  PrintRow("cat river.kel > /dev/null", kelMB, 0, catKel, 0, 0);
  PrintRow("cat level.abr > /dev/null", abrMB, 0, catAbr, 0, 0);
  PrintRow("abr -> xml (binary form)", abrMB, kAbrLines, abr2xml, 0, catAbr.Seconds());
  PrintRow("kel -> xml, binary form", kelMB, kelValues, kel2bin, 0, catKel.Seconds());
  PrintRow("kel -> xml, XML form (/debug)", kelMB, kelValues, kel2xml, 0, catKel.Seconds());
  const std::string cores = std::to_string(std::max(1u, std::thread::hardware_concurrency()));
  const std::string onAll = ", " + cores + " threads", onOne = ", 1 thread";
  PrintRow("xml -> kel" + onAll, xmlMB, events, xml2kel, parseXml.Seconds(), catXml.Seconds());
  PrintRow("xml -> kel" + onOne, xmlMB, events, xml2kel1, parseXml.Seconds(), catXml.Seconds());
  PrintRow("xml -> tms" + onAll, xmlMB, events, xml2tms, parseXml.Seconds(), catXml.Seconds());
  PrintRow("xml -> tms, 4 threads", xmlMB, events, xml2tms4, parseXml.Seconds(), catXml.Seconds());
  PrintRow("xml -> tms" + onOne, xmlMB, events, xml2tms1, parseXml.Seconds(), catXml.Seconds());
  PrintRow("xml -> bin (data-edit server)" + onAll, xmlMB, events, xml2bin, parseXml.Seconds(), catXml.Seconds());
  PrintRow("xml -> bin (data-edit server)" + onOne, xmlMB, events, xml2bin1, parseXml.Seconds(), catXml.Seconds());
  PrintRow("  QX-XML reading alone" + onAll, xmlMB, events, read, parseXml.Seconds(), catXml.Seconds());
  PrintRow("  QX-XML reading alone" + onOne, xmlMB, events, read1, parseXml.Seconds(), catXml.Seconds());
  if (!o.python.empty()) {
    PrintRow("xml -> tms by bench/xml2tms.py (lxml)", xmlMB, events, python, parseXml.Seconds(), catXml.Seconds());
    const double faster = python.Seconds() / xml2tms.Seconds();
    std::printf("target: xml -> tms at least 15 x faster than bench/xml2tms.py: %.1f x, %s\n", faster,
                faster >= 15 ? "met" : "NOT met");
  }
  const double parse = parseXml.Seconds();
  const auto target = [&](const char* what, const Best& b, double limit) {
    const double ratio = b.Seconds() / parse;
    std::printf("target: %s within %.2f x the bare libxml2 parse: %.2f x, %s\n", what, limit, ratio,
                ratio <= limit ? "met" : "NOT met");
  };
  target("xml -> tms on all cores, wall time", xml2tms, 0.75);
  target("xml -> kel on all cores, wall time", xml2kel, 0.75);
  target("xml -> bin on all cores, wall time", xml2bin, 0.9);
  target("xml -> tms on 1 thread", xml2tms1, 1.3);
  std::printf("        (xml -> tms on 1 thread: %.2f x in cpu time; 4 threads against %s: %.2f x)\n",
              xml2tms1.CpuSeconds() / parseXml.CpuSeconds(), cores.c_str(), xml2tms4.Seconds() / xml2tms.Seconds());
  std::fflush(stdout);
}

// xml -> tms at 10^4 to 10^7 events; the last columns count what each size adds to the one
// before it, per event added, which stays level when time and memory grow linearly.
void Scaling(const Options& o, const std::string& parent) {
  const std::string dir = BenchDirectory(parent + "/scale", "");
  WriteText(dir + "/table.ini", ConversionTable());
  std::printf("%s\n%-44s %9s %8s %7s %8s %9s %8s %7s %7s %7s\n", kRule, "xml -> tms by size (20 series)", "input MB", "seconds", "cpu s",
              "ns/event", "peak MiB", "B/event", "x parse", "+ns/ev", "+B/ev");
  double lastEvents = 0, lastSeconds = 0, lastMiB = 0;
  for (const long events : {10000L, 100000L, 1000000L, 10000000L}) {
    const Files f = Generate(dir, "scale", events / kSeries, kSeries);
    Best parse, tms;
    for (int round = 0; round < o.runs; ++round) {
      parse.runs.push_back(Parse(f.xml));
      tms.runs.push_back(Convert(o, dir, {f.xml, "out.tms", "/conversiontable", "table.ini"}));
    }
    const double n = static_cast<double>(events);
    char added[32] = "-      -";
    if (lastEvents > 0) {
      std::snprintf(added, sizeof added, "%7.0f %7.1f", (tms.Seconds() - lastSeconds) * 1e9 / (n - lastEvents),
                    (tms.PeakMiB() - lastMiB) * 1048576.0 / (n - lastEvents));
    }
    std::printf("%-44s %9.1f %8.3f %7.3f %8.0f %9.1f %8.1f %7.2f %s\n", ("10^" + std::to_string(std::to_string(events).size() - 1) +
                                                                   " events").c_str(),
                FileMegabytes(f.xml), tms.Seconds(), tms.CpuSeconds(), tms.Seconds() * 1e9 / n, tms.PeakMiB(), tms.PeakMiB() * 1048576.0 / n,
                tms.Seconds() / parse.Seconds(), added);
    std::fflush(stdout);
    lastEvents = n;
    lastSeconds = tms.Seconds();
    lastMiB = tms.PeakMiB();
    Remove(f);
  }
}

// A file of a few short lines around one line of lineBytes bytes: head, then the line's prefix
// and filler up to lineBytes, then tail.
void WriteLongLine(const std::string& path, const std::string& head, const std::string& prefix, char filler,
                   std::size_t lineBytes, const std::string& tail) {
  Output out(path);
  out.Append(head);
  out.Append(prefix);
  const std::string block(1 << 20, filler);
  for (std::size_t left = lineBytes - prefix.size(); left > 0;) {
    const std::size_t n = std::min(left, block.size());
    out.Append(block.data(), n);
    left -= n;
  }
  out.Append(tail);
}

void PrintLongLineRow(const std::string& what, const std::string& path, std::size_t lineBytes, const ChildRun& run,
                      const ChildRun& cat, const std::string& outcome) {
  const double lineMiB = static_cast<double>(lineBytes) / 1048576.0;
  std::printf("%-44s %9.1f %8.3f %7.3f %8.0f %9.1f %8s %7s %7.2f\n    peak less the line: %.1f MiB; %s\n", what.c_str(),
              FileMegabytes(path), run.seconds, run.cpuSeconds, FileMegabytes(path) / run.seconds, run.maxRssKiB / 1024.0, "-", "-",
              run.seconds / cat.seconds, run.maxRssKiB / 1024.0 - lineMiB, outcome.c_str());
  std::fflush(stdout);
}

void Large(const Options& o, const std::string& parent) {
  const std::string dir = BenchDirectory(parent + "/large", "");
  WriteText(dir + "/table.ini", ConversionTable(kLargeSeries));
  PrintHeader("--large (one run each)");
  {
    const Files f = Generate(dir, "large", kLargeEventsPerSeries, kLargeSeries);
    std::remove(f.headers.c_str());
    std::remove(f.bin.c_str());
    const double mb = FileMegabytes(f.xml), events = static_cast<double>(f.events);
    Best cat, parse, tms, kel;
    cat.runs.push_back(Cat(f.xml));
    parse.runs.push_back(Parse(f.xml));
    tms.runs.push_back(Convert(o, dir, {f.xml, "out.tms", "/conversiontable", "table.ini"}));
    kel.runs.push_back(Convert(o, dir, {f.xml, "out.kel"}));
    std::printf("QX-XML %d series x %ld hourly events = %.0f events (%.2f GiB); memory limit %.0f bytes per event\n",
                kLargeSeries, kLargeEventsPerSeries, events, mb * 1e6 / 1073741824.0, kMaxBytesPerEvent);
    PrintRow("cat large.xml > /dev/null", mb, 0, cat, 0, 0);
    PrintRow("libxml2 push parse of large.xml", mb, events, parse, 0, cat.Seconds());
    PrintRow("xml -> tms", mb, events, tms, parse.Seconds(), cat.Seconds());
    PrintRow("xml -> kel", mb, events, kel, parse.Seconds(), cat.Seconds());
    const bool within = std::max(tms.PeakMiB(), kel.PeakMiB()) * 1048576.0 / events <= kMaxBytesPerEvent;
    std::printf("    peak memory per event %s the limit of %.0f bytes\n", within ? "within" : "OVER", kMaxBytesPerEvent);
    std::fflush(stdout);
    Remove(f);
    std::remove((dir + "/out.kel").c_str());
  }
  // One long line: an ABR data line whose value runs on (no number fits it), and a key line of
  // a conversion table ahead of every section that the run reads. The table is read anew at
  // each lookup (once per series, and for the file names and units), so a run of 20 series
  // passes the line some 25 times (the small input has 20 series).
  const Files small = Generate(dir, "small", 1000, kSeries);
  const std::string abr = dir + "/long.abr", ini = dir + "/long.ini";
  for (const std::size_t lineBytes : {std::size_t{256} << 20, std::size_t{1} << 30}) {
    const std::string size = lineBytes >> 30 ? "1 GiB" : "256 MiB";
    WriteLongLine(abr, "* one long line\r\n20000101000000 1.5\r\n", "20000101010000 ", '7', lineBytes,
                  "\r\n20000101020000 2.5\r\n");
    const ChildRun catAbr = Cat(abr);
    const ChildRun abrRun = SpawnOrExit({o.exe, abr, "long.xml", "/batch", "/diagfile", "diag.xml"}, dir);
    PrintLongLineRow("abr -> xml, a data line of " + size, abr, lineBytes, abrRun, catAbr, Outcome(dir + "/diag.xml"));
    std::remove(abr.c_str());
    WriteLongLine(ini, "[Notes]\r\n", "Text=", 'a', lineBytes, "\r\n" + ConversionTable());
    const ChildRun catIni = Cat(ini);
    const ChildRun iniRun =
        SpawnOrExit({o.exe, small.xml, "out.tms", "/batch", "/conversiontable", ini, "/diagfile", "diag.xml"}, dir);
    PrintLongLineRow("xml -> tms, a table line of " + size, ini, lineBytes, iniRun, catIni, Outcome(dir + "/diag.xml"));
    std::remove(ini.c_str());
  }
  Remove(small);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--parse") == 0) {
    PushParse(argv[2]);
    return 0;
  }
  if (argc == 3 && std::strcmp(argv[1], "--read") == 0) {
    ThreadCount = ThreadsFromEnvironment();
    return ReadQXFile(argv[2]).error ? 1 : 0;
  }
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--large") {
      o.large = true;
    } else if (a == "--threads") {
      o.threadsOnly = true;
    } else if (i + 1 < argc && a == "--exe") {
      o.exe = argv[++i];
    } else if (i + 1 < argc && a == "--python") {
      o.python = std::filesystem::absolute(argv[++i]).string();
    } else if (i + 1 < argc && a == "--dir") {
      o.dir = argv[++i];
    } else if (i + 1 < argc && a == "--runs" && std::atoi(argv[i + 1]) > 0) {
      o.runs = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr,
                   "usage: convert_bench [--exe tidemill] [--python xml2tms.py] [--dir directory] [--runs n] "
                   "[--large | --threads]\n");
      return 2;
    }
  }
  o.exe = std::filesystem::absolute(o.exe).string();
  const bool ownDir = o.dir.empty();
  const std::string dir = std::filesystem::absolute(BenchDirectory(o.dir, "convbench")).string();
  xmlInitParser();
  double load[3] = {0, 0, 0};
  getloadavg(load, 3);
  std::printf("%s, load average before: %.2f %.2f %.2f\n", o.exe.c_str(), load[0], load[1], load[2]);
  const Files qx = QXInput(dir);
  if (o.threadsOnly) {
    ManyThreads(o, dir, qx);
  } else {
    MainTable(o, dir, qx);
    ManyThreads(o, dir, qx);
    Scaling(o, dir);
    if (o.large) Large(o, dir);
  }
  getloadavg(load, 3);
  std::printf("%s\nload average after: %.2f %.2f %.2f\n", kRule, load[0], load[1], load[2]);
  if (ownDir) std::filesystem::remove_all(dir);
  return 0;
}
