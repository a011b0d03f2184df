// QX-XML to TMS through the built executable: the golden files, then a table of runs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "support/RunTidemill.h"

namespace tidemill {
namespace {

using namespace testing;

TEST(TmsTest, GoldenFiles) {
  TempDir dir;
  dir.Write("in.xml", Golden("tms-input.xml"));
  dir.Write("table.ini", Golden("tms-table.ini"));
  dir.Write("run.sim", Golden("runsimp-before.txt"));
  const auto o = RunTidemill(dir.Path(), {"in.xml", "out.tms", "/batch", "/conversiontable", "table.ini", "/diagfile", "diag.xml"});
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(Slurp(dir.File("discharge.tms")), Golden("discharge.tms"));
  EXPECT_EQ(Slurp(dir.File("run.sim")), Golden("runsimp-after.txt"));
  EXPECT_EQ(LoggedAfterStart(dir), std::vector<DiagLine>{kConvertedLine});
  EXPECT_EQ(dir.Listing(), "diag.xml discharge.tms in.xml run.sim table.ini");
}

// A series with events on 2006-04-10, 11, 12 ... valued 1, 2, 3 ...
std::string Series(const std::string& location, const std::string& parameter, int events) {
  std::string s = "<series><header><locationId>" + location + "</locationId><parameterId>" + parameter + "</parameterId></header>";
  for (int i = 0; i < events; ++i)
    s += "<event date=\"2006-04-1" + std::to_string(i) + "\" time=\"00:00:00\" value=\"" + std::to_string(i + 1) + "\"/>";
  return s + "</series>";
}

TEST(TmsTest, Runs) {
  const std::string kRunSim = "a\r\nb\r\nc\r\nold\r\n", kModule = ") in procedure ConvertXml2Tms of Module Mod_Main";
  const std::string kTable = "[Locations tms]\r\nA=1\r\nB=  \r\n[Parameters - tmsFiles]\r\nQ=q.tms\r\n[Ostrand File System]\r\nRunSimpFile=";
  const struct {
    std::string xml, table;                     // the table: "" none, "none" a missing one
    std::vector<DiagLine> lines;                // "@" stands for the input's path, "#" for its directory
    std::map<std::string, std::string> files;  // whole, or after "..." how a file ends
  } rows[] = {
      {Series("B", "Q", 2), kTable + "run.sim", {{1, "No valid tms locations found."}, kNotConvertedLine}, {{"run.sim", kRunSim}}},
      {"", kTable + "run.sim",
       {{1, "Error 9 (Subscript out of range: @ holds no series" + kModule}, {1, "No valid tms locations found."}, kNotConvertedLine},
       {{"run.sim", kRunSim}}},
      {Series("A", "Q", 0) + Series("B", "H", 2), kTable + "run.sim",
       {{1, "Error 9 (Subscript out of range: the first series of @ has no events" + kModule},
        {1, "Error 9 (Subscript out of range: no period for run.sim: the first series of @ has no events" + kModule}, kConvertedLine},
       {{"run.sim", kRunSim}, {"q.tms", "...*\r\n       1     1\r\n'A'\r\n                     1\r\n"}}},
      // The first parameter has no file, so the run-simulation file stays; a location with two
      // parameters has two columns; a longer series is cut to the first's length.
      {Series("A", "H", 2) + Series("A", "Q", 3), kTable + "run.sim", {kConvertedLine},
       {{"run.sim", kRunSim},
        {"q.tms", "...'A'\r\n'A'\r\n                     1         1\r\n2006  10  10         1         1\r\n"
                  "2006  11   1         2         2\r\n"}}},
      // Every value read from the table is cut to 254 characters.
      {Series("A", "Q", 3), kTable + std::string(300, 'g'), {{1, "Error: File not found: " + std::string(254, 'g')}, kConvertedLine},
       {{"run.sim", kRunSim}, {"q.tms", "...2006  11   2         3\r\n"}}},
      // A TMS file that cannot be written is reported; the run-simulation file is still rewritten.
      {Series("A", "Q", 2), ReplaceAll(kTable, "q.tms", "no/q.tms") + "run.sim",
       {{1, "Error 76 (Path not found: no/q.tms: no directory no" + kModule}, kConvertedLine}, {{"run.sim", "a\r\nb\r\nc\r\n 2006 11 2006 11\r\n"}}},
      // A repeated pair beyond the second series' room keeps the first's values there.
      {Series("A", "Q", 10001) + Series("A", "Q", 1), kTable + "run.sim",
       {{1, "Error 9 (Subscript out of range: series 2 has room for 10000 values; the time axis has 10001" + kModule},
        kConvertedLine},
       {{"run.sim", "...2006 11\r\n"}, {"q.tms", "...2006  11   1     10001     10001\r\n"}}},
      {"", "none", {{1, "ConversionTable file not found: #/none.ini"}, kNotConvertedLine}, {{"run.sim", kRunSim}}},
      {"", "", {{1, "No ConversionTable file specified."}, kNotConvertedLine}, {{"run.sim", kRunSim}}},
  };
  for (const auto& row : rows) {
    TempDir dir;
    const std::string in = dir.Write("in.xml", "<TimeSeries>" + row.xml + "</TimeSeries>");
    dir.Write("run.sim", kRunSim);
    std::vector<std::string> args = {"in.xml", "out.tms", "/batch", "/diagfile", "diag.xml", "/conversiontable"};
    args.push_back(row.table == "none" ? "none.ini" : row.table.empty() ? "" : dir.Write("t.ini", row.table));
    EXPECT_EQ(RunTidemill(dir.Path(), args).err, "");
    std::vector<DiagLine> expected = row.lines;
    for (auto& [level, text] : expected) {
      if (const auto at = text.find("#/"); at != std::string::npos) text.replace(at, 2, dir.File(""));
      for (const auto& [mark, path] : {std::pair{'@', in}, {'#', dir.Path()}})
        if (const auto at = text.find(mark); at != std::string::npos) text.replace(at, 1, path);
    }
    EXPECT_EQ(LoggedAfterStart(dir), expected) << row.xml;
    std::string listing = "diag.xml in.xml";
    for (const auto& [name, contents] : row.files) {
      const std::string got = Slurp(dir.File(name));
      EXPECT_TRUE(contents.starts_with("...") ? got.ends_with(contents.substr(3)) : got == contents) << name << ":\n" << got;
      listing += " " + name;
    }
    EXPECT_EQ(dir.Listing(), listing + (row.table.empty() || row.table == "none" ? "" : " t.ini")) << row.xml;
  }
}

// A hundred stations make pieces of 129 lines; 2194 lines are 18 pieces, the last of one line:
// on one or two threads two whole batches and a short one, on more one short batch. Each count of
// threads, and one that falls back to one a core, gives the same lines in order.
TEST(TmsTest, LinesOfSeveralPiecesAndBatches) {
  TempDir dir;
  std::string xml = Series("A", "Q", 0), events, table = "[Locations tms]\r\nA=1\r\n", lines;
  for (int i = 1; i <= 2194; ++i) {
    events += "<event date=\"2006-04-10\" time=\"00:00:00\" value=\"" + std::to_string(i) + "\"/>";
    const std::string value = std::to_string(i);
    lines += "2006  10  10" + std::string(10 - value.size(), ' ') + value;
    for (int c = 2; c <= 100; ++c) lines += "         0";
    lines += "\r\n";
  }
  xml = "<TimeSeries>" + xml.insert(xml.size() - 9, events);
  for (int c = 2; c <= 100; ++c) {
    xml += Series("B" + std::to_string(c), "Q", 0);
    table += "B" + std::to_string(c) + "=" + std::to_string(c) + "\r\n";
  }
  dir.Write("in.xml", xml + "</TimeSeries>");
  dir.Write("t.ini", table + "[Parameters - tmsFiles]\r\nQ=q.tms\r\n");
  const char* const before = std::getenv("TIDEMILL_THREADS");
  const std::string kept = before != nullptr ? before : "";
  for (const char* threads : {"1", "2", "3", "0", "many", "100000"}) {
    SetEnvironment("TIDEMILL_THREADS", threads);
    const Outcome o = RunTidemill(dir.Path(), {"in.xml", "out.tms", "/batch", "/diagfile", "d.xml", "/conversiontable", "t.ini"});
    EXPECT_EQ(o.status, 0) << threads;
    const std::string tms = Slurp(dir.File("q.tms"));
    EXPECT_TRUE(tms.substr(std::min(tms.size(), tms.find("2006"))) == lines) << threads << " threads";
    std::remove(dir.File("q.tms").c_str());
  }
  SetEnvironment("TIDEMILL_THREADS", before != nullptr ? kept.c_str() : nullptr);
}

}  // namespace
}  // namespace tidemill
