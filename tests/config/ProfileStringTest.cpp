#include "config/ProfileString.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "config/ReadIniSection.h"
#include "diagnostics/RunState.h"
#include "support/FaultyFileSystem.h"

namespace tidemill {
namespace {

using testing::TempDir;

TEST(ReadIniStringTest, CutsLongValuesAtACharacterBoundary) {
  TempDir dir;
  const std::string ascii(300, 'a');
  std::string umlauts;
  for (int i = 0; i < 300; ++i) umlauts += "\xC3\xA4";
  const std::string mixed = std::string(253, 'b') + "\xE2\x82\xAC\xE2\x82\xAC";
  const std::string file = dir.Write("t.ini", "[S]\r\nA=" + ascii + "\r\nU=" + umlauts + "\r\nM=" + mixed + "\r\n");

  EXPECT_EQ(ReadIniString("S", "A", "", file), ascii.substr(0, 254));
  EXPECT_EQ(ReadIniString("S", "U", "", file), umlauts.substr(0, 2 * 254));
  EXPECT_EQ(ReadIniString("S", "M", "", file), std::string(253, 'b') + "\xE2\x82\xAC");
  EXPECT_EQ(ReadIniString("S", "Absent", "", file), "");
}

TEST(ReadIniIntegerTest, ReadsALeadingDecimalInteger) {
  const struct {
    const char* value;
    int32_t expected;
  } cases[] = {
      {" 42 ", 42},   {"12abc", 12},      {"-5", -5},        {"+7", 7},          {"12.7", 12},
      {"1e3", 1},     {"2147483647", INT_MAX}, {"-2147483648", INT_MIN}, {"2147483648", 99},
      {"abc", 99},    {"", 99},           {"- 5", 99},       {"+-5", 99},        {"\t5", 99},
  };
  TempDir dir;
  for (const auto& c : cases) {
    ResetRunState();  // the table is read once per run
    const std::string file = dir.Write("t.ini", std::string("[S]\r\nN=") + c.value + "\r\n");
    EXPECT_EQ(ReadIniInteger("S", "n", 99, file), c.expected) << "value \"" << c.value << "\"";
  }
}

// Every reader of a run answers from one read of the table: a later change of the file is seen
// by the next run only.
TEST(ReadIniStringTest, ATableIsReadOncePerRun) {
  TempDir dir;
  const std::string file = dir.Write("t.ini", "[S]\r\nA=1\r\nN=5\r\n");
  testing::FaultyFileSystem fs;
  ScopedFileSystem scope(fs);
  ResetRunState();
  clsReadIniSection section;
  section.File(file);
  section.Section("s");
  section.ReadSection();
  dir.Write("t.ini", "[S]\r\nA=2\r\nN=6\r\n");
  EXPECT_EQ(section.GetKey("N", "") + ReadIniString("S", "A", "", file) +
                std::to_string(ReadIniInteger("S", "N", 0, file)),
            "515");
  EXPECT_EQ(fs.openReads, 1);
  ResetRunState();
  EXPECT_EQ(ReadIniString("S", "A", "", file), "2");
}

}  // namespace
}  // namespace tidemill
