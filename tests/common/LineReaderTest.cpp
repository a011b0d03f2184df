#include "common/LineReader.h"

#include <gtest/gtest.h>

#include "common/FileSystem.h"
#include "support/FaultyFileSystem.h"

namespace tidemill {
namespace {

TEST(LineReaderTest, EachRuleSplitsAtItsOwnLineEndsWhateverTheBlockSize) {
  using L = std::vector<std::string>;  // the lines, each with "|" when a line end followed it
  const std::tuple<std::string, L, L, L> cases[] = {
      // bytes, then the lines at CR LF only, at CR LF or LF, at any line end
      {"", {}, {}, {}},
      {"a\r\nb", {"a|", "b"}, {"a|", "b"}, {"a|", "b"}},
      {"a\rb\nc\r\nd", {"a\rb\nc|", "d"}, {"a\rb|", "c|", "d"}, {"a|", "b|", "c|", "d"}},
      {"\r\n\r\n", {"|", "|"}, {"|", "|"}, {"|", "|"}},
      {"a\n\rb", {"a\n\rb"}, {"a|", "\rb"}, {"a|", "|", "b"}},
      {"a\r\r\nb\r", {"a\r|", "b\r"}, {"a\r|", "b\r"}, {"a|", "|", "b|"}},
      {"x\n\r\n", {"x\n|"}, {"x|", "|"}, {"x|", "|"}},
  };
  testing::TempDir dir;
  for (const auto& [bytes, crLf, crLfOrLf, any] : cases) {
    for (const std::size_t block : {1, 2, 3, 65536}) {
      for (const auto& [ends, expected] : {std::pair{LineEnds::CrLf, crLf}, {LineEnds::CrLfOrLf, crLfOrLf}, {LineEnds::Any, any}}) {
        const auto file = RealFileSystem().OpenRead(dir.Write("t.txt", bytes));
        LineReader reader(*file, ends, block);
        L lines;
        for (std::string_view line; reader.Next(line);) {
          lines.push_back(std::string(line) + (reader.Ended() ? "|" : ""));
          EXPECT_EQ(reader.LineNumber(), lines.size());
        }
        EXPECT_EQ(lines, expected) << "block " << block << " bytes " << ::testing::PrintToString(bytes);
      }
    }
  }
}

}  // namespace
}  // namespace tidemill
