// Both Kel conversions against the outcomes of the component that only a fake gives; the Kel
// write failing at each step is the failure-injection table's.
#include <gtest/gtest.h>

#include "converters/Converters.h"
#include "external/KelFileAccess.h"
#include "support/FaultyFileSystem.h"

namespace tidemill {
namespace {

const std::string kOneSeries = "<TimeSeries><series><header><locationId>A</locationId><parameterId>Q</parameterId>"
                               "</header><event date=\"2024-03-01\" time=\"00:00:00\" value=\"1\"/></series></TimeSeries>";

// Gives what a test sets: a model file that does not exist, a status other than 0, an error.
struct KelFake : KelFileAccess {
  bool exists = true;
  int32_t status = 0;
  int32_t times = 1;  // the time count a read gives
  bool raise = false;
  std::shared_ptr<std::string> calls = std::make_shared<std::string>();

  void OpenFiles(const std::string&, const std::string&, bool, bool) override {}
  KelFileItem FileItem(int16_t) override { return {exists}; }
  int32_t ReadAll(std::vector<float>&, int32_t&, int32_t&, int32_t& T, const std::string&, std::vector<std::string>&,
                  std::vector<std::string>&, std::vector<double>&) override {
    return Give("ReadAll", T);
  }
  int32_t ReadSelected(std::vector<float>&, int32_t& L, int32_t& P, int32_t& T, const std::string&,
                       const std::vector<std::string>&, const std::vector<std::string>&, std::vector<std::string>&,
                       std::vector<std::string>&, std::vector<double>&) override {
    L = P = 1;
    return Give("ReadSelected", T);
  }
  int32_t WriteAll(const std::vector<float>&, int32_t, int32_t, int32_t, const std::string&,
                   const std::vector<std::string>&, const std::vector<std::string>&, const std::vector<double>&,
                   const std::array<std::string, 3>&, double, double, const std::vector<std::string>&,
                   const std::vector<std::string>&) override {
    int32_t unused = 0;
    return Give("WriteAll", unused);
  }
  int32_t Give(const char* call, int32_t& timeCount) {
    *calls += call;
    if (raise) throw DetailedError(kErrDeviceIO, "in.kel");
    timeCount = times;
    return status;
  }
};

TEST(KelConvertersTest, ComponentOutcomes) {
  testing::TempDir dir;
  const std::string table = dir.Write("t.ini", "[Locations]\nNumberOfLocations=1\n1 KelLocation=A\n"
                                               "[Parameters]\nNumberOfParameters=1\n1 KelParameter=Q\n");
  const std::string in = dir.Write("in.xml", kOneSeries);
  const std::string couldNot = "16|Error:|Could not read the data from the kelfile.";
  const auto error = [](const char* procedure) {
    return "16|Error:|Error 57 (Device I/O error: in.kel) in procedure " + std::string(procedure) +
           " of Module Mod_Main";
  };
  // To Kel?, the model file exists?, the status, the time count, raises?, the table; the calls and boxes.
  const std::tuple<bool, bool, int32_t, int32_t, bool, std::string, std::string, std::vector<std::string>> rows[] = {
      {false, false, 0, 1, false, "", "", {}},
      {false, false, 0, 1, false, table, "", {}},
      {false, true, 1, 1, false, "", "ReadAll", {couldNot}},
      {false, true, -1, 1, false, table, "ReadSelected", {couldNot}},
      {false, true, 0, 0, false, table, "ReadSelected", {couldNot}},
      {false, true, 0, 1, true, "", "ReadAll", {error("ConvertKel2XML")}},
      {true, true, 1, 1, false, "", "WriteAll", {"16|Error:|Could not write the data to the kelfile."}},
      {true, true, 0, 1, true, "", "WriteAll", {error("ConvertXml2Kel")}},
  };
  for (const auto& [toKel, exists, status, times, raise, kelTable, calls, expected] : rows) {
    KelFake fake;
    std::tie(fake.exists, fake.status, fake.times, fake.raise) = std::tie(exists, status, times, raise);
    ScopedKelFileAccessFactory scope([&fake] { return std::make_unique<KelFake>(fake); });
    testing::BoxRecorder boxes;
    EXPECT_FALSE(toKel ? ConvertXml2Kel(in, dir.File("out.kel")) : ConvertKel2XML("in.kel", dir.File("out.xml"), kelTable));
    EXPECT_EQ(*fake.calls, calls);
    EXPECT_EQ(boxes.boxes, expected);
  }
  EXPECT_EQ(dir.Listing(), "in.xml t.ini");
}

}  // namespace
}  // namespace tidemill
