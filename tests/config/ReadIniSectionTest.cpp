#include "config/ReadIniSection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diagnostics/RunState.h"
#include "support/FaultyFileSystem.h"

namespace tidemill {
namespace {

class ReadIniSectionTest : public ::testing::Test {
 protected:
  ReadIniSectionTest() {
    table_.File(file_);
    table_.Section("Locations");
  }

  testing::TempDir dir_;
  const std::string file_ = dir_.Write(
      "table.ini",
      "[Parameters]\r\nQ=Discharge\r\n[Locations]\r\nRhine = Lobith \r\nmaas=Borgharen = 2\r\nRHINE=later\r\nWaal=\r\n[Tail]\r\nx=1\r\n");
  clsReadIniSection table_;
  testing::BoxRecorder boxes_;
};

// The syntax is IniSyntaxTest's; these are the reader's states.
TEST_F(ReadIniSectionTest, KeysOnlyWhenAskedAndEachReadReplacesTheLast) {
  EXPECT_EQ(table_.GetKey("Rhine"), std::nullopt);  // not read yet: the omitted marker or the default
  EXPECT_EQ(table_.GetKey("Rhine", "0"), "0");
  table_.ReadSection(true);
  ASSERT_TRUE(table_.Loaded());
  EXPECT_EQ(table_.KeyAsArray(), (std::vector<std::string>{"Rhine", "maas", "Waal"}));
  EXPECT_EQ(table_.SectionTotalContents(), "Rhine=Lobith\r\nmaas=Borgharen = 2\r\nWaal=");
  EXPECT_EQ(table_.GetKey("Waal", "0"), "");
  EXPECT_EQ(table_.GetKey("Ijssel"), "");
  EXPECT_EQ(table_.GetKey("Ijssel", "0"), "0");
  table_.Section("Parameters");
  EXPECT_EQ(table_.GetKey("Rhine"), "Lobith");
  table_.ReadSection();
  EXPECT_TRUE(table_.KeyAsArray().empty());
  EXPECT_EQ(table_.SectionTotalContents(), "");
  EXPECT_EQ(table_.GetKey("Q"), "Discharge");
  EXPECT_EQ(table_.GetKey("Rhine"), "");
  table_.Section("Missing");
  table_.ReadSection();
  EXPECT_FALSE(table_.Loaded());
  EXPECT_EQ(table_.GetKey("Q", "d"), "d");
  table_.Section("Locations");
  table_.ReadSection(true);
  table_.Unload(true);
  EXPECT_EQ(table_.Section(), "");
  EXPECT_EQ(table_.File(), file_);
  EXPECT_EQ(table_.GetKey("Rhine"), std::nullopt);
  table_.Unload();
  EXPECT_EQ(table_.File(), "");
  EXPECT_TRUE(boxes_.boxes.empty());
}

TEST_F(ReadIniSectionTest, ALockedOrFailingFileLeavesLoadedFalseSilently) {
  for (const bool locked : {true, false}) {
    table_.ReadSection(true);
    ResetRunState();  // the next run reads the file again
    testing::FaultyFileSystem fs;
    fs.failOpenRead = locked;
    fs.failReadAfter = locked ? -1 : 0;
    ScopedFileSystem scoped(fs);
    table_.ReadSection(true);
    EXPECT_FALSE(table_.Loaded());
    EXPECT_TRUE(table_.Keys.empty());
    EXPECT_EQ(table_.GetKey("Rhine", "d"), "d");
  }
  EXPECT_TRUE(boxes_.boxes.empty());
}

}  // namespace
}  // namespace tidemill
