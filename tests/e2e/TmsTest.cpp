// QX-XML to TMS through the built executable: the golden files, then a table of runs.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/RunTidemill.h"

namespace tidemill {
namespace {

using namespace testing;

const std::string kGolden = std::string(TIDEMILL_SAMPLES) + "/../tests/golden/";
const DiagLine kConverted = kConvertedLine, kNotConverted = kNotConvertedLine;

TEST(TmsTest, GoldenFiles) {
  TempDir dir;
  dir.Write("in.xml", Slurp(kGolden + "tms-input.xml"));
  dir.Write("table.ini", Slurp(kGolden + "tms-table.ini"));
  dir.Write("run.sim", Slurp(kGolden + "runsimp-before.txt"));
  const auto o = RunTidemill(dir.Path(), {"in.xml", "out.tms", "/batch", "/conversiontable", "table.ini", "/diagfile", "diag.xml"});
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(Slurp(dir.File("discharge.tms")), Slurp(kGolden + "discharge.tms"));
  EXPECT_EQ(Slurp(dir.File("run.sim")), Slurp(kGolden + "runsimp-after.txt"));
  EXPECT_EQ(LoggedAfterStart(dir), std::vector<DiagLine>{kConverted});
  EXPECT_EQ(dir.Listing(), "diag.xml discharge.tms in.xml run.sim table.ini");
}

// A series with events on 2006-04-10, 11, 12 ... valued 1, 2, 3 ...
std::string Series(const std::string& location, const std::string& parameter, int events, const std::string& units = "m3/s") {
  std::string s = "<series><header><locationId>" + location + "</locationId><parameterId>" + parameter +
                  "</parameterId><units>" + units + "</units></header>";
  for (int i = 0; i < events; ++i)
    s += "<event date=\"2006-04-1" + std::to_string(i) + "\" time=\"00:00:00\" value=\"" + std::to_string(i + 1) + "\"/>";
  return s + "</series>";
}

const std::string kRunSim = "a\r\nb\r\nc\r\nold\r\n";
const std::string kTable = "[Locations tms]\r\nA=1\r\n[Parameters - tmsFiles]\r\nQ=q.tms\r\n[Ostrand File System]\r\nRunSimpFile=run.sim\r\n";

TEST(TmsTest, Runs) {
  const std::string records1 = "       1     1\r\n'A'\r\n                     1\r\n";
  const struct {
    const char* what;
    std::string xml, table;
    std::vector<std::string> switches;
    std::vector<DiagLine> lines;                // with "<in>" for the input's path
    std::map<std::string, std::string> files;  // contents, or a text the file ends with after "..."
  } rows[] = {
      {"no location has a station index", "<TimeSeries>" + Series("B", "Q", 2) + "</TimeSeries>",
       "[Locations tms]\r\nA=1\r\nB=   \r\n[Parameters - tmsFiles]\r\nQ=q.tms\r\n", {},
       {{1, "No valid tms locations found."}, kNotConverted}, {{"run.sim", kRunSim}}},
      {"no series", "<TimeSeries/>", kTable, {},
       {{1, "Error 9 (Subscript out of range: <in> holds no series) in procedure ConvertXml2Tms of Module Mod_Main"},
        {1, "No valid tms locations found."}, kNotConverted},
       {{"run.sim", kRunSim}}},
      {"a first series without events", "<TimeSeries>" + Series("A", "Q", 0) + Series("B", "H", 2) + "</TimeSeries>", kTable, {},
       {{1, "Error 9 (Subscript out of range: the first series of <in> has no events) in procedure ConvertXml2Tms of Module Mod_Main"},
        {1, "Error 9 (Subscript out of range: no period for run.sim: the first series of <in> has no events) in procedure "
            "ConvertXml2Tms of Module Mod_Main"},
        kConverted},
       {{"run.sim", kRunSim}, {"q.tms", "..." + records1}}},
      {"the first parameter has no file: the run-simulation file stays; a location with two parameters has two columns",
       "<TimeSeries>" + Series("A", "H", 2) + Series("A", "Q", 3, "m3/h") + "</TimeSeries>", kTable, {}, {kConverted},
       {{"run.sim", kRunSim},
        {"q.tms", "...       2     1\r\n'A'\r\n'A'\r\n                     1         1\r\n"
                  "2006  10  10         1         1\r\n2006  11   1         2         2\r\n"}}},
      {"a shorter series reads its positions as they stand, a longer one is cut", "<TimeSeries>" + Series("A", "Q", 2) + Series("B", "Q", 1) + Series("C", "Q", 3) + "</TimeSeries>",
       "[Locations tms]\r\nA=1\r\nB=2\r\nC=3\r\n[Parameters - tmsFiles]\r\nQ=q.tms\r\n", {}, {kConverted},
       {{"q.tms", "...2006  10  10         1         1         1\r\n2006  11   1         2         0         2\r\n"}}},
      {"the run-simulation file is missing (its name cut to 254 characters, as every value read)",
       "<TimeSeries>" + Series("A", "Q", 3) + "</TimeSeries>",
       "[Locations tms]\r\nA=1\r\n[Parameters - tmsFiles]\r\nQ=q.tms\r\n[Ostrand File System]\r\nRunSimpFile=" +
           std::string(300, 'g') + "\r\n",
       {}, {{1, "Error: File not found: " + std::string(254, 'g')}, kConverted}, {{"q.tms", "...2006  11   2         3\r\n"}}},
      {"a TMS file that cannot be made does not stop the run", "<TimeSeries>" + Series("A", "Q", 3) + "</TimeSeries>",
       "[Locations tms]\r\nA=1\r\n[Parameters - tmsFiles]\r\nQ=nodir/q.tms\r\n[Ostrand File System]\r\nRunSimpFile=run.sim\r\n", {},
       {{1, "Error 76 (Path not found: nodir) in procedure ConvertXml2Tms of Module Mod_Main"}, kConverted},
       {{"run.sim", "a\r\nb\r\nc\r\n 2006 11 2006 10\r\n"}}},
      {"a parse that fails converts the series before the failure",
       "<TimeSeries>" + Series("A", "Q", 2) + "<series><header><locationId>B</locationId></header><event date=\"20x6\"",
       kTable, {},
       {{3, "attributes construct error"}, {1, "Error 65 (attributes construct error"}, kConverted},
       {{"run.sim", "a\r\nb\r\nc\r\n 2006 11 2006 11\r\n"}, {"q.tms", "...2006  11   1         2\r\n"}}},
      {"the conversion table is missing", "<TimeSeries/>", "", {"/conversiontable", "none.ini"},
       {{1, "ConversionTable file not found: <dir>none.ini"}, kNotConverted}, {}},
      {"no conversion table", "<TimeSeries/>", "", {}, {{1, "No ConversionTable file specified."}, kNotConverted}, {}},
  };
  for (const auto& row : rows) {
    TempDir dir;
    const std::string in = dir.Write("in.xml", row.xml);
    dir.Write("run.sim", kRunSim);
    std::vector<std::string> args = {"in.xml", "out.tms", "/batch", "/diagfile", "diag.xml"};
    if (!row.table.empty()) args.insert(args.end(), {"/conversiontable", dir.Write("t.ini", row.table)});
    args.insert(args.end(), row.switches.begin(), row.switches.end());
    const auto o = RunTidemill(dir.Path(), args);
    EXPECT_EQ(o.err, "") << row.what;
    std::vector<DiagLine> expected = row.lines;
    for (DiagLine& line : expected) {
      for (const auto& [name, path] : {std::pair{"<in>", in}, {"<dir>", dir.Path() + "/"}})
        if (const auto at = line.second.find(name); at != std::string::npos) line.second.replace(at, std::string(name).size(), path);
    }
    std::vector<DiagLine> logged = LoggedAfterStart(dir);
    // A parser's message is its library's; only its start is checked.
    for (std::size_t i = 0; i < logged.size() && i < expected.size(); ++i)
      if (expected[i].second.starts_with("attributes") || expected[i].second.starts_with("Error 65"))
        logged[i].second = logged[i].second.substr(0, expected[i].second.size());
    EXPECT_EQ(logged, expected) << row.what;
    for (const auto& [name, contents] : row.files) {
      const std::string got = Slurp(dir.File(name));
      if (contents.starts_with("..."))
        EXPECT_TRUE(got.ends_with(contents.substr(3))) << row.what << ": " << name << " is\n" << got;
      else
        EXPECT_EQ(got, contents) << row.what << ": " << name;
    }
    std::map<std::string, std::string> listed = row.files;
    listed.insert({{"diag.xml", ""}, {"in.xml", ""}, {"run.sim", ""}});
    if (!row.table.empty()) listed["t.ini"];
    std::string listing;
    for (const auto& [name, contents] : listed) listing += (listing.empty() ? "" : " ") + name;
    EXPECT_EQ(dir.Listing(), listing) << row.what;
  }
}

}  // namespace
}  // namespace tidemill
