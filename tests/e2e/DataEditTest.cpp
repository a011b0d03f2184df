// Runs the built executable on the samples: QX-XML values into the model's edit-node file.
#include <gtest/gtest.h>

#include "support/DriverSupport.h"
#include "support/RunTidemill.h"

namespace tidemill {
namespace {

using testing::DiagLine;
using testing::Slurp;

TEST(DataEdit, SamplesReachTheEditNodeFile) {
  testing::TempDir dir;
  const std::string samples = TIDEMILL_SAMPLES;
  const std::string original = Slurp(samples + "/editnode.fnm");
  dir.Write("editnode.fnm", original);
  const std::vector<std::string> args = {samples + "/flow.xml", "out.bin", "/conversiontable", samples + "/table.ini"};
  auto batch = args;
  batch.insert(batch.end(), {"/batch", "/diagfile", "d.xml"});

  testing::Outcome o = testing::RunTidemill(dir.Path(), batch);
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.err, "");
  std::vector<DiagLine> lines = testing::ReadDiagLines(Slurp(dir.File("d.xml")), "tidemill");
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines.back(), (DiagLine{3, "File has been converted succesfully."}));
  std::string expected = original;
  for (const auto& [from, to] : {std::pair{"DISCHARGE NROFVALUES 4 VALUES 0 0 0 0", "DISCHARGE NROFVALUES 4 VALUES 12.5 13.25 14 13.75"},
                                 {"WATERLEVEL NROFVALUES 4 VALUES 0 0 0 0", "WATERLEVEL NROFVALUES 4 VALUES 1.02 .98 .95 -999.99"}})
    expected = testing::ReplaceAll(expected, from, to);
  ASSERT_NE(expected, original);
  EXPECT_EQ(Slurp(dir.File("editnode.fnm")), expected);

  // A model that no longer lists one of the pairs: that object alone fails.
  dir.Write("editnode.fnm", "ID NODE_101 DISCHARGE NROFVALUES 0 VALUES\n");
  o = testing::RunTidemill(dir.Path(), args);
  EXPECT_EQ(o.err, "Error message: Object 2, ID NODE_102 WATERLEVEL: not listed in the edit-node file " + dir.Path() +
                       "/editnode.fnm\nError: 1 of 2 succesfully written.\nTidemill: File has been converted succesfully.\n");
  EXPECT_EQ(Slurp(dir.File("editnode.fnm")), "ID NODE_101 DISCHARGE NROFVALUES 4 VALUES 12.5 13.25 14 13.75\n");
  EXPECT_EQ(dir.Listing(), "d.xml editnode.fnm");
}

}  // namespace
}  // namespace tidemill
