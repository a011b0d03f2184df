// Runs the built executable in a temporary directory and checks what a user sees.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "common/Program.h"
#include "support/RunTidemill.h"

namespace tidemill {
namespace {

using testing::DiagLine;
using testing::Outcome;
using testing::RunTidemill;
using testing::Slurp;
using testing::TempDir;

const std::string kUsage =
    "Usage: Tidemill.exe inputfile outputfile </batch> </conversiontable conversiontablefilename> </diagfile "
    "OrvaDiagnosticsFile>";
const std::string kTail = "The conversion is both ways, but only of XML and KEL.";
using testing::kConvertedLine;
using testing::kXmlFormLine;
const std::string kBoxes = "Tidemill: " + testing::kXmlFormText + "\nTidemill: " + testing::kConvertedText + "\n";

class TidemillTest : public ::testing::Test {
 protected:
  TidemillTest() { dir_.Write("in.abr", "20240301000000 1.5\r\n"); }
  TempDir dir_;
  const std::string t_ = dir_.File("");
};

TEST_F(TidemillTest, RefusedCommandLinesShowUsage) {
  dir_.Write("data.old.xml", "<TimeSeries/>");
  std::filesystem::create_directory(dir_.File("dir.xml"));
  dir_.Write("--version", "");
  const std::string missing = "Error: Defined input file does not exist.\n\n" + kUsage + "\n" + kTail + "\n";
  const std::string type = "Error: The input file should be of type QX-XML or LIMNEX kel/map.\n\n" + kUsage + "\n" + kTail + "\n";
  // With a second argument, or a file of that name, a help or version switch is an input file.
  const std::pair<std::vector<std::string>, std::string> rows[] = {
      {{}, "Error: No command line defined.\n\n" + kUsage + " </debug>\n" + kTail + "\n"},
      {{"missing.xml", "out.kel"}, missing},
      {{"dir.xml", "out.kel", "/debug"}, missing},
      {{"--help", "out.kel"}, missing},
      {{"data.old.xml", "out.kel"}, type},
      {{"--version"}, type},
  };
  for (const auto& [args, err] : rows) {
    const Outcome o = RunTidemill(dir_.Path(), args);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err, err);
  }
  EXPECT_EQ(dir_.Listing(), "--version data.old.xml dir.xml in.abr");
}

TEST_F(TidemillTest, LoggedRuns) {
  dir_.Write("diag.xml", "<old>" + std::string(4000, 'x') + "</old>");  // replaced, not extended
  std::filesystem::create_directory(dir_.File("my dir"));
  dir_.Write("my dir/in put.abr", "");
  const std::vector<DiagLine> converted = {kXmlFormLine, kConvertedLine};
  const std::vector<DiagLine> failed = {
      {1, "Error 9 (Subscript out of range: " + t_ + "my dir/in put.abr holds no data line) in procedure ConvertAbr2XML of Module Mod_Main"},
      testing::kNotConvertedLine};
  struct Row {
    std::vector<std::string> args;
    std::string err, commandLine, in, out, batch, debug;
    std::vector<DiagLine> lines;
  } rows[] = {
      {{"missing.kel", "out", "/batch", "/diagfile", "diag.xml"}, "", "missing.kel out /batch /diagfile diag.xml",
       t_ + "missing.kel", t_ + "out", "True", "False", {{1, "Defined input file does not exist.  " + kUsage + " " + kTail}}},
      {{"in.abr", "out", "/BATCH", "/DIAGFILE", "diag.xml", "/DebugMode"}, "",
       "in.abr out /BATCH /DIAGFILE diag.xml /DebugMode", t_ + "in.abr", t_ + "out", "True", "True", converted},
      {{"in.abr", "out.xml", "/diagfile", "diag.xml", "/debug"}, kBoxes, "in.abr out.xml /diagfile diag.xml /debug",
       t_ + "in.abr", t_ + "out.xml", "False", "True", {}},
      {{"my dir/in put.abr", "out \"1\".xml", "/batch", "/diagfile", "diag.xml"}, "",
       "\"my dir/in put.abr\" \"out \"\"1\"\".xml\" /batch /diagfile diag.xml", t_ + "my dir/in put.abr",
       t_ + "out \"1\".xml", "True", "False", failed},
  };
  for (const Row& row : rows) {
    const Outcome o = RunTidemill(dir_.Path(), row.args);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, row.err);
    std::vector<DiagLine> expected = {{3, "tidemill started."},        {4, "Commandline = " + row.commandLine},
                                      {4, "FileIn = " + row.in},       {4, "FileOut = " + row.out},
                                      {4, "BatchMode = " + row.batch}, {4, "DebugMode = " + row.debug}};
    expected.insert(expected.end(), row.lines.begin(), row.lines.end());
    EXPECT_EQ(testing::ReadDiagLines(Slurp(dir_.File("diag.xml")), "tidemill"), expected);
  }
  const Outcome o = RunTidemill(dir_.Path(), {"in.abr", "out.xml", "/batch", "/diagfile"});
  EXPECT_EQ(o.err, kBoxes);
  EXPECT_EQ(dir_.Listing(), "diag.xml in.abr my dir out.xml");
}

// Files are told apart by what they are, not by their names: a run that would write over a file
// it reads, or two outputs into one file, writes nothing; a device named twice is no clash.
TEST_F(TidemillTest, FilesAreToldApartByIdentity) {
  TIDEMILL_POSIX_ONLY("symbolic links, device nodes and /dev/stdout");
  dir_.Write("in.xml", Slurp(TIDEMILL_SAMPLES "/flow.xml"));
  dir_.Write("level.abr", Slurp(TIDEMILL_SAMPLES "/level.abr"));
  dir_.Write("t.ini", "[Locations tms]\r\nOstbrug=1\r\n[Parameters - tmsFiles]\r\nQ.meting=t.ini\r\n");
  std::filesystem::create_symlink("in.xml", dir_.File("lnk.kel"));
  std::filesystem::create_symlink("./o.bin", dir_.File("o.xml"));
  const bool root = testing::ProcessOwner().substr(0, 2) == "0:";
  if (root) {
    ASSERT_TRUE(testing::MakeNullDevice(dir_.File("nul.xml")));
  }
  const std::string listing = dir_.Listing();
  const auto clash = [&](const std::string& what, const char* procedure) {
    return "1 Error 75 (Path/File access error: " + testing::ReplaceAll(what, "@", dir_.Path()) + ") in procedure " +
           procedure + " of Module Mod_Main";
  };
  const struct {
    std::vector<std::string> args;
    std::string log;  // the line before "File has not been converted."; "" for none
    std::string err = "";
  } rows[] = {
      {{"in.xml", "in.xml"}, clash("the output @/in.xml and the input @/in.xml are one file", "ConvertXml2Kel")},
      {{"in.xml", "lnk.kel"}, clash("the output @/lnk.kel and the input @/in.xml are one file", "ConvertXml2Kel")},
      {{"level.abr", "o.xml"},
       "1 Error 75 (Path/File access error: " + t_ + "o.xml would be its own side file) in procedure "
       "Write_QX_XML_File of Class Module clsWriteOrvaQXTimeSeries"},
      {{"in.xml", "o.tms", "/conversiontable", "t.ini"},
       clash("the TMS file t.ini and the conversion table @/t.ini are one file", "ConvertXml2Tms")},
      // The log is the clash: its lines go to standard error.
      {{"in.xml", "out.kel", "/diagfile", "in.xml"}, "",
       "Tidemill: Error 75 (Path/File access error: the diagnostics file " + t_ + "in.xml and the input " + t_ +
           "in.xml are one file) in procedure Flush of Class Module clsXMLOrvaDiagnostics"},
  };
  for (const auto& row : rows) {
    std::vector<std::string> args = row.args;
    if (row.log.empty()) {
      args.insert(args.end(), {"/batch"});
    } else {
      args.insert(args.end(), {"/batch", "/diagfile", "diag.xml"});
    }
    const Outcome o = RunTidemill(dir_.Path(), args);
    EXPECT_EQ(o.err.substr(0, o.err.find('\n')), row.err) << args[1];
    if (!row.log.empty()) {
      std::vector<std::string> lines;
      for (const auto& [level, text] : testing::LoggedAfterStart(dir_)) lines.push_back(std::to_string(level) + " " + text);
      EXPECT_EQ(lines, (std::vector<std::string>{row.log, "1 " + testing::kNotConvertedText}));
      std::filesystem::remove(dir_.File("diag.xml"));
    }
    EXPECT_EQ(dir_.Listing(), listing);
  }
  EXPECT_EQ(Slurp(dir_.File("in.xml")), Slurp(TIDEMILL_SAMPLES "/flow.xml"));

  // In the XML form the output may be its own side file, through a link too.
  RunTidemill(dir_.Path(), {"level.abr", "o.xml", "/batch", "/debug"});
  EXPECT_EQ(Slurp(dir_.File("o.xml")).substr(0, 5), "<?xml");
  EXPECT_TRUE(std::filesystem::remove(dir_.File("o.bin")));

  // Standard output (a file here) takes the output through a link and then the log, both as
  // they stand; a device named as output and log stays a device.
  std::filesystem::create_symlink("/dev/stdout", dir_.File("so.xml"));
  const Outcome out = RunTidemill(dir_.Path(), {"in.abr", "so.xml", "/batch", "/diagfile", "/dev/stdout", "/debug"});
  EXPECT_LT(out.out.find("<TimeSeries"), out.out.find("<Diag")) << out.err;
  EXPECT_NE(out.out.find(testing::kConvertedText), std::string::npos);
  EXPECT_TRUE(std::filesystem::remove(dir_.File("so.xml")));
  if (root) {
    const std::string before = testing::ModeAndInode(dir_.File("nul.xml"));
    const Outcome o = RunTidemill(dir_.Path(), {"in.abr", "nul.xml", "/batch", "/diagfile", "nul.xml"});
    EXPECT_EQ(o.err + o.out, "");
    EXPECT_EQ(testing::ModeAndInode(dir_.File("nul.xml")), before);  // still the device
  }
  EXPECT_EQ(dir_.Listing(), listing);
}

TEST_F(TidemillTest, UnwritableLogIsReportedAndLeavesNothing) {
  std::filesystem::create_directory(dir_.File("diag.xml"));
  // A refused creation is the failure-injection table's.
  const std::pair<std::string, std::string> rows[] = {
      {"nodir/diag.xml", "Error 76 (Path not found: " + t_ + "nodir/diag.xml: no directory " + t_ + "nodir)"},
      {"diag.xml", "Error 75 (Path/File access error: " + t_ + "diag.xml: Is a directory)"},
  };
  // The run's lines follow the report, their times as T.
  const std::regex time(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)");
  for (const auto& [diag, report] : rows) {
    const Outcome o = RunTidemill(dir_.Path(), {"in.abr", "out.xml", "/batch", "/diagfile", diag});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(std::regex_replace(o.err, time, "T"),
              "Tidemill: " + report + " in procedure Flush of Class Module clsXMLOrvaDiagnostics\n"
              "3 tidemill T : tidemill started.\n"
              "4 tidemill T : Commandline = in.abr out.xml /batch /diagfile " + diag + "\n"
              "4 tidemill T : FileIn = " + t_ + "in.abr\n"
              "4 tidemill T : FileOut = " + t_ + "out.xml\n"
              "4 tidemill T : BatchMode = True\n"
              "4 tidemill T : DebugMode = False\n"
              "4 tidemill T : " + testing::kXmlFormText + "\n"
              "3 tidemill T : " + testing::kConvertedText + "\n");
  }
  EXPECT_EQ(dir_.Listing(), "diag.xml in.abr out.xml");
}

TEST_F(TidemillTest, ExitCodeTellsWhetherEverythingWasConverted) {
  // Cut after the first of two series: one is written and the run still ends "succesfully".
  std::string cut = Slurp(TIDEMILL_SAMPLES "/flow.xml");
  cut.resize(cut.find("</series>") + 11);
  dir_.Write("cut.xml", cut);
  const std::pair<std::vector<std::string>, int> rows[] = {
      {{"in.abr", "out.xml", "/exitcode"}, 0},
      {{"missing.xml", "out.kel", "/exitcode"}, 1},
      {{"cut.xml", "cut.kel", "/plan", "/exitcode"}, 1},
      {{"in.abr", "out.xml", "/plan", "/exitcode"}, 0},
      {{"cut.xml", "cut.kel", "/batch", "/diagfile", "diag.xml", "/EXITCODE"}, 1},
      {{"cut.xml", "cut.kel", "/batch", "/diagfile", "diag.xml", "/exitcod"}, 0},
      {{"cut.xml", "cut.kel", "/exitcode"}, 1},  // the error shown on standard error counts too
      {{"in.abr", "out.xml", "/exitcode", "/diagfile", "in.abr/diag.xml"}, 1},  // the log cannot be written
  };
  for (const auto& [args, status] : rows) {
    EXPECT_EQ(RunTidemill(dir_.Path(), args).status, status) << args.back();
  }
  // The runs of the cut file: an error report, and still the success line last.
  const std::vector<DiagLine> lines = testing::LoggedAfterStart(dir_);
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const DiagLine& line) { return line.first == 1; }));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), kConvertedLine);
  EXPECT_TRUE(std::filesystem::exists(dir_.File("cut.kel")));
}

// What a user who is not root meets (the tests drop to nobody when they run as root): files
// that may not be read or written are errors 70, and a replaced file of another owner keeps its
// mode and the group, which the user is in, the owner becoming the user.
TEST_F(TidemillTest, AnUnprivilegedUser) {
  TIDEMILL_POSIX_ONLY("owners, modes and user nobody");
  std::filesystem::permissions(dir_.Path(), std::filesystem::perms::all);
  std::filesystem::create_directory(dir_.File("locked"));
  std::filesystem::permissions(dir_.File("locked"), std::filesystem::perms(0555));
  const std::string theirs = dir_.Write("theirs.xml", "old"), secret = dir_.Write("secret.abr", "20240301000000 1\r\n");
  const std::string self = testing::ProcessOwner();
  // Set-group-ID with group execute: the bit a write by anyone but root clears.
  testing::SetOwnerAndMode(theirs, 02674, 1234, 4321);
  testing::SetOwnerAndMode(secret, 0, 0, 0);
  const std::string missing = "Error: Defined input file does not exist.\n\n" + kUsage + "\n" + kTail + "\n";
  const std::pair<std::vector<std::string>, std::string> rows[] = {
      {{"in.abr", "locked/out.xml", "/debug"}, "Tidemill: " + testing::kXmlFormText +
           "\nError: Error 70 (Permission denied: " + t_ + "locked/out.xml) in procedure Write_QX_XML_File of Class "
           "Module clsWriteOrvaQXTimeSeries\nTidemill: File has not been converted.\n"},
      {{"secret.abr", "out.xml", "/debug"}, missing},  // unreadable is missing
      {{"in.abr", "theirs.xml", "/debug"}, kBoxes},
  };
  for (const auto& [args, err] : rows) EXPECT_EQ(RunTidemill(dir_.Path(), args, false, true).err, err) << args[0];
  EXPECT_EQ(testing::OwnerAndMode(theirs), "1468 " + (self.starts_with("0:") ? std::string("65534:4321") : self));
  EXPECT_EQ(dir_.Listing(), "in.abr locked secret.abr theirs.xml");
}

TEST_F(TidemillTest, HelpAndVersionOnlyWhenNothingElseIsMeant) {
  const Outcome help = RunTidemill(dir_.Path(), {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.out.starts_with(std::string("Usage: tidemill") + (testing::kOnWindows ? ".exe" : "") +
                                   " inputfile outputfile [/batch] [/conversiontable table.ini]"))
      << help.out;
  EXPECT_EQ(help.err, "");
  EXPECT_EQ(RunTidemill(dir_.Path(), {"--version"}).out, "tidemill " + VersionText() + "\n");
}

// Paths and targets as Windows has them: drive and network paths, "..", a name that is not
// ASCII, a read-only target and one that another process holds open (these two Windows only).
TEST_F(TidemillTest, PathsAndTargets) {
  std::filesystem::create_directory(dir_.File("sub"));
  const std::string s = t_.substr(t_.size() - 1), name = "d\xC3\xA9" "bit \xE6\xB0\xB4";  // "débit 水"
  dir_.Write(name + ".abr", "20240301000000 1.5\r\n");
  dir_.Write("ro.xml", "old");
  std::filesystem::permissions(testing::Utf8Path(dir_.File("ro.xml")), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  dir_.Write("held.xml", "old");
  const auto held = testing::HoldExclusively(dir_.File("held.xml"));
  const std::string unc = testing::kOnWindows ? "\\\\srv\\share\\dir\\in.abr" : "//srv/share/dir/in.abr";
  const std::string missing = "Defined input file does not exist.  " + kUsage + " " + kTail;
  const std::string converted = testing::kConvertedText;
  const std::string refused = "Error 75 (Path/File access error: " + t_ + "ro.xml: the file is read-only) in procedure "
                              "Write_QX_XML_File of Class Module clsWriteOrvaQXTimeSeries";
  const struct Row {
    std::string cwd;
    std::vector<std::string> args;
    std::string in, out, last;  // FileIn, FileOut and the last line logged
    bool windowsOnly = false;
  } rows[] = {
      {"", {t_ + "in.abr", t_ + "a.xml"}, t_ + "in.abr", t_ + "a.xml", converted},
      {"sub", {".." + s + "in.abr", ".." + s + "b.xml"}, t_ + "in.abr", t_ + "b.xml", converted},
      {"", {name + ".abr", name + ".xml"}, t_ + name + ".abr", t_ + name + ".xml", converted},
      // A network path from a local directory takes its drive, as "\\" paths do.
      {"", {unc, "c.xml"}, (testing::kOnWindows ? t_.substr(0, 2) : "") + unc, t_ + "c.xml", missing},
      {"", {"in.abr", "ro.xml"}, t_ + "in.abr", t_ + "ro.xml", refused, true},
      {"", {"in.abr", "held.xml"}, t_ + "in.abr", t_ + "held.xml",
       "Error 70 (Permission denied: " + t_ + "held.xml: the file is held open by another process)", true},
      {"", {"held.xml", "d.kel"}, t_ + "held.xml", t_ + "d.kel", missing, true},
  };
  for (const Row& row : rows) {
    if (row.windowsOnly && !testing::kOnWindows) continue;
    std::vector<std::string> args = row.args;
    for (const char* a : {"/batch", "/diagfile", "diag.xml", "/debug"}) args.push_back(a);
    const std::string cwd = row.cwd.empty() ? dir_.Path() : dir_.File(row.cwd);
    EXPECT_EQ(RunTidemill(cwd, args).err, "") << row.args[0];
    const std::vector<DiagLine> lines = testing::ReadDiagLines(Slurp(cwd + s + "diag.xml"), "tidemill");
    std::filesystem::remove(cwd + s + "diag.xml");
    ASSERT_GE(lines.size(), 7u) << row.args[0];
    EXPECT_EQ(lines[2].second, "FileIn = " + row.in);
    EXPECT_EQ(lines[3].second, "FileOut = " + row.out);
    EXPECT_TRUE(std::any_of(lines.begin() + 6, lines.end(), [&](const DiagLine& l) { return l.second.starts_with(row.last); }))
        << row.args[0] << " " << row.args[1] << ": " << lines.back().second;
  }
  // The held target is named, and neither refused target has changed or has a file beside it.
  if (testing::kOnWindows) {
    EXPECT_EQ(Slurp(dir_.File("ro.xml")), "old");
    EXPECT_EQ(dir_.Listing(), "a.xml b.xml " + name + ".abr " + name + ".xml held.xml in.abr ro.xml sub");
  }
}

// From a current directory that has been removed, absolute paths still convert; a relative one
// is an untrapped error, which exits with 1.
TEST_F(TidemillTest, RemovedCurrentDirectory) {
  TIDEMILL_POSIX_ONLY("Windows does not remove a directory that a process has as its current one");
  const std::string gone = dir_.File("gone");
  const std::pair<std::vector<std::string>, Outcome> rows[] = {
      {{t_ + "in.abr", t_ + "out.xml", "/debug"}, {0, "", kBoxes}},
      {{t_ + "in.abr", "out.xml"},
       {1, "",
        "Run-time error '76': Path not found: the current directory has been removed, so the relative path out.xml "
        "cannot be resolved\n"}},
      {{"--help"}, {0, "Usage: tidemill", ""}},
  };
  for (const auto& [args, expected] : rows) {
    std::filesystem::create_directory(gone);
    const Outcome o = RunTidemill(gone, args, true);
    EXPECT_EQ(o.status, expected.status);
    EXPECT_EQ(o.out.substr(0, expected.out.size()), expected.out);
    EXPECT_EQ(o.err, expected.err);
  }
  EXPECT_EQ(dir_.Listing(), "in.abr out.xml");
}

}  // namespace
}  // namespace tidemill
