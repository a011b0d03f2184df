// "/plan" through the built executable: the plan of each conversion of the samples, and that a
// plan writes nothing, not even the diagnostics file it names.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "support/RunTidemill.h"

namespace tidemill {
namespace {

using namespace testing;

// Every file of the directory with its contents.
std::map<std::string, std::string> Snapshot(const TempDir& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
    files[testing::Utf8Name(entry.path().filename())] = Slurp(testing::Utf8Name(entry.path()));
  }
  return files;
}

TEST(PlanTest, EachConversionOfTheSamples) {
  // The misspellings of a new user: a section without its s, a location (twice) and a key misspelt.
  const std::string kTypos =
      "[Locations tms]\r\nOstbrug=\r\nOstburg=101\r\nOSTBURG=103\r\nVeldhoek=102\r\n[Parameters - tmsFile]\r\n"
      "Q.meting=discharge.tms\r\n"
      "[Parameters - tmsFiles]\r\nH.meting=level.tms\r\n[Ostrand File System]\r\nRunSimpFle=run.sim\r\n";
  const std::string kKelTypos = "[Locations]\nNumberOfLocations=2\n1 KelLocation=Dam\n2 KelLocation=weir\n"
                                "[Parameters]\nNumberOfParameters=1\n1 KelParameter=Oxygen\n";
  const std::string kBinTypos = "[Ostrand File System]\nDataEditObjectID=Ostrand.DataEditServer\n"
                                "[Parameters bin]\nQ.meting=DISCHARGE\nH.meting=\n[Locations bin]\nOstbrug=  \n";
  const struct {
    std::vector<std::string> args;
    std::string out, err;  // "@" stands for the directory
  } rows[] = {
      {{"flow.xml", "flow.tms", "/conversiontable", "table.ini"},
       "input: @/flow.xml\nconversion: QX-XML to TMS (ConvertXml2Tms)\ntable: @/table.ini\n"
       "time axis (series 1): 4, 2024-03-01 00:00:00 to 2024-03-01 03:00:00\n"
       "series 1: Ostbrug Q.meting -> discharge.tms column 1 (station 101, Ostbrug, unit index 1)\n"
       "series 2: Veldhoek H.meting -> level.tms column 2 (station 102, Veldhoek, unit index 1)\n"
       "table entry \"m3/s\" in [Parameters - tmsUnits] is used by no series\n"
       "table entry \"mm/day\" in [Parameters - tmsUnits] is used by no series\n"
       "tms file: discharge.tms, parameter Q.meting, unit index 1, stations 2, no data in column 2\n"
       "run-simulation file: run.sim, line 6 \" 2023 1 2023 36\" becomes \" 2024 7 2024 7\"\n"
       "tms file: level.tms, parameter H.meting, unit index 1, stations 2, no data in column 1\n"
       "result: would be converted\n",
       ""},
      {{"flow.xml", "flow.tms", "/conversiontable", "typos.ini"},
       "input: @/flow.xml\nconversion: QX-XML to TMS (ConvertXml2Tms)\ntable: @/typos.ini\n"
       "time axis (series 1): 4, 2024-03-01 00:00:00 to 2024-03-01 03:00:00\n"
       "series 1: Ostbrug Q.meting -> nowhere: \"Ostbrug\" in [Locations tms] is empty; "
       "no key \"Q.meting\" in [Parameters - tmsFiles]\n"
       "series 2: Veldhoek H.meting -> level.tms column 1 (station 102, Veldhoek, unit index 1)\n"
       "table entry \"Ostburg\" in [Locations tms] is used by no series\n"
       "run-simulation file: left alone: the first parameter, Q.meting, has no TMS file: "
       "no key \"Q.meting\" in [Parameters - tmsFiles]\n"
       "tms file: level.tms, parameter H.meting, unit index 1, stations 1\n"
       "result: would be converted\n",
       ""},
      // A location without a station, its parameter with a file; a station without a file.
      {{"flow.xml", "flow.tms", "/conversiontable", "stations.ini"},
       "input: @/flow.xml\nconversion: QX-XML to TMS (ConvertXml2Tms)\ntable: @/stations.ini\n"
       "time axis (series 1): 4, 2024-03-01 00:00:00 to 2024-03-01 03:00:00\n"
       "series 1: Ostbrug Q.meting -> nowhere: no key \"Ostbrug\" in [Locations tms]\n"
       "series 2: Veldhoek H.meting -> nowhere: no key \"H.meting\" in [Parameters - tmsFiles]; it adds column 1 "
       "(station 102, Veldhoek) to every TMS file\n"
       "tms file: q.tms, parameter Q.meting, unit index 1, stations 1, no data in column 1\n"
       "run-simulation file: short.sim, fewer than 4 data lines: unchanged\nresult: would be converted\n",
       ""},
      {{"flow.xml", "flow.bin", "/conversiontable", "table.ini"},
       "input: @/flow.xml\nconversion: QX-XML to the data-edit server (ConvertXml2Bin)\ntable: @/table.ini\n"
       "server: Ostrand.DataEditServer\nstart-up directory: @\nedit-node file: editnode.fnm\n"
       "series 1: Ostbrug Q.meting -> object NODE_101 DISCHARGE, 4 values\n"
       "series 2: Veldhoek H.meting -> object NODE_102 WATERLEVEL, 4 values\n"
       "request: Ostrand.DataEditServer, objects 2\nresult: would be converted\n",
       ""},
      // The reports are the conversion's own.
      {{"flow.xml", "flow.bin", "/conversiontable", "bin.ini"},
       "input: @/flow.xml\nconversion: QX-XML to the data-edit server (ConvertXml2Bin)\ntable: @/bin.ini\n"
       "server: Ostrand.DataEditServer\nstart-up directory: @\nedit-node file: editnode.fnm\n"
       "series 1: Ostbrug Q.meting -> object Ostbrug DISCHARGE, 4 values (\"Ostbrug\" in [Locations bin] is blank: "
       "the location ID)\n"
       "series 2: Veldhoek H.meting -> not sent: \"H.meting\" in [Parameters bin] is empty\n"
       "request: Ostrand.DataEditServer, objects 1\nresult: would be converted\n",
       "ConvertXML2Bin: Parameter: H.meting not defined in [Parameter bin]\nError: 1 of 2 succesfully written.\n"},
      {{"river.kel", "river.xml", "/conversiontable", "kel-table.ini"},
       "input: @/river.kel\nconversion: Kel to QX-XML (ConvertKel2XML)\ntable: @/kel-table.ini\n"
       "location 1: Weir -> H-WEIR\nlocation 2: Outlet -> Outlet\n"
       "parameter 1: temperature -> T.water\nparameter 2: Oxygen -> O2\n"
       "times: 6, 2024-03-01 00:00:00 to 2024-03-01 05:00:00\n"
       "output: @/river.xml, 4 series, binary form, values in @/river.bin (times equidistant, step 3600 s)\n"
       "result: would be converted\n",
       "Tidemill: Not in debugMode, so writing QX file with binary data section\n"},
      {{"river.kel", "river.xml", "/conversiontable", "kel-typos.ini"},
       "input: @/river.kel\nconversion: Kel to QX-XML (ConvertKel2XML)\ntable: @/kel-typos.ini\n"
       "location 1: Dam -> Dam, not in the file\nlocation 2: weir -> weir\nparameter 1: Oxygen -> Oxygen\n"
       "result: would not be converted\n",
       "Error: Error 9 (Subscript out of range: Location \"Dam\" not found in @/river.kel) in procedure "
       "ConvertKel2XML of Module Mod_Main\nTidemill: File has not been converted.\n"},
      {{"river.map", "map.xml", "/debug"},
       "input: @/river.map\nconversion: Kel to QX-XML (ConvertKel2XML)\ntable: none\n"
       "location 1: 1\nlocation 2: 2\nlocation 3: 3\nlocation 4: 4\nparameter 1: Chlorophyll\nparameter 2: Oxygen\n"
       "times: 3, 2024-03-01 06:00:00 to 2024-03-01 09:00:00\n"
       "output: @/map.xml, 8 series, XML form (debug mode)\nresult: would be converted\n",
       "Info: Converting all locations\nTidemill: DebugMode is true, so writing QX file without binary data section\n"},
      {{"flow.xml", "flow.map"},
       "input: @/flow.xml\nconversion: QX-XML to Kel (ConvertXml2Kel)\ntable: not used\n"
       "location 1: Ostbrug\nlocation 2: Veldhoek\nparameter 1: Q.meting\nparameter 2: H.meting\n"
       "times: 4, 2024-03-01 00:00:00 to 2024-03-01 03:00:00\n"
       "output: @/flow.map, 4 series, Kel map file (locations by number)\nresult: would be converted\n",
       ""},
      {{"level.abr", "level.xml"},
       "input: @/level.abr\nconversion: ABR to QX-XML (ConvertAbr2XML)\ntable: not used\n"
       "location 1: boezem\nparameter 1: aanvoer\ntimes: 5, 2024-03-01 00:00:00 to 2024-03-01 04:00:00\n"
       "output: @/level.xml, 1 series, binary form, values in @/level.bin (times equidistant, step 3600 s)\n"
       "result: would be converted\n",
       "Tidemill: Not in debugMode, so writing QX file with binary data section\n"},
      {{"flow.xml", "flow.tms", "/conversiontable", "none.ini"},
       "input: @/flow.xml\nconversion: QX-XML to TMS (ConvertXml2Tms)\ntable: @/none.ini\n"
       "result: would not be converted\n",
       "Error: ConversionTable file not found: @/none.ini\nTidemill: File has not been converted.\n"},
  };
  for (const auto& row : rows) {
    TempDir dir;
    for (const char* name : {"flow.xml", "table.ini", "kel-table.ini", "river.kel", "river.map", "level.abr", "run.sim",
                             "editnode.fnm"}) {
      dir.Write(name, Slurp(std::string(TIDEMILL_SAMPLES) + "/" + name));
    }
    dir.Write("typos.ini", kTypos);
    dir.Write("kel-typos.ini", kKelTypos);
    dir.Write("bin.ini", kBinTypos);
    dir.Write("stations.ini", "[Locations tms]\r\nVeldhoek=102\r\n[Parameters - tmsFiles]\r\nQ.meting=q.tms\r\n"
                             "[Ostrand File System]\r\nRunSimpFile=short.sim\r\n");
    dir.Write("short.sim", "* period\r\na\r\nb\r\nc");
    const auto before = Snapshot(dir);
    // A plan in batch mode with a diagnostics file still writes no file: its reports go to
    // standard error.
    std::vector<std::string> args = row.args;
    for (const char* a : {"/PLAN", "/batch", "/diagfile", "diag.xml"}) args.push_back(a);
    const Outcome o = RunTidemill(dir.Path(), args);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(dir.Masked(o.out, "@"), row.out) << row.args[1];
    EXPECT_EQ(dir.Masked(o.err, "@"), row.err) << row.args[1];
    EXPECT_EQ(Snapshot(dir), before) << row.args[1];
  }
}

}  // namespace
}  // namespace tidemill
