#include "common/LineReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/FileSystem.h"
#include "support/FaultyFileSystem.h"

namespace tidemill {
namespace {

// The lines of bytes, each followed by "|" when a line end followed it.
std::vector<std::string> SplitLines(const std::string& bytes, LineEnds ends, std::size_t blockSize) {
  testing::TempDir dir;
  const auto file = RealFileSystem().OpenRead(dir.Write("t.txt", bytes));
  LineReader reader(*file, ends, blockSize);
  std::vector<std::string> lines;
  std::string_view line;
  while (reader.Next(line)) {
    lines.emplace_back(std::string(line) + (reader.Ended() ? "|" : ""));
    EXPECT_EQ(reader.LineNumber(), lines.size());
  }
  return lines;
}

TEST(LineReaderTest, EachRuleSplitsAtItsOwnLineEndsWhateverTheBlockSize) {
  using L = std::vector<std::string>;
  const std::tuple<std::string, L, L, L> cases[] = {
      // bytes, then the lines at CR LF only, at CR LF or LF, at any line end
      {"", {}, {}, {}},
      {"a", {"a"}, {"a"}, {"a"}},
      {"a\r\n", {"a|"}, {"a|"}, {"a|"}},
      {"a\r\nb", {"a|", "b"}, {"a|", "b"}, {"a|", "b"}},
      {"a\rb\nc\r\nd", {"a\rb\nc|", "d"}, {"a\rb|", "c|", "d"}, {"a|", "b|", "c|", "d"}},
      {"\n", {"\n"}, {"|"}, {"|"}},
      {"\r\n\r\n", {"|", "|"}, {"|", "|"}, {"|", "|"}},
      {"a\n\rb", {"a\n\rb"}, {"a|", "\rb"}, {"a|", "|", "b"}},
      {"a\r\r\nb\r", {"a\r|", "b\r"}, {"a\r|", "b\r"}, {"a|", "|", "b|"}},
      {"x\n\r\n", {"x\n|"}, {"x|", "|"}, {"x|", "|"}},
      {"long line here\r\nx", {"long line here|", "x"}, {"long line here|", "x"}, {"long line here|", "x"}},
  };
  for (const auto& [bytes, crLf, crLfOrLf, any] : cases) {
    for (const std::size_t block : {1, 2, 3, 5, 65536}) {
      const std::string where = "block " + std::to_string(block) + " bytes " + ::testing::PrintToString(bytes);
      EXPECT_EQ(SplitLines(bytes, LineEnds::CrLf, block), crLf) << where;
      EXPECT_EQ(SplitLines(bytes, LineEnds::CrLfOrLf, block), crLfOrLf) << where;
      EXPECT_EQ(SplitLines(bytes, LineEnds::Any, block), any) << where;
    }
  }
}

}  // namespace
}  // namespace tidemill
