#include <gtest/gtest.h>

#include <map>

#include "common/Parallel.h"
#include "converters/Converters.h"
#include "diagnostics/RunState.h"
#include "external/DataEditServer.h"
#include "support/FaultyFileSystem.h"

namespace tidemill {
namespace {

using Strings = std::vector<std::string>;
using testing::ReplaceAll;

Strings operator+(Strings a, const Strings& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A series element with its events, an hour apart.
std::string Series(const std::string& location, const std::string& parameter, const Strings& values) {
  std::string s = "<series><header><locationId>" + location + "</locationId><parameterId>" + parameter +
                  "</parameterId></header>";
  for (std::size_t i = 0; i < values.size(); ++i)
    s += "<event date=\"2024-03-01\" time=\"0" + std::to_string(i) + ":00:00\" value=\"" + values[i] + "\"/>";
  return s + "</series>";
}

const std::string kThree = Series("L1", "P", {"1.5", "0.0001234", "-999.99"}) + Series("L2", "Q", {}) + Series(" L3", " P ", {"7"});
const std::string kFive = Series("L1", "X", {"1"}) + kThree + Series("L1", "U", {"2"});
const std::string kOk = "StartUpDir= $/model/ \nEditNodeFnm=e.fnm\nDataEditObjectID= Test.Server ";

class ConvertXml2BinTest : public ::testing::Test {
 protected:
  ConvertXml2BinTest() {
    fs_.currentDirectory = dir_.Path();
    std::filesystem::create_directory(dir_.File("model"));
    dir_.Write("model/e.fnm", "");
  }
  // The result, the boxes as "style|title|text", then the request the test server saw (header,
  // objects 0..N); "$" stands for the directory in the table and in what comes back.
  Strings Run(const std::string& fileSystem, const std::string& series, const char* table = "t.ini") {
    ResetRunState();  // a run of its own, which reads the table afresh
    ThreadCount = ThreadsFromEnvironment();  // as Main resolves it
    // The rows' paths are written with "/", Windows' with "\\".
    const auto native = [](const std::string& s, const char* from, const char* to) {
      return testing::kOnWindows ? ReplaceAll(s, from, to) : s;
    };
    dir_.Write("t.ini", dir_.Unmasked(native("[Ostrand File System]\n" + fileSystem, "/", "\\"), "$") +
                            "\n[Parameters bin]\nP=PM\n Q = QM \nU=  \n[Locations bin]\nL1= OBJ1\nL2=\n");
    dir_.Write("in.xml", "<TimeSeries>" + series + "</TimeSeries>");
    testing::BoxRecorder boxes;
    request_.clear();
    Strings out = {ConvertXml2Bin(dir_.File("in.xml"), *table ? dir_.File(table) : "") ? "true" : "false"};
    for (const std::string& s : boxes.boxes + request_) out.push_back(native(dir_.Masked(s, "$"), "\\", "/"));
    return out;
  }

  // Notes the request; flags the objects of failures_, or raises for an object 0 there.
  struct Server : DataEditServer {
    explicit Server(ConvertXml2BinTest& t) : t(t) {}
    int32_t RequestByClient(std::string& header, SafeArray<int16_t>& flags, int32_t& n, SafeArray<std::string>& objects,
                            SafeArray<std::string>& messages, int16_t& indicator) override {
      EXPECT_FALSE(flags.Allocated() || messages.Allocated() || indicator != 0);
      t.request_ = {header};
      for (int32_t k = objects.LBound(); k <= objects.UBound(); ++k) t.request_.push_back(objects(k));
      if (t.failures_.contains(0)) throw DetailedError(kErrDeviceIO, "server gone");
      flags.ReDim(1, n);
      messages.ReDim(1, n);
      for (const auto& [k, m] : t.failures_) flags(k) = 1, messages(k) = m, indicator = 1;
      return 0;
    }
    ConvertXml2BinTest& t;
  };

  testing::TempDir dir_;
  testing::FaultyFileSystem fs_;
  ScopedFileSystem scope_{fs_};
  ScopedDataEditServer server_{"test.server", [this] { return std::make_unique<Server>(*this); }};
  Strings request_;
  std::map<int32_t, std::string> failures_;
};

TEST_F(ConvertXml2BinTest, ChecksTransfersAndReports) {
  const std::string notFound = "16|Error:|EditNodeFnm file not found: ";
  const std::string unmapped = "48|ConvertXML2Bin|Parameter: ";
  const Strings twoUnmapped = {unmapped + "X not defined in [Parameter bin]", unmapped + "U not defined in [Parameter bin]"};
  const Strings request = {"SET_VALUES FILE \"e.fnm\" STARTUPDIR \"$/model\"", "",
                           "ID OBJ1 PM NROFVALUES 3 VALUES 1.5 .0001234 -999.99 ", "ID L2 QM NROFVALUES 0 VALUES ",
                           "ID  L3 PM NROFVALUES 1 VALUES 7 "};
  const struct {
    std::string fileSystem, series;
    const char* table;
    std::map<int32_t, std::string> failures;
    Strings expected;
  } rows[] = {
      {kOk, kFive, "", {}, {"false", "48|ConvertXml2Bin|No ConversionTable file specified."}},
      {kOk, kFive, "none.ini", {}, {"false", "16|Error:|ConversionTable file not found: $/none.ini"}},
      {"StartUpDir=  \nEditNodeFnm=e.fnm", kFive, "t.ini", {}, {"false", notFound + "e.fnm: StartUpDir in [Ostrand File System] of $/t.ini is blank"}},
      // Windows drops the blank at the end of a file name: there the file is found.
      {"EditNodeFnm=model/e.fnm ", kFive, "t.ini", {},
       {"false", testing::kOnWindows ? "16|Error:|DataEditObjectID identification not defined." : notFound + "model/e.fnm : looked for in $"}},
      {"EditNodeFnm=model/e.fnm\nDataEditObjectID=  ", "<", "t.ini", {},
       {"false", "16|Error:|DataEditObjectID identification not defined."}},
      {"StartUpDir=$/model\nEditNodeFnm=e.fnm\nDataEditObjectID=No.Such", kFive, "t.ini", {},
       Strings{"true"} + twoUnmapped +
           Strings{"16|Error:|Error 429 (ActiveX component can't create object: No.Such) in procedure ConvertXml2Bin "
                   "of Module Mod_Main",
                   "16|Error:|3 of 5 succesfully written."}},
      {kOk, kFive, "t.ini", {}, Strings{"true"} + twoUnmapped + Strings{"16|Error:|3 of 5 succesfully written."} + request},
      {kOk, kThree, "t.ini", {}, Strings{"true"} + request},
      {kOk, Series("L", "X", {"1"}), "t.ini", {},
       {"false", unmapped + "X not defined in [Parameter bin]", "16|Error:|No valid objects to write."}},
      {kOk, kFive, "t.ini", {{2, "M"}},
       Strings{"true"} + twoUnmapped + Strings{"48|Error message|M", "16|Error:|2 of 5 succesfully written."} + request},
      {kOk, kThree, "t.ini", {{1, "A"}, {2, "B"}, {3, "C"}},
       Strings{"false", "48|Error message|A", "48|Error message|B", "48|Error message|C",
               "16|Error:|Could not write the data to then bin file."} + request},
      {kOk, kThree, "t.ini", {{0, ""}},
       Strings{"true", "16|Error:|Error 57 (Device I/O error: server gone) in procedure ConvertXml2Bin of Module "
                       "Mod_Main"} + request},
  };
  for (const auto& row : rows) {
    failures_ = row.failures;
    EXPECT_EQ(Run(row.fileSystem, row.series, row.table), row.expected) << row.fileSystem;
  }
  // A broken document is reported, and the series that ended before the fault still go.
  failures_.clear();
  const Strings broken = Run(kOk, kThree.substr(0, kThree.find("<series><header><locationId> L3")) + "<series>");
  ASSERT_EQ(broken.size(), 7u);
  EXPECT_EQ(broken[0] + broken[1].substr(0, 4) + broken[2].substr(0, 16), "true64||16|Error:|Error ");
  EXPECT_TRUE(broken[2].ends_with(" in procedure ConvertXml2Bin of Module Mod_Main"));
  EXPECT_EQ(Strings(broken.begin() + 3, broken.end()), Strings(request.begin(), request.end() - 1));
}

}  // namespace
}  // namespace tidemill
