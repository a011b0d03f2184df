#include "config/IniSyntax.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "common/FileSystem.h"
#include "config/ProfileString.h"
#include "config/ReadIniSection.h"
#include "diagnostics/RunState.h"
#include "diagnostics/RunState.h"
#include "support/FaultyFileSystem.h"

namespace tidemill {
namespace {

using testing::TempDir;

// One key asked of one table, with the section's and the profile read's value; nothing: the default.
using Ask = std::tuple<std::string, std::optional<std::string>, std::optional<std::string>>;
const std::string kDefault = "DEF";

// Both readers go through the same syntax; the profile read keeps the value untrimmed.
TEST(IniSyntaxTest, BothReadersReadTheSameSyntax) {
  const struct {
    const char* what;
    std::string bytes;
    bool loaded;
    std::vector<Ask> asks;
  } cases[] = {
      {"upper-case header", "[LOCATIONS]\r\nA=1\r\n", true, {{"a", "1", "1"}}},
      {"blanks inside brackets", "[ Locations ]\r\nA=1\r\n", false, {{"A", {}, {}}}},
      {"blanks around header", "  [Locations]  \r\nA=1\r\n", true, {{"A", "1", "1"}}},
      {"key lines", "[Locations]\r\n Name = a = b \r\nDup=1\r\nDUP=2\r\n;x=1\r\nE=\r\nB=   \r\n=5\r\njunk\r\n", true,
       {{"Name", "a = b", " a = b "}, {"dup", "1", "1"}, {";x", "1", "1"}, {"E", "", {}}, {"B", "", "   "}, {"", {}, {}}}},
      {"no final line break", "[Locations]\r\nA=1\r\nB=2", true, {{"B", "2", "2"}}},
      {"unclosed header ends the section", "[Locations]\r\nA=1\r\n[Other\r\nB=2\r\n", true,
       {{"A", "1", "1"}, {"B", {}, {}}}},
      {"header on the last line", "[Other]\r\nA=1\r\n[Locations]\r\n", false, {{"A", {}, {}}}},
      {"keys of other sections", "[Other]\r\nA=1\r\n[Locations]\r\nB=2\r\n[Third]\r\nC=3", true,
       {{"A", {}, {}}, {"B", "2", "2"}, {"C", {}, {}}}},
      {"first section of a name", "[Locations]\r\nA=1\r\n[X]\r\n[Locations]\r\nA=2\r\nB=3\r\n", true,
       {{"A", "1", "1"}, {"B", {}, {}}}},
      {"Windows-1252 text", "[Locations]\r\nA=caf\xE9\r\n", true, {{"A", "caf\xC3\xA9", "caf\xC3\xA9"}}},
      {"NUL byte", std::string("[Locations]\r\nA=a\0b", 18), true, {{"A", std::string("a\0b", 3), std::string("a\0b", 3)}}},
      {"UTF-8 text kept, not case folded", "[Locations]\r\n\xC3\x85=\xE2\x82\xAC\r\n", true,
       {{"\xC3\x85", "\xE2\x82\xAC", "\xE2\x82\xAC"}, {"\xC3\xA5", {}, {}}}},
      {"header with more after it", "[Locations] x\r\nA=1\r\n", false, {{"A", {}, {}}}},
      {"byte order mark", "\xEF\xBB\xBF[Locations]\r\nA=1\r\n", true, {{"A", "1", "1"}}},
      {"bracketed key line ends", "[Locations]\r\n [x]=1\r\nA=2\r\n", true, {{"[x]", {}, {}}, {"A", {}, {}}}},
  };
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ResetRunState();  // the table is read once per run
    const std::string file = dir.Write("table.ini", c.bytes);
    clsReadIniSection table;
    table.File(file);
    table.Section("Locations");
    table.ReadSection();
    EXPECT_EQ(table.Loaded(), c.loaded);
    for (const auto& [key, section, profile] : c.asks) {
      EXPECT_EQ(table.GetKey(key, kDefault), section.value_or(kDefault)) << key;
      EXPECT_EQ(ReadIniString("Locations", key, kDefault, file), profile.value_or(kDefault)) << key;
    }
  }
}

TEST(IniSyntaxTest, BadInputGivesDefaultsQuietly) {
  TempDir dir;
  std::mt19937 random(7);
  std::string garbage(1 << 20, '\0');
  for (char& c : garbage) c = static_cast<char>(random());
  const std::string paths[] = {dir.Write("garbage.ini", garbage),
                                dir.Write("invalid.ini", "\xFF\xFE[\xC0\xAF]\r\n\xED\xA0\x80=\x80\r\n"), dir.Path(),
                                dir.File("missing.ini")};
  testing::BoxRecorder boxes;
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    clsReadIniSection table;
    table.File(path);
    table.Section("Locations");
    table.ReadSection(true);
    EXPECT_FALSE(table.Loaded());
    EXPECT_EQ(table.GetKey("A"), std::nullopt);
    EXPECT_EQ(ReadIniString("Locations", "A", kDefault, path), kDefault);
    EXPECT_EQ(ReadIniInteger("Locations", "A", -3, path), -3);
  }
  EXPECT_TRUE(boxes.boxes.empty());
}

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
    ResetRunState();
    const std::string file = dir.Write("t.ini", std::string("[S]\r\nN=") + c.value + "\r\n");
    EXPECT_EQ(ReadIniInteger("S", "n", 99, file), c.expected) << "value \"" << c.value << "\"";
  }
}

// Every reader of a run answers from one read of the table: a later change of the file is seen
// by the next run only.
TEST(ReadIniStringTest, ATableIsReadOncePerRun) {
  TempDir dir;
  const std::string file = dir.Write("t.ini", "[S]\r\nA=1\r\nN=5\r\n");
  ResetRunState();
  clsReadIniSection section;
  section.File(file);
  section.Section("s");
  section.ReadSection();
  dir.Write("t.ini", "[S]\r\nA=2\r\nN=6\r\n");
  EXPECT_EQ(section.GetKey("N", "") + ReadIniString("S", "A", "", file) +
                std::to_string(ReadIniInteger("S", "N", 0, file)),
            "515");
  ResetRunState();
  EXPECT_EQ(ReadIniString("S", "A", "", file), "2");
}

}  // namespace
}  // namespace tidemill
