#include <gtest/gtest.h>

#include <random>

#include "external/ArgTokenizer.h"

namespace tidemill {
namespace {

using Args = std::vector<std::string>;

void ExpectRoundTrip(const Args& args) {
  const std::string line = JoinCommandLine(args);
  EXPECT_EQ(SplitCommandLine(line), args) << "[" << line << "]";
  for (std::size_t i = 0; i < args.size(); ++i) EXPECT_EQ(GetArgument(line, static_cast<int64_t>(i) + 1), args[i]);
  EXPECT_EQ(GetArgument(line, static_cast<int64_t>(args.size()) + 1), "");
}

TEST(ArgTokenizer, JoinQuotesOnlyWhatNeedsIt) {
  const std::pair<Args, std::string> rows[] = {
      {{}, ""},
      {{"in.xml", "out.kel", "/batch"}, "in.xml out.kel /batch"},
      {{"my file.xml"}, "\"my file.xml\""},
      {{""}, "\"\""},
      {{"a\"b"}, "\"a\"\"b\""},
      {{"a\tb"}, "\"a\tb\""},
      {{"C:\\dir\\", "x\\\"y"}, "C:\\dir\\ \"x\\\"\"y\""},
      {{"é/日本"}, "é/日本"},
  };
  for (const auto& [args, line] : rows) {
    EXPECT_EQ(JoinCommandLine(args), line);
    ExpectRoundTrip(args);
  }
}

TEST(ArgTokenizer, SplitsAnyText) {
  const std::pair<std::string, Args> rows[] = {
      {" \t ", {}},
      {"  a   b\tc  ", {"a", "b", "c"}},
      {"\"a b\" c", {"a b", "c"}},
      {"ab\"c d\"e f", {"abc de", "f"}},
      {"\"\" x \"\"", {"", "x", ""}},
      {"a\"\"b", {"ab"}},
      {"\"\"\"\"", {"\""}},
      {"\"open to the end", {"open to the end"}},
      {"a\r\nb", {"a\r\nb"}},
  };
  for (const auto& [line, args] : rows) EXPECT_EQ(SplitCommandLine(line), args) << "[" << line << "]";
}

TEST(ArgTokenizer, AnyArgvSurvivesTheRoundTrip) {
  const std::string alphabet[] = {" ", "\t", "\"", "\\", "a", "Z", "/", "é", "日", "\n", "'", "\"\""};
  std::mt19937 random(20240301);
  for (int round = 0; round < 5000; ++round) {
    Args args(random() % 6);
    for (std::string& arg : args)
      for (unsigned k = random() % 7; k > 0; --k) arg += alphabet[random() % std::size(alphabet)];
    ExpectRoundTrip(args);
    if (HasFailure()) return;
  }
}

}  // namespace
}  // namespace tidemill
