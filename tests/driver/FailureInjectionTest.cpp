// Every file the program writes, failing at each step of its write: whole runs through RunMain
// with the real converters, the faults put in at the file-system seam. A failed write must leave
// the previous file byte for byte, no temporary file, and exactly the reports of its rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <regex>
#include <thread>

#include "driver/Main.h"
#include "support/DriverSupport.h"
#include "support/Platform.h"

namespace tidemill {
namespace {

using testing::FaultyFileSystem;
using testing::ReplaceAll;
using testing::Slurp;
using testing::TempDir;
using Strings = std::vector<std::string>;

const std::string kAbr = "20240301000000 1.5\r\n20240301010000 2.5\r\n";
const std::string kQX =
    "<TimeSeries><series><header><locationId>A</locationId><parameterId>Q</parameterId></header>"
    "<event date=\"2006-04-10\" time=\"00:00:00\" value=\"1.5\"/>"
    "<event date=\"2006-04-11\" time=\"00:00:00\" value=\"2.5\"/></series></TimeSeries>";
const std::string kTmsTable = "[Locations tms]\r\nA=1\r\n[Parameters - tmsFiles]\r\nQ=@/q.tms\r\n";
const std::string kConverted = "64||" + testing::kConvertedText, kNotConverted = "16||" + testing::kNotConvertedText;
const std::string kXmlForm = "64||" + testing::kXmlFormText, kBinaryForm = "64||" + testing::kBinaryFormText;
const std::string kWriterFailed =
    "16|Error:|{E} in procedure Write_QX_XML_File of Class Module clsWriteOrvaQXTimeSeries";

// One file the program writes, and the run that writes it. In texts, "@" stands for the run's
// directory, "{E}" for the failure's "Error N (description)" and "{D}" for its description.
struct Output {
  const char* kind;
  std::map<std::string, std::string> files;    // the directory before the run: inputs, old outputs
  Strings args;
  std::string target;                          // the file the faults hit
  Strings failed;                              // the reports of a failed write
  Strings written = {kConverted};              // the reports of a write that went through
  std::string listingAfterFailure = "";        // "": the files before the run
  std::string listingAfterRenameFailure = "";  // "": as after the other faults
};

struct Fault {
  std::string name;
  std::function<void(FaultyFileSystem&)> arm;
  int number;
  std::string description;  // "@" for the target
};

struct Outcome {
  Strings boxes;
  std::string listing;
  std::map<std::string, std::string> files;  // the directory's name as "@"
  std::size_t targetSize = 0;
  std::string target;  // "file", or "link" with the linked file's mode, owner and group, and directory
};

// Owner and group a linked target is given when the tests may give it one of another user.
constexpr int kOwner = 1234;
constexpr int kGroup = 4321;

std::string LinkedState(const std::string& link, const TempDir& elsewhere, const std::string& file) {
  if (!std::filesystem::is_symlink(link)) return "file";
  return "link " + testing::OwnerAndMode(file) + " " + elsewhere.Listing();
}

// One run of the output's conversion, the fault armed on its target, in dir set up afresh. With
// elsewhere, the target is a symbolic link to a file of mode 0640 in that directory.
Outcome RunWith(const Output& output, const TempDir& dir, const std::function<void(FaultyFileSystem&)>& arm,
                const TempDir* elsewhere = nullptr) {
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) std::filesystem::remove(entry.path());
  for (const auto& [name, contents] : output.files) dir.Write(name, dir.Unmasked(contents, "@"));
  std::string target = dir.File(output.target);
  if (elsewhere != nullptr) {
    const std::string file = elsewhere->File(output.target);
    std::filesystem::rename(target, file);
    testing::SetOwnerAndMode(file, 0640, kOwner, kGroup);
    std::filesystem::create_symlink(file, target);
    target = file;
  }
  FaultyFileSystem fs;
  fs.currentDirectory = dir.Path();
  fs.only = target;
  arm(fs);
  testing::BoxRecorder recorder;
  {
    ScopedFileSystem scope(fs);
    EXPECT_EQ(RunMain(output.args), 0);
  }
  Outcome outcome{recorder.boxes, dir.Listing(), {}, Slurp(target).size(), "file"};
  if (elsewhere != nullptr) outcome.target = LinkedState(dir.File(output.target), *elsewhere, target);
  for (const auto& [name, contents] : output.files)
    outcome.files[name] = dir.Masked(Slurp(dir.File(name)), "@");
  for (std::string& box : outcome.boxes) {
    // The log's lines after a report that the log could not be written: their levels tell that
    // none was lost (the end-to-end tests read them whole).
    static const std::regex logged("\r\n([134]) [^\r]*");
    box = std::regex_replace(dir.Masked(box, "@"), logged, " $1");
    if (elsewhere != nullptr) box = elsewhere->Masked(box, "%");
  }
  return outcome;
}

// Every file the program writes, the run that writes it and what it reports.
const std::vector<Output>& Outputs() {
  static const std::vector<Output> outputs = {
      {"QX-XML, XML form",
       {{"in.abr", kAbr}, {"out.xml", "old xml"}, {"out.bin", "old side file"}},
       {"in.abr", "out.xml", "/debug"},
       "out.xml",
       {kXmlForm, kWriterFailed, kNotConverted},
       {kXmlForm, kConverted}},
      // The new side file is in place before the XML: when the XML cannot follow, the side file
      // goes too, rather than lend its values to the old XML.
      {"QX-XML, binary form: the XML file",
       {{"in.abr", kAbr}, {"out.xml", "old xml"}, {"out.bin", "old side file"}},
       {"in.abr", "out.xml"},
       "out.xml",
       {kBinaryForm, kWriterFailed, kNotConverted},
       {kBinaryForm, kConverted},
       "",
       "in.abr out.xml"},
      {"QX-XML, binary form: the side file",
       {{"in.abr", kAbr}, {"out.xml", "old xml"}, {"out.bin", "old side file"}},
       {"in.abr", "out.xml"},
       "out.bin",
       {kBinaryForm, kWriterFailed, kNotConverted},
       {kBinaryForm, kConverted}},
      {"diagnostics file",
       {{"diag.xml", "old log"}},
       {"missing.abr", "out.xml", "/batch", "/diagfile", "diag.xml"},
       "diag.xml",
       {"64||{E} in procedure Flush of Class Module clsXMLOrvaDiagnostics 3 4 4 4 4 4 1"},
       {}},
      {"Kel file",
       {{"in.xml", kQX}, {"out.kel", "old kel"}},
       {"in.xml", "out.kel"},
       "out.kel",
       {"16|Error:|{E} in procedure ConvertXml2Kel of Module Mod_Main", kNotConverted}},
      {"TMS file",
       {{"in.xml", kQX}, {"t.ini", kTmsTable}, {"q.tms", "old tms"}},
       {"in.xml", "out.tms", "/conversiontable", "t.ini"},
       "q.tms",
       {"16|Error:|{E} in procedure ConvertXml2Tms of Module Mod_Main", kConverted}},
      // The TMS file is written before the run-simulation file whatever becomes of the latter.
      {"run-simulation file",
       {{"in.xml", kQX},
        {"t.ini", kTmsTable + "[Ostrand File System]\r\nRunSimpFile=@/run.sim\r\n"},
        {"run.sim", "*\r\n1\r\n2\r\n3\r\nold\r\n"}},
       {"in.xml", "out.tms", "/conversiontable", "t.ini"},
       "run.sim",
       {"48|WriteRunSimpFile|Error: {D}", kConverted},
       {kConverted},
       "in.xml q.tms run.sim t.ini"},
      // A failed rewrite fails every object of the request.
      {"edit-node file",
       {{"in.xml", ReplaceAll(kQX, "</TimeSeries>",
                              "<series><header><locationId>B</locationId><parameterId>Q</parameterId></header>"
                              "<event date=\"2006-04-10\" time=\"00:00:00\" value=\"7\"/></series></TimeSeries>")},
        {"t.ini",
         "[Ostrand File System]\r\nStartUpDir=@\r\nDataEditObjectID=Ostrand.DataEditServer\r\n"
         "[Parameters bin]\r\nQ=PM\r\n"},
        {"editnode.fnm", "* nodes\r\nID A PM NROFVALUES 1 VALUES 0\r\nID B PM NROFVALUES 0 VALUES\r\n"}},
       {"in.xml", "out.bin", "/conversiontable", "t.ini"},
       "editnode.fnm",
       {"48|Error message|Object 1, ID A PM: edit-node file not rewritten: {D}",
        "48|Error message|Object 2, ID B PM: edit-node file not rewritten: {D}",
        "16|Error:|Could not write the data to then bin file.", kNotConverted}},
  };
  return outputs;
}

TEST(FailureInjectionTest, AFailedWriteLeavesThePreviousFileAndGivesItsReportsOnly) {
  for (const Output& output : Outputs()) {
    SCOPED_TRACE(output.kind);
    const TempDir dir, elsewhere;
    // The size the target has when nothing fails.
    const Outcome clean = RunWith(output, dir, [](FaultyFileSystem&) {});
    ASSERT_EQ(clean.boxes, output.written);
    const auto size = static_cast<long long>(clean.targetSize);
    ASSERT_NE(clean.files.at(output.target), output.files.at(output.target));
    // Through a symbolic link the linked file is replaced, keeping its mode, owner and group, and
    // the link stays.
    const bool links = !testing::PosixOnlyRow("symbolic links, modes and owners");
    const std::string linked = "link " + std::to_string(0640) + " " +
                               (testing::ProcessOwner() == "0:0" ? std::to_string(kOwner) + ":" + std::to_string(kGroup)
                                                                 : testing::ProcessOwner()) +
                               " " + output.target;
    if (links) {
      const Outcome viaLink = RunWith(output, dir, [](FaultyFileSystem&) {}, &elsewhere);
      EXPECT_EQ(viaLink.boxes, output.written);
      EXPECT_EQ(viaLink.target, linked);
      EXPECT_EQ(viaLink.targetSize, clean.targetSize);
    }

    std::vector<Fault> faults = {
        {"create", [](FaultyFileSystem& f) { f.failCreate = true; }, 70, "Permission denied: @"},
        {"sync and close", [](FaultyFileSystem& f) { f.failClose = true; }, 57,
         "Device I/O error: @: Input/output error"},
        {"rename", [](FaultyFileSystem& f) { f.failRename = true; }, 70, "Permission denied: @"},
    };
    for (long long n = 0; n < size; ++n) {
      faults.push_back({"disk full after " + std::to_string(n) + " bytes",
                        [n](FaultyFileSystem& f) { f.failWriteAfter = n; }, 61, "Disk full: @"});
    }
    for (const Fault& fault : faults) {
      SCOPED_TRACE(fault.name);
      const Outcome o = RunWith(output, dir, fault.arm);
      const std::string description = ReplaceAll(fault.description, "@", "@/" + output.target);
      const std::string error = "Error " + std::to_string(fault.number) + " (" + description + ")";
      Strings expected;
      for (const std::string& box : output.failed) {
        expected.push_back(ReplaceAll(ReplaceAll(box, "{E}", error), "{D}", description));
      }
      EXPECT_EQ(o.boxes, expected);
      std::string listing;
      for (const auto& [name, contents] : output.files) listing += (listing.empty() ? "" : " ") + name;
      if (!output.listingAfterFailure.empty()) listing = output.listingAfterFailure;
      if (fault.name == "rename" && !output.listingAfterRenameFailure.empty()) listing = output.listingAfterRenameFailure;
      EXPECT_EQ(o.listing, listing);
      for (const auto& [name, before] : output.files) {
        if (o.files.at(name) != "<missing>") {
          EXPECT_EQ(o.files.at(name), before) << name;
        }
      }
      // The same fault through a link: the linked file as before, no temporary file beside it.
      if (links && (fault.name == "rename" || fault.name == "disk full after " + std::to_string(size / 2) + " bytes")) {
        const Outcome l = RunWith(output, dir, fault.arm, &elsewhere);
        const std::string where = "%/" + output.target;
        Strings viaLinkExpected;
        for (const std::string& box : expected) viaLinkExpected.push_back(ReplaceAll(box, "@/" + output.target, where));
        EXPECT_EQ(l.boxes, viaLinkExpected);
        EXPECT_EQ(l.listing, o.listing);
        EXPECT_EQ(l.files.at(output.target), output.files.at(output.target));
        EXPECT_EQ(l.target, linked);
      }
      if (::testing::Test::HasFailure()) return;  // one fault's findings are enough to read
    }
    // A disk that fills exactly at the end still takes the whole file.
    const Outcome full = RunWith(output, dir, [size](FaultyFileSystem& f) { f.failWriteAfter = size; });
    EXPECT_EQ(full.boxes, output.written);
    EXPECT_EQ(full.targetSize, clean.targetSize);
  }
}

// A named pipe and (as root) a device node as the target: written straight into, never replaced,
// with nothing made beside it; a QX-XML file that is no regular file takes the XML form. The
// run-simulation and edit-node files are read before they are written, which a pipe cannot serve.
TEST(FailureInjectionTest, DevicesAndPipesAreWrittenStraight) {
  TIDEMILL_POSIX_ONLY("named pipes and device nodes in the file system");
  for (const Output& output : Outputs()) {
    if (output.target == "run.sim" || output.target == "editnode.fnm") continue;
    for (const bool device : {false, true}) {
      if (device && testing::ProcessOwner().substr(0, 2) != "0:") continue;
      SCOPED_TRACE(std::string(output.kind) + (device ? ", device" : ", pipe"));
      const TempDir dir;
      for (const auto& [name, contents] : output.files) dir.Write(name, ReplaceAll(contents, "@", dir.Path()));
      const std::string target = dir.File(output.target);
      std::filesystem::remove(target);
      ASSERT_TRUE(device ? testing::MakeNullDevice(target) : testing::MakeNamedPipe(target));
      const std::string before = testing::ModeAndInode(target);
      std::string received;
      std::thread reader;
      if (!device) {
        reader = std::thread([&] { received = Slurp(target); });
      }
      FaultyFileSystem fs;
      fs.currentDirectory = dir.Path();
      testing::BoxRecorder recorder;
      {
        ScopedFileSystem scope(fs);
        EXPECT_EQ(RunMain(output.args), 0);
      }
      if (!device) {
        testing::ReleaseNamedPipeReader(target);  // a reader that was never written to
        reader.join();
        EXPECT_NE(received, "");
      }
      Strings expected = output.written;
      if (output.target == "out.xml") std::replace(expected.begin(), expected.end(), kBinaryForm, kXmlForm);
      EXPECT_EQ(recorder.boxes, expected);
      EXPECT_EQ(testing::ModeAndInode(target), before);
      std::string listing;
      for (const auto& [name, contents] : output.files) listing += (listing.empty() ? "" : " ") + name;
      EXPECT_EQ(dir.Listing(), listing);
    }
  }
}

// A disk that fills, made with a file-size limit on the real file system: its report names the
// target too, not the temporary file that is gone by the time anyone reads it.
TEST(FailureInjectionTest, TheRealFileSystemNamesTheTarget) {
  TempDir dir;
  const std::string target = dir.Write("out.xml", "old");
  TIDEMILL_POSIX_ONLY("a limit on the size of files");
  const std::string error = testing::ErrorUnderFileSizeLimit(16, [&] { WriteFileAtomically(target, std::string(100, 'x')); });
  EXPECT_EQ(error, "Error 57 (Device I/O error: " + target + ": File too large)");
  EXPECT_EQ(Slurp(target), "old");
  EXPECT_EQ(dir.Listing(), "out.xml");
}

}  // namespace
}  // namespace tidemill
