#include "driver/Main.h"

#include <gtest/gtest.h>

#include "common/Program.h"
#include "diagnostics/ReportMessage.h"
#include "diagnostics/XMLOrvaDiagnostics.h"
#include "driver/RunState.h"
#include "support/DriverSupport.h"

namespace tidemill {
namespace {

using testing::Box;
using testing::DiagLine;
using testing::Slurp;

// One converter call with the run-wide state it saw.
struct Call {
  std::string converter;
  std::vector<std::string> args;
  bool batch = false;
  bool debug = false;
  std::string diagFile = {};
  bool operator==(const Call&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Call& c) {
  os << c.converter << "(";
  for (const auto& a : c.args) os << "\"" << a << "\" ";
  return os << ") batch=" << c.batch << " debug=" << c.debug << " diag=" << c.diagFile;
}

class MainTest : public ::testing::Test {
 protected:
  MainTest() {
    fs_.currentDirectory = dir_.Path();
    for (const char* name : {"in.kel", "in.KEL", "in.map", "in.abr", "in.xml", "in.XML", "data.old.xml", "in.txt", "noext", "in."})
      dir_.Write(name, "x");
  }
  void TearDown() override { ResetRunState(); }

  ConverterSet Recording(bool result) {
    auto record = [this, result](const char* name, std::vector<std::string> args) {
      calls_.push_back({name, std::move(args), BatchMode, DebugMode, DiagLog ? DiagLog->FileName() : ""});
      return result;
    };
    return {[=](const std::string& i, const std::string& o, const std::string& t) { return record("Kel2XML", {i, o, t}); },
            [=](const std::string& i, const std::string& o, const std::string& t) { return record("Abr2XML", {i, o, t}); },
            [=](const std::string& i, const std::string& t) { return record("Xml2Bin", {i, t}); },
            [=](const std::string& i, const std::string& t) { return record("Xml2Tms", {i, t}); },
            [=](const std::string& i, const std::string& o) { return record("Xml2Kel", {i, o}); }};
  }
  Call Only() {
    EXPECT_EQ(calls_.size(), 1u);
    return calls_.empty() ? Call{} : calls_.front();
  }
  std::vector<DiagLine> Log(const std::string& name) { return testing::ReadDiagLines(Slurp(dir_.File(name)), ExecutableName()); }

  testing::TempDir dir_;
  testing::DriverFileSystem fs_;
  ScopedFileSystem scope_{fs_};
  testing::BoxRecorder boxes_;
  std::vector<Call> calls_;
  const std::string t_ = dir_.Path() + "/";
};

const std::string kUsage =
    "Usage: Tidemill.exe inputfile outputfile </batch> </conversiontable conversiontablefilename> </diagfile OrvaDiagnosticsFile>";
const std::string kTail = "\r\nThe conversion is both ways, but only of XML and KEL.";

TEST_F(MainTest, DispatchesByTheLowerCaseExtensions) {
  const std::string parent = std::filesystem::path(dir_.Path()).parent_path().string();
  const std::pair<std::vector<std::string>, Call> rows[] = {
      {{"in.kel", "out.xml"}, {"Kel2XML", {t_ + "in.kel", t_ + "out.xml", ""}}},
      {{"in.map", "out.tms", "/conversiontable", "t.ini"}, {"Kel2XML", {t_ + "in.map", t_ + "out.tms", t_ + "t.ini"}}},
      {{"in.KEL", "sub/out"}, {"Kel2XML", {t_ + "in.KEL", t_ + "sub/out.xml", ""}}},
      {{"in.kel"}, {"Kel2XML", {t_ + "in.kel", ".xml", ""}}},
      {{"in.abr", "../out"}, {"Abr2XML", {t_ + "in.abr", parent + "/out.xml", ""}}},
      {{"in.abr", "/abs/out.kel"}, {"Abr2XML", {t_ + "in.abr", "/abs/out.kel", ""}}},
      {{"in.xml", "out.bin", "/conversiontable", "t.ini"}, {"Xml2Bin", {t_ + "in.xml", t_ + "t.ini"}}},
      {{"in.XML", "OUT.BIN"}, {"Xml2Bin", {t_ + "in.XML", ""}}},
      {{"in.xml", "out.tms", "/conversiontable", "t.ini"}, {"Xml2Tms", {t_ + "in.xml", t_ + "t.ini"}}},
      {{"in.xml", "out.kel"}, {"Xml2Kel", {t_ + "in.xml", t_ + "out.kel"}}},
      {{"in.xml", "out"}, {"Xml2Kel", {t_ + "in.xml", t_ + "out.kel"}}},
      {{"in.xml", "out.day.bin"}, {"Xml2Kel", {t_ + "in.xml", t_ + "out.day.bin"}}},
      {{"in.xml"}, {"Xml2Kel", {t_ + "in.xml", ".kel"}}},
  };
  for (const auto& [args, call] : rows) {
    calls_.clear();
    EXPECT_EQ(RunMain(args, Recording(true)), 0);
    EXPECT_EQ(Only(), call);
  }
}

TEST_F(MainTest, SwitchScan) {
  struct Row {
    std::vector<std::string> switches;
    bool batch, debug;
    std::string table, diag;
  } rows[] = {
      {{}, false, false, "", ""},
      {{"/BATCH", "/Debug"}, true, true, "", ""},
      {{"/DEBUGMODE", "/batch", "/batch"}, true, true, "", ""},
      {{"/debugmodes", "foo", "/batch"}, true, false, "", ""},
      {{"/CONVERSIONTABLE", "Tables/Conv.INI"}, false, false, t_ + "Tables/Conv.INI", ""},
      {{"/conversiontable", "/batch", "/conversiontable", "/abs/B.ini"}, false, false, "/abs/B.ini", ""},
      {{"/conversiontable", "", "/debug"}, false, true, "", ""},
      {{"/DiagFile", "Diag.XML"}, false, false, "", t_ + "Diag.XML"},
      {{"/diagfile", "a.xml", "/diagfile", "b.xml"}, false, false, "", t_ + "b.xml"},
      {{"/batch", "/diagfile"}, true, false, "", ""},
      {{"/conversiontable"}, false, false, "", ""},
      {{"", "/batch"}, false, false, "", ""},
  };
  for (const Row& row : rows) {
    calls_.clear();
    std::vector<std::string> args = {"in.xml", "out.tms"};
    args.insert(args.end(), row.switches.begin(), row.switches.end());
    RunMain(args, Recording(true));
    EXPECT_EQ(Only(), (Call{"Xml2Tms", {t_ + "in.xml", row.table}, row.batch, row.debug, row.diag}));
    EXPECT_FALSE(BatchMode || DebugMode || DiagLog) << "run-wide state left behind";
  }
  EXPECT_EQ(Slurp(dir_.File("a.xml")), "<missing>");
  EXPECT_NE(Slurp(dir_.File("b.xml")), "<missing>");
}

TEST_F(MainTest, RefusedRunsReachNoConverter) {
  const std::string missing = "Defined input file does not exist.\r\n\r\n" + kUsage + kTail;
  const std::string type = "The input file should be of type QX-XML or LIMNEX kel/map.\r\n\r\n" + kUsage + kTail;
  std::filesystem::create_directory(dir_.File("dir.xml"));
  const std::pair<std::vector<std::string>, std::string> rows[] = {
      {{}, "No command line defined.\r\n\r\n" + kUsage + " </debug>" + kTail},
      {{"", "out.kel", "/batch"}, missing},
      {{"missing.xml", "out.kel"}, missing},
      {{"dir.xml", "out.kel"}, missing},
      {{"data.old.xml", "out.kel"}, type},
      {{"in.txt", "out.kel"}, type},
      {{"noext", "out.kel"}, type},
      {{"in.", "out.kel"}, type},
  };
  for (const auto& [args, text] : rows) {
    boxes_.boxes.clear();
    EXPECT_EQ(RunMain(args, Recording(true)), 0);
    EXPECT_EQ(boxes_.boxes, (std::vector<Box>{{text, kStyleCritical, "Error:"}}));
  }
  EXPECT_TRUE(calls_.empty());
}

TEST_F(MainTest, OutcomeIsReportedByMode) {
  const std::string ok = "File has been converted succesfully.", failed = "File has not been converted.";
  const std::vector<DiagLine> startup = {{3, ExecutableName() + " started."},
                                         {4, "Commandline = in.abr out /diagfile d.xml /debug"},
                                         {4, "FileIn = " + t_ + "in.abr"},
                                         {4, "FileOut = " + t_ + "out"},
                                         {4, "BatchMode = False"},
                                         {4, "DebugMode = True"}};
  struct Row {
    bool result;
    std::vector<std::string> switches;
    std::vector<Box> boxes;
    std::vector<DiagLine> extraLines;
  } rows[] = {
      {true, {}, {{ok, kStyleInformation, ""}}, {}},
      {false, {}, {{failed, kStyleCritical, ""}}, {}},
      {true, {"/batch"}, {}, {{3, ok}}},
      {false, {"/batch"}, {}, {{1, failed}}},
  };
  for (const Row& row : rows) {
    boxes_.boxes.clear();
    std::vector<std::string> args = {"in.abr", "out", "/diagfile", "d.xml", "/debug"};
    args.insert(args.end(), row.switches.begin(), row.switches.end());
    RunMain(args, Recording(row.result));
    EXPECT_EQ(boxes_.boxes, row.boxes);
    std::vector<DiagLine> lines = startup;
    lines[1].message += row.switches.empty() ? "" : " /batch";
    lines[4].message = row.switches.empty() ? "BatchMode = False" : "BatchMode = True";
    lines.insert(lines.end(), row.extraLines.begin(), row.extraLines.end());
    EXPECT_EQ(Log("d.xml"), lines);
  }
  boxes_.boxes.clear();
  RunMain({"in.abr", "out", "/batch"}, Recording(true));
  EXPECT_EQ(boxes_.boxes, (std::vector<Box>{{ok, kStyleInformation, ""}}));
}

TEST_F(MainTest, AnUntrappedErrorStillWritesTheLogAndExitsWithOne) {
  ConverterSet throwing;
  throwing.abr2Xml = [](const std::string&, const std::string&, const std::string&) -> bool { throw Error(kErrOverflow); };
  EXPECT_THROW(RunMain({"in.abr", "out", "/batch", "/diagfile", "d.xml"}, throwing), Error);
  EXPECT_FALSE(BatchMode || DiagLog);
  EXPECT_EQ(Log("d.xml").size(), 6u);

  fs_.failCurrentDirectory = true;
  char program[] = "tidemill", input[] = "in.xml";
  char* argv[] = {program, input, nullptr};
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Main(2, argv), 1);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Run-time error '53': File not found: .\n");
  EXPECT_EQ(Main(0, argv), 0);  // no arguments at all: the usage message, no crash
}

}  // namespace
}  // namespace tidemill
