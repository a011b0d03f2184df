// Kel history and map files through the built executable: to QX-XML and back, and every way a
// Kel file, a conversion table or a QX-XML file can be wrong.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/DateTime.h"
#include "common/Program.h"
#include "support/QXSummary.h"
#include "support/RunTidemill.h"

namespace tidemill {
namespace {

using testing::Slurp;
using testing::TempDir;
using Lines = std::vector<std::string>;

const std::string kSamples = TIDEMILL_SAMPLES;
const std::string kNotConverted = "1 " + testing::kNotConvertedText, kConverted = "3 " + testing::kConvertedText;
const std::string kBinaryForm = "4 " + testing::kBinaryFormText, kXmlForm = "4 " + testing::kXmlFormText;

// Runs build/tidemill in batch mode with a diagnostics file; the log after the start-up lines,
// as "level text".
Lines RunLogged(const TempDir& dir, Lines args) {
  for (const char* a : {"/batch", "/diagfile", "diag.xml"}) args.push_back(a);
  const testing::Outcome o = testing::RunTidemill(dir.Path(), args);
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.err, "");
  Lines lines;
  for (const auto& [level, text] : testing::LoggedAfterStart(dir)) lines.push_back(std::to_string(level) + " " + text);
  return lines;
}

using testing::DescribeQX;
const auto Series = testing::SeriesText;

// samples/river.kel as its generator makes it: hourly from 2024-03-01, value
// base(parameter) + 0.5 (location - 1) + 0.125 (time - 1).
std::string RiverSeries(int32_t l, int32_t p, const std::string& location, const std::string& parameter) {
  static const float base[] = {8.5f, 2.25f, 11.f};
  std::vector<double> times;
  for (int h = 0; h < 6; ++h) times.push_back(DateSerial(2024, 3, 1) + TimeSerial(h, 0, 0));
  return Series(location, parameter, times, [&](std::size_t t) {
    return base[p - 1] + 0.5f * static_cast<float>(l - 1) + 0.125f * static_cast<float>(t);
  });
}

std::string RiverAll() {
  const char* locations[] = {"Outlet", "Weir", "Bridge"};
  const char* parameters[] = {"Oxygen", "Nitrate", "Temperature"};
  std::string text;
  for (int32_t l = 1; l <= 3; ++l)
    for (int32_t p = 1; p <= 3; ++p) text += RiverSeries(l, p, locations[l - 1], parameters[p - 1]);
  return text;
}

TEST(KelTest, KelAndMapToQXXml) {
  const std::string table = kSamples + "/kel-table.ini";
  const std::string selected = RiverSeries(2, 3, "H-WEIR", "T.water") + RiverSeries(2, 1, "H-WEIR", "O2") +
                               RiverSeries(1, 3, "Outlet", "T.water") + RiverSeries(1, 1, "Outlet", "O2");
  std::string map;
  for (int l = 1; l <= 4; ++l) {
    for (int p = 1; p <= 2; ++p) {
      const double start = DateSerial(2024, 3, 1) + TimeSerial(6, 0, 0);
      map += Series(std::to_string(l), p == 1 ? "Chlorophyll" : "Oxygen",
                    {start, start + TimeSerial(1, 0, 0), start + TimeSerial(3, 0, 0)},
                    [&](std::size_t t) { return static_cast<float>(10 * l + p) + 0.25f * static_cast<float>(t); });
    }
  }
  const struct Row {
    Lines args;
    Lines log;
    std::string files, series;
    std::string output = "out.xml";
  } rows[] = {
      {{"river.kel", "out.xml"}, {kBinaryForm, kConverted}, "out.bin out.xml", RiverAll()},
      // The XML form may take the name a side file would have; the binary form may not.
      {{"river.kel", "out.bin", "/debug"}, {"4 Converting all locations", kXmlForm, kConverted}, "out.bin", RiverAll(),
       "out.bin"},
      {{"river.kel", "out.bin"},
       {"1 Error 75 (Path/File access error: @/out.bin would be its own side file) in procedure Write_QX_XML_File of "
        "Class Module clsWriteOrvaQXTimeSeries",
        kNotConverted},
       "", "", "out.bin"},
      {{"river.kel", "out.xml", "/conversiontable", table, "/debugmode"},
       {"4 Converting location 1: Weir to H-WEIR", "4 Converting location 2: Outlet to Outlet",
        "4 Converting parameter 1: temperature to T.water", "4 Converting parameter 2: Oxygen to O2", kXmlForm,
        kConverted},
       "out.xml", selected},
      // In the binary form the side file holds the selected pairs only, in their order.
      {{"river.kel", "out.xml", "/conversiontable", table}, {kBinaryForm, kConverted}, "out.bin out.xml", selected},
      // Of two equal names the first counts: twin.kel names its third location Weir too.
      {{"twin.kel", "out.xml", "/conversiontable", table}, {kBinaryForm, kConverted}, "out.bin out.xml", selected},
      // Not equidistant: the XML form although the binary form was asked for.
      {{"river.map", "out.xml"}, {kXmlForm, kConverted}, "out.xml", map},
  };
  for (const Row& row : rows) {
    TempDir dir;
    std::filesystem::copy(kSamples + "/river.kel", dir.File("river.kel"));
    std::filesystem::copy(kSamples + "/river.map", dir.File("river.map"));
    dir.Write("twin.kel", Slurp(kSamples + "/river.kel").replace(280, 6, "Weir  "));
    Lines log = row.log;
    for (std::string& line : log) line = dir.Unmasked(line, "@");
    EXPECT_EQ(RunLogged(dir, row.args), log) << row.args[0];
    EXPECT_EQ(dir.Listing(), "diag.xml " + row.files + (row.files.empty() ? "" : " ") + "river.kel river.map twin.kel");
    if (!row.series.empty()) {
      EXPECT_EQ(DescribeQX(dir.File(row.output)), row.series);
    }
  }
}

TEST(KelTest, XmlToKel) {
  const auto series = [](const char* location, const char* parameter,
                         std::initializer_list<std::pair<const char*, const char*>> events) {
    std::string text = std::string("<series><header><locationId>") + location + "</locationId><parameterId>" +
                       parameter + "</parameterId></header>";
    for (const auto& [time, value] : events)
      text += std::string("<event date=\"2024-03-01\" time=\"") + time + "\" value=\"" + value + "\"/>";
    return text + "</series>";
  };
  const std::string head = "<TimeSeries xmlns=\"http://www.orva.example/orva/QX\">", end = "</TimeSeries>";
  TempDir dir;
  const std::string t = dir.File(""), in = ") in procedure ConvertXml2Kel of Module Mod_Main";
  const double t0 = DateSerial(2024, 3, 1);
  const std::vector<double> times = {t0, t0 + TimeSerial(1, 0, 0), t0 + TimeSerial(2, 0, 0)};
  const auto values = [](std::vector<float> v) { return [v](std::size_t i) { return v[i]; }; };
  const float miss = -999.99f;
  const struct Row {
    std::string xml, out;
    Lines log;  // before the outcome
    std::string kel;  // empty: not converted
  } rows[] = {
      // A second series for a location and parameter (other letter case) overwrites as far as it
      // reaches, its spelling counting; values go by position whatever their times; a longer
      // series is cut at the first one's count.
      {head + series("A", "Q", {{"00:00:00", "1"}, {"01:00:00", "2"}, {"02:00:00", "3"}}) +
           series("A", "H", {{"00:00:00", "10"}, {"01:00:00", "20"}}) +
           series("Weir_downstream_0001", "Q", {{"05:00:00", "7"}, {"06:00:00", "8"}, {"07:00:00", "9"}, {"08:00:00", "10"}}) +
           series("a", "h", {{"09:00:00", "11"}}) + end,
       "out.kel", {},
       Series("a", "Q", times, values({1, 2, 3})) + Series("a", "h", times, values({11, 20, miss})) +
           Series("Weir_downstream_0001", "Q", times, values({7, 8, 9})) +
           Series("Weir_downstream_0001", "h", times, values({miss, miss, miss}))},
      // A parse error is reported; the series read before it are written.
      {head + series("A", "Q", {{"00:00:00", "1"}}) + "<series><header>", "out.kel",
       {"3 Premature end of data in tag header line 1 at line 1, column 209 of " + t + "in.xml ErrorCode = 77",
        "1 Error 77 (Premature end of data in tag header line 1 at line 1, column 209 of " + t + "in.xml" + in},
       Series("A", "Q", {t0}, values({1}))},
      {head + end, "out.kel", {"1 Error 9 (Subscript out of range: no series in " + t + "in.xml" + in}, ""},
      // Names are cut to 20 bytes between characters.
      {head + series("Station with a long\xC3\xA9", "Q", {{"00:00:00", "1"}}) + end, "out.kel", {},
       Series("Station with a long", "Q", {t0}, values({1}))},
      {head + series("Station with a long name 1", "Q", {{"00:00:00", "1"}}) +
           series("Station with a long name 2", "Q", {{"00:00:00", "1"}}) + end, "out.kel",
       {"1 Error 5 (Invalid procedure call or argument: locations 1 \"Station with a long name 1\" and 2 \"Station "
        "with a long name 2\" both become \"Station with a long\" in the 20 characters of " + t + "out.kel" + in}, ""},
  };
  for (const Row& row : rows) {
    dir.Write("in.xml", row.xml);
    Lines expected = row.log;
    expected.push_back(row.kel.empty() ? kNotConverted : kConverted);
    EXPECT_EQ(RunLogged(dir, {"in.xml", row.out}), expected);
    EXPECT_EQ(dir.Listing(), row.kel.empty() ? "diag.xml in.xml" : "diag.xml in.xml out.kel");
    if (&row == rows) {  // the title lines, cut or padded to 40 bytes, and the time reference
      const auto line = [](std::string text) {
        text.resize(40, ' ');
        return text;
      };
      EXPECT_EQ(Slurp(dir.File("out.kel")).substr(0, 160),
                line(t + "in.xml") + line("http://www.orva.example/orva/QX") +
                    line("Converted by tidemill, version " + VersionText()) + "T0: 2024.03.01 00:00:00  (scu=       1s)");
    }
    if (!row.kel.empty()) {
      RunLogged(dir, {"out.kel", "back.xml", "/debug"});
      EXPECT_EQ(DescribeQX(dir.File("back.xml")), row.kel);
    }
    for (const char* f : {"out.kel", "back.xml"}) std::filesystem::remove(dir.File(f));
  }
}

// Patches bytes of a sample at an offset.
std::string Patched(std::string bytes, std::size_t at, const std::string& with) { return bytes.replace(at, with.size(), with); }
std::string Replaced(std::string text, const std::string& what, const std::string& with) {
  return text.replace(text.find(what), what.size(), with);
}
std::string Int32(int32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

TEST(KelTest, BadKelFilesAndTables) {
  TempDir dir;
  const std::string t = dir.File("");
  const std::string kel = Slurp(kSamples + "/river.kel");  // 3 parameters, 3 locations, 6 records of 40 bytes
  const std::string map = Slurp(kSamples + "/river.map");
  const std::string table = Slurp(kSamples + "/kel-table.ini");
  const std::string in = ") in procedure ConvertKel2XML of Module Mod_Main";
  const std::string line4 = "title line 4 of " + t + "in.kel holds no time reference, ";
  const struct Row {
    std::string input, bytes, table;
    std::string log;  // the one line before "File has not been converted."
  } rows[] = {
      {"in.kel", Patched(kel, 164, Int32(1000)), "",
       "1 Error 62 (Input past end of file: " + t + "in.kel holds 540 bytes but claims 3 parameters and 1000 "
       "locations, a header of 24228 bytes" + in},
      {"in.kel", Patched(kel, 160, Int32(-1)), "",
       "1 Error 9 (Subscript out of range: " + t + "in.kel claims -1 parameters and 3 locations" + in},
      {"in.kel", kel.substr(0, 300), "", "1 Error 62 (Input past end of file: " + t + "in.kel holds 300 bytes: it claims 3 parameters and 3 "
       "locations, a header of 300 bytes and no time record" + in},
      {"in.kel", kel + "xyz", "",
       "1 Error 62 (Input past end of file: " + t + "in.kel holds 543 bytes: after claims 3 parameters and 3 "
       "locations, a header of 300 bytes, 243 bytes are no whole number of time records of 40 bytes" + in},
      {"in.MAP", Patched(map, 164, Int32(2147483647)), "",
       "1 Error 62 (Input past end of file: " + t + "in.MAP holds 316 bytes: after claims 2 parameters and "
       "2147483647 locations, a header of 208 bytes, 108 bytes are no whole number of time records of 17179869180 "
       "bytes" + in},
      {"in.map", Patched(Patched(map, 160, Int32(0)), 164, Int32(1000000000)), "",
       "1 Error 9 (Subscript out of range: " + t + "in.map claims 1000000000 locations and no parameters" + in},
      {"in.kel", Patched(kel, 120, "T0: 2024.02.30 00:00:00"), "",
       "1 Error 13 (Type mismatch: " + line4 + "no such date and time: \"T0: 2024.02.30 00:00:00  (scu=      60s)\"" + in},
      {"in.kel", Patched(kel, 150, "       0s)"), "",
       "1 Error 13 (Type mismatch: " + line4 + "the time unit is not a positive whole number of seconds: \"T0: "
       "2024.03.01 00:00:00  (scu=       0s)\"" + in},
      {"in.kel", Patched(kel, 228 + 24, Int32(7)), "",
       "1 Error 13 (Type mismatch: " + t + "in.kel gives location 2 the number 7 at byte 252" + in},
      {"in.kel", kel, Replaced(table, "Weir", "Dam"),
       "1 Error 9 (Subscript out of range: Location \"Dam\" not found in " + t + "in.kel" + in},
      {"in.kel", kel, Replaced(table, "=2\r", "=1000000000\r"),
       "1 Error 9 (Subscript out of range: key \"3 KelLocation\" missing from section \"Locations\" of " + t +
       "t.ini, which gives NumberOfLocations=1000000000" + in},
      {"in.kel", kel, Replaced(table, "=2\r", "=abc\r"), "1 No locations defined in ConversionTable file: " + t + "t.ini"},
      {"in.kel", kel, table.substr(0, table.find("[Parameters]")),
       "1 No parameters defined in ConversionTable file: " + t + "t.ini"},
      {"in.kel", kel, "-", "1 ConversionTable file not found: " + t + "t.ini"},
  };
  for (const Row& row : rows) {
    dir.Write(row.input, row.bytes);
    Lines args = {row.input, "out.xml"};
    if (!row.table.empty()) {
      if (row.table != "-") dir.Write("t.ini", row.table);
      args.insert(args.end(), {"/conversiontable", "t.ini"});
    }
    EXPECT_EQ(RunLogged(dir, args), (Lines{row.log, kNotConverted}));
    std::filesystem::remove(dir.File(row.input));
    std::filesystem::remove(dir.File("t.ini"));
    EXPECT_EQ(dir.Listing(), "diag.xml");
  }
  // NumberOfLocations=2.5 counts as 2.
  dir.Write("in.kel", kel);
  dir.Write("t.ini", Replaced(table, "=2\r", "=2.5\r"));
  EXPECT_EQ(RunLogged(dir, {"in.kel", "out.xml", "/conversiontable", "t.ini"}), (Lines{kBinaryForm, kConverted}));
}

}  // namespace
}  // namespace tidemill
