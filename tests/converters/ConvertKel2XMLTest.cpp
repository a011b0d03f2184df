// The outcomes of the Kel component that only a fake gives, and what the conversion reports.
#include <gtest/gtest.h>

#include "converters/Converters.h"
#include "converters/KelFake.h"
#include "support/FaultyFileSystem.h"

namespace tidemill {
namespace {

using testing::KelFake;

TEST(ConvertKel2XMLTest, ComponentOutcomes) {
  testing::TempDir dir;
  const std::string table = dir.Write("t.ini", "[Locations]\nNumberOfLocations=1\n1 KelLocation=A\n"
                                               "[Parameters]\nNumberOfParameters=1\n1 KelParameter=Q\n");
  const std::string couldNot = "16|Error:|Could not read the data from the kelfile.";
  SeriesBlock noTimes(1, 1, 0);
  const struct Row {
    bool exists;
    int32_t status;
    SeriesBlock read;
    bool raise;
    std::string table;
    std::vector<std::string> calls, boxes;
  } rows[] = {
      {false, 0, {}, false, "", {}, {}},
      {false, 0, {}, false, table, {}, {}},
      {true, 1, {}, false, "", {"ReadAll"}, {couldNot}},
      {true, -1, {}, false, table, {"ReadSelected"}, {couldNot}},
      {true, 0, noTimes, false, table, {"ReadSelected"}, {couldNot}},
      {true, 0, {}, true, "", {"ReadAll"},
       {"16|Error:|Error 57 (Device I/O error: in.kel) in procedure ConvertKel2XML of Module Mod_Main"}},
  };
  for (const Row& row : rows) {
    std::vector<std::string> calls;
    KelFake fake;
    fake.exists = row.exists;
    fake.status = row.status;
    fake.read = row.read;
    fake.calls = &calls;
    if (row.raise) fake.raise = [] { throw DetailedError(kErrDeviceIO, "in.kel"); };
    testing::ScopedKelFake scope(fake);
    testing::BoxRecorder boxes;
    EXPECT_FALSE(ConvertKel2XML("in.kel", dir.File("out.xml"), row.table));
    EXPECT_EQ(calls, row.calls);
    EXPECT_EQ(boxes.boxes, row.boxes);
  }
  EXPECT_EQ(dir.Listing(), "t.ini");
}

}  // namespace
}  // namespace tidemill
