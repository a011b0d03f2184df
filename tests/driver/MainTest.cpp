#include <gtest/gtest.h>

#include "common/Program.h"
#include "diagnostics/RunState.h"
#include "diagnostics/XMLOrvaDiagnostics.h"
#include "driver/Main.h"
#include "support/DriverSupport.h"

namespace tidemill {
namespace {

using testing::DiagLine;
using Strings = std::vector<std::string>;

class MainTest : public ::testing::Test {
 protected:
  MainTest() {
    fs_.currentDirectory = dir_.Path();
    for (const char* name : {"in.kel", "in.KEL", "in.map", "in.abr", "in.xml", "in.XML"}) dir_.Write(name, "x");
  }
  void TearDown() override { ResetRunState(); }

  // Runs with converters that note their name, arguments and the run-wide state they see.
  Strings RunOnce(const Strings& args, bool result = true) {
    Strings call;
    const auto record = [&](const char* name, Strings seen) {
      seen.insert(seen.begin(), name);
      seen.push_back(std::string(BatchMode ? "batch " : "") + (DebugMode ? "debug " : "") +
                     (DiagLog ? DiagLog->FileName() : ""));
      EXPECT_TRUE(call.empty()) << "a second conversion";
      call = seen;
      return result;
    };
    using S = const std::string&;
    const auto three = [&](const char* n) { return [=](S i, S o, S t) { return record(n, {i, o, t}); }; };
    const auto two = [&](const char* n) { return [=](S i, S o) { return record(n, {i, o}); }; };
    EXPECT_EQ(RunMain(args, {three("Kel2XML"), three("Abr2XML"), two("Xml2Bin"), two("Xml2Tms"), two("Xml2Kel")}), 0);
    EXPECT_FALSE(BatchMode || DebugMode || DiagLog) << "run-wide state left behind";
    EXPECT_FALSE(call.empty()) << "no conversion";
    return call;
  }

  testing::TempDir dir_;
  testing::FaultyFileSystem fs_;
  ScopedFileSystem scope_{fs_};
  testing::BoxRecorder boxes_;
  const std::string t_ = dir_.File("");
  const std::string s_ = t_.substr(t_.size() - 1);  // the separator
  const std::string drive_ = testing::kOnWindows ? t_.substr(0, 2) : "";
};

TEST_F(MainTest, DispatchesByTheLowerCaseExtensions) {
  const std::string parent = std::filesystem::path(dir_.Path()).parent_path().string();
  const std::pair<Strings, Strings> rows[] = {
      {{"in.map", "out.tms", "/conversiontable", "t.ini"}, {"Kel2XML", t_ + "in.map", t_ + "out.tms", t_ + "t.ini"}},
      {{"in.KEL", "sub/out"}, {"Kel2XML", t_ + "in.KEL", t_ + "sub/out.xml", ""}},
      {{"in.kel"}, {"Kel2XML", t_ + "in.kel", ".xml", ""}},
      {{"in.abr", ".." + s_ + "out"}, {"Abr2XML", t_ + "in.abr", parent + s_ + "out.xml", ""}},
      {{"in.abr", s_ + "abs" + s_ + "out.kel"}, {"Abr2XML", t_ + "in.abr", drive_ + s_ + "abs" + s_ + "out.kel", ""}},
      {{"in.XML", "OUT.BIN", "/conversiontable", "t.ini"}, {"Xml2Bin", t_ + "in.XML", t_ + "t.ini"}},
      {{"in.xml", "out.kel"}, {"Xml2Kel", t_ + "in.xml", t_ + "out.kel"}},
      {{"in.xml", "out"}, {"Xml2Kel", t_ + "in.xml", t_ + "out.kel"}},
      {{"in.xml", "out.day.bin"}, {"Xml2Kel", t_ + "in.xml", t_ + "out.day.bin"}},
      {{"in.xml"}, {"Xml2Kel", t_ + "in.xml", ".kel"}},
  };
  for (const auto& [args, call] : rows) {
    Strings seen = RunOnce(args);
    if (!seen.empty()) seen.pop_back();
    EXPECT_EQ(seen, call);
  }
}

TEST_F(MainTest, SwitchScan) {
  // Switches after "in.xml out.tms"; the table and the batch, debug and log state the converter sees.
  const std::tuple<Strings, std::string, std::string> rows[] = {
      {{}, "", ""},
      {{"/BATCH", "/Debug"}, "", "batch debug "},
      {{"/DEBUGMODE", "/batch", "/batch"}, "", "batch debug "},
      {{"/debugmodes", "foo", "/batch"}, "", "batch "},
      {{"/CONVERSIONTABLE", "Tables/Conv.INI"}, t_ + "Tables/Conv.INI", ""},
      {{"/conversiontable", "/batch", "/conversiontable", s_ + "B.ini"}, drive_ + s_ + "B.ini", ""},
      {{"/conversiontable", "", "/debug"}, "", "debug "},
      {{"/DiagFile", "Diag.XML"}, "", t_ + "Diag.XML"},
      {{"/diagfile", "a.xml", "/diagfile", "b.xml"}, "", t_ + "b.xml"},
      {{"/batch", "/diagfile"}, "", "batch "},
      {{"/conversiontable"}, "", ""},
      {{"", "/batch"}, "", ""},
  };
  for (const auto& [switches, table, state] : rows) {
    Strings args = {"in.xml", "out.tms"};
    args.insert(args.end(), switches.begin(), switches.end());
    EXPECT_EQ(RunOnce(args), (Strings{"Xml2Tms", t_ + "in.xml", table, state}));
  }
  // Windows' names are the same in any case.
  EXPECT_EQ(dir_.Listing(), testing::kOnWindows ? "Diag.XML b.xml in.abr in.kel in.map in.xml"
                                                : "Diag.XML b.xml in.KEL in.XML in.abr in.kel in.map in.xml");
}

TEST_F(MainTest, AnUntrappedErrorStillWritesTheLog) {
  ConverterSet throwing;
  throwing.abr2Xml = [](const std::string&, const std::string&, const std::string&) -> bool {
    throw Error(kErrOverflow);
  };
  EXPECT_THROW(RunMain({"in.abr", "out", "/batch", "/diagfile", "d.xml"}, throwing), Error);
  EXPECT_FALSE(BatchMode || DiagLog);
  EXPECT_EQ(testing::ReadDiagLines(testing::Slurp(dir_.File("d.xml")), ExecutableName()).size(), 6u);
}

}  // namespace
}  // namespace tidemill
