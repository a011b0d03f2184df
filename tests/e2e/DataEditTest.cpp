// Runs the built executable on the samples: QX-XML values into the model's edit-node file.
#include <gtest/gtest.h>

#include "support/DriverSupport.h"
#include "support/RunTidemill.h"

namespace tidemill {
namespace {

TEST(DataEdit, SamplesReachTheEditNodeFile) {
  testing::TempDir dir;
  const std::string samples = TIDEMILL_SAMPLES;
  const std::string original = testing::Slurp(samples + "/editnode.fnm");
  dir.Write("editnode.fnm", original);
  const testing::Outcome o = testing::RunTidemill(dir.Path(), {samples + "/flow.xml", "out.bin", "/conversiontable",
                                                               samples + "/table.ini", "/batch", "/diagfile", "d.xml"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.err, "");
  const auto lines = testing::ReadDiagLines(testing::Slurp(dir.File("d.xml")), "tidemill");
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines.back(), testing::kConvertedLine);
  const std::string expected = testing::ReplaceAll(
      testing::ReplaceAll(original, "DISCHARGE NROFVALUES 4 VALUES 0 0 0 0", "DISCHARGE NROFVALUES 4 VALUES 12.5 13.25 14 13.75"),
      "WATERLEVEL NROFVALUES 4 VALUES 0 0 0 0", "WATERLEVEL NROFVALUES 4 VALUES 1.02 .98 .95 -999.99");
  EXPECT_NE(expected, original);
  EXPECT_EQ(testing::Slurp(dir.File("editnode.fnm")), expected);
  EXPECT_EQ(dir.Listing(), "d.xml editnode.fnm");
}

}  // namespace
}  // namespace tidemill
