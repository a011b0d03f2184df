#include "config/IniSyntax.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "IniTestFiles.h"
#include "config/ProfileString.h"
#include "config/ReadIniSection.h"
#include "diagnostics/MessageBox.h"

namespace tidemill {
namespace {

using testing::FakeOpenFileSystem;
using testing::MemoryInputFile;
using testing::TempDir;

std::vector<std::string> SplitLines(const std::string& bytes, std::size_t blockSize) {
  MemoryInputFile file(bytes);
  IniLineReader reader(file, blockSize);
  std::vector<std::string> lines;
  std::string_view line;
  while (reader.Next(line)) lines.emplace_back(line);
  return lines;
}

TEST(IniLineReaderTest, SplitsAtEveryLineEndWhateverTheBlockSize) {
  const struct {
    std::string bytes;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\n", {"a"}},
      {"a\r\nb", {"a", "b"}},
      {"a\rb\nc\r\nd", {"a", "b", "c", "d"}},
      {"\n", {""}},
      {"\r\n\r\n", {"", ""}},
      {"a\n\rb", {"a", "", "b"}},
      {"a\r\r\nb\r", {"a", "", "b"}},
      {"long line here\r\nx", {"long line here", "x"}},
  };
  for (const auto& c : cases) {
    for (const std::size_t block : {1, 2, 3, 5, 65536}) {
      EXPECT_EQ(SplitLines(c.bytes, block), c.lines) << "block " << block << " bytes " << ::testing::PrintToString(c.bytes);
    }
  }
}

TEST(IniSyntaxTest, ClassifiesLines) {
  EXPECT_EQ(IniHeaderName("[Locations]"), "Locations");
  EXPECT_EQ(IniHeaderName("  [ a b ]  "), " a b ");
  EXPECT_EQ(IniHeaderName("[]"), "");
  EXPECT_EQ(IniHeaderName("["), std::nullopt);
  EXPECT_EQ(IniHeaderName("[Other"), std::nullopt);
  EXPECT_EQ(IniHeaderName("[S] x"), std::nullopt);
  EXPECT_EQ(IniHeaderName("\t[S]"), std::nullopt);

  EXPECT_TRUE(EndsIniSection("  [Other"));
  EXPECT_FALSE(EndsIniSection("a[b]"));
  EXPECT_FALSE(EndsIniSection("   "));

  const auto line = SplitIniKeyLine("  Name = a = b ");
  ASSERT_TRUE(line);
  EXPECT_EQ(line->key, "Name");
  EXPECT_EQ(line->value, " a = b ");
  EXPECT_EQ(SplitIniKeyLine(";x=1")->key, ";x");
  EXPECT_EQ(SplitIniKeyLine("k=")->value, "");
  EXPECT_FALSE(SplitIniKeyLine("no equals sign"));
  EXPECT_FALSE(SplitIniKeyLine("  = value"));
}

// One key asked of one table; nullopt expects the default.
struct Ask {
  std::string key;
  std::optional<std::string> sectionValue;
  std::optional<std::string> profileValue;
};

struct SyntaxCase {
  const char* what;
  std::string bytes;
  bool loaded;
  std::vector<Ask> asks;
};

const std::string kDefault = "DEF";

// Both readers go through the same syntax; the profile read keeps the value untrimmed.
TEST(IniSyntaxTest, BothReadersReadTheSameSyntax) {
  const SyntaxCase cases[] = {
      {"lower-case header", "[locations]\r\nA=1\r\n", true, {{"A", "1", "1"}}},
      {"upper-case header", "[LOCATIONS]\r\nA=1\r\n", true, {{"a", "1", "1"}}},
      {"blanks inside brackets", "[ Locations ]\r\nA=1\r\n", false, {{"A", {}, {}}}},
      {"blanks around header", "  [Locations]  \r\nA=1\r\n", true, {{"A", "1", "1"}}},
      {"value with =", "[Locations]\r\n Name = a = b \r\n", true, {{"Name", "a = b", " a = b "}}},
      {"first of a duplicate key", "[Locations]\r\nName=1\r\nNAME=2\r\n", true, {{"name", "1", "1"}}},
      {"no final line break", "[Locations]\r\nA=1\r\nB=2", true, {{"B", "2", "2"}}},
      {"unclosed header ends the section", "[Locations]\r\nA=1\r\n[Other\r\nB=2\r\n", true,
       {{"A", "1", "1"}, {"B", {}, {}}}},
      {"mixed line ends", "[Locations]\rA=1\nB=2\r\nC=3\n\rD=4\r", true,
       {{"A", "1", "1"}, {"B", "2", "2"}, {"C", "3", "3"}, {"D", "4", "4"}}},
      {"header on the last line", "[Other]\r\nA=1\r\n[Locations]\r\n", false, {{"A", {}, {}}}},
      {"header on the last line, no break", "[Locations]", false, {{"A", {}, {}}}},
      {"nothing but a blank line", "[Locations]\r\n\r\n", true, {{"A", {}, {}}}},
      {"no comment syntax", "[Locations]\r\n;x=1\r\n", true, {{";x", "1", "1"}}},
      {"keys of other sections", "[Other]\r\nA=1\r\n[Locations]\r\nB=2\r\n[Third]\r\nC=3", true,
       {{"A", {}, {}}, {"B", "2", "2"}, {"C", {}, {}}}},
      {"first section of a name", "[Locations]\r\nA=1\r\n[X]\r\n[Locations]\r\nA=2\r\nB=3\r\n", true,
       {{"A", "1", "1"}, {"B", {}, {}}}},
      {"empty and blank values", "[Locations]\r\nE=\r\nB=   \r\n", true, {{"E", "", {}}, {"B", "", "   "}}},
      {"empty key skipped", "[Locations]\r\n=5\r\n = 6\r\nA=1", true, {{"", {}, {}}, {"A", "1", "1"}}},
      {"other lines skipped", "[Locations]\r\njunk\r\n\r\n   \r\nA=1\r\n", true, {{"A", "1", "1"}}},
      {"Windows-1252 text", "[Locations]\r\nA=caf\xE9\r\n", true, {{"A", "caf\xC3\xA9", "caf\xC3\xA9"}}},
      {"UTF-8 text kept", "[Locations]\r\n\xC3\x85=\xE2\x82\xAC\r\n", true, {{"\xC3\x85", "\xE2\x82\xAC", "\xE2\x82\xAC"}}},
      {"byte order mark", "\xEF\xBB\xBF[Locations]\r\nA=1\r\n", true, {{"A", "1", "1"}}},
      {"bracketed key line ends", "[Locations]\r\n [x]=1\r\nA=2\r\n", true, {{"[x]", {}, {}}, {"A", {}, {}}}},
  };
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string file = dir.Write("table.ini", c.bytes);
    clsReadIniSection table;
    table.File(file);
    table.Section("Locations");
    table.ReadSection();
    EXPECT_EQ(table.Loaded(), c.loaded);
    for (const auto& ask : c.asks) {
      SCOPED_TRACE("key " + ask.key);
      EXPECT_EQ(table.GetKey(ask.key, kDefault), ask.sectionValue.value_or(kDefault));
      EXPECT_EQ(ReadIniString("Locations", ask.key, kDefault, file), ask.profileValue.value_or(kDefault));
    }
  }
}

TEST(IniSyntaxTest, BadInputGivesDefaultsQuietly) {
  std::mt19937 random(7);
  std::string garbage(1 << 20, '\0');
  for (char& c : garbage) c = static_cast<char>(random());
  const std::string hugeLine(50u << 20, 'x');
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"binary garbage", garbage},
      {"one enormous line", hugeLine},
      {"NUL bytes", std::string(4096, '\0')},
      {"invalid UTF-8", "\xFF\xFE[\xC0\xAF]\r\n\xED\xA0\x80=\x80\r\n"},
  };
  std::vector<std::string> messages;
  ScopedMessageBoxHandler capture([&](std::string_view text, int32_t, std::string_view) { messages.emplace_back(text); });
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string file = dir.Write("bad.ini", c.bytes);
    clsReadIniSection table;
    table.File(file);
    table.Section("Locations");
    table.ReadSection(true);
    EXPECT_FALSE(table.Loaded());
    EXPECT_EQ(table.GetKey("A"), std::nullopt);
    EXPECT_EQ(ReadIniString("Locations", "A", kDefault, file), kDefault);
    EXPECT_EQ(ReadIniInteger("Locations", "A", -3, file), -3);
  }
  for (const std::string& missing : {dir.Path(), dir.Path() + "/missing.ini"}) {
    clsReadIniSection table;
    table.File(missing);
    table.Section("Locations");
    table.ReadSection();
    EXPECT_FALSE(table.Loaded());
    EXPECT_EQ(ReadIniString("Locations", "A", kDefault, missing), kDefault);
    EXPECT_EQ(ReadIniInteger("Locations", "A", 4, missing), 4);
  }
  EXPECT_TRUE(messages.empty());
}

TEST(IniSyntaxTest, OddBytesInsideTheSectionAreKept) {
  TempDir dir;
  const std::string hugeValue(50u << 20, '7');
  const std::string file = dir.Write("odd.ini", std::string("[S]\r\nNul=a\0b\r\nBig=", 18) + hugeValue + "\r\nBad=\xC3(\r\n");
  clsReadIniSection table;
  table.File(file);
  table.Section("S");
  table.ReadSection();
  ASSERT_TRUE(table.Loaded());
  EXPECT_EQ(table.GetKey("Nul"), std::string("a\0b", 3));
  EXPECT_EQ(table.GetKey("Big")->size(), hugeValue.size());
  EXPECT_EQ(table.GetKey("Bad"), "\xC3\x83(");
  EXPECT_EQ(ReadIniString("S", "Big", "", file), hugeValue.substr(0, 254));
  EXPECT_EQ(ReadIniInteger("S", "Big", 9, file), 9);  // beyond 32 bits
}

// The wanted section comes first; the megabytes after it are never read.
TEST(IniSyntaxTest, ReadingStopsAtTheEndOfTheSection) {
  const std::string bytes = "[S]\r\nA=1\r\nB=2\r\n[T]\r\n" + std::string(4u << 20, 'x');
  std::size_t bytesRead = 0;
  FakeOpenFileSystem fs([&](const std::string&) { return std::make_unique<MemoryInputFile>(bytes, &bytesRead); });
  ScopedFileSystem scoped(fs);

  clsReadIniSection table;
  table.File("table.ini");
  table.Section("S");
  table.ReadSection();
  EXPECT_EQ(table.GetKey("B"), "2");
  EXPECT_LT(bytesRead, 1u << 20);

  bytesRead = 0;
  EXPECT_EQ(ReadIniString("S", "A", "", "table.ini"), "1");
  EXPECT_LT(bytesRead, 1u << 20);
}

}  // namespace
}  // namespace tidemill
