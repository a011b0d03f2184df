#include <gtest/gtest.h>

#include <array>

#include "common/Paths.h"
#include "support/FaultyFileSystem.h"

namespace tidemill {
namespace {

constexpr PathStyle W = PathStyle::Windows, P = PathStyle::Posix;

TEST(SplitPath, BothStyles) {
  // Path, directory, file name, extension, base name, directory-and-base.
  using Row = std::array<std::string, 6>;
  const std::pair<PathStyle, Row> rows[] = {
      {W, {"C:/data/a.b.xml", "C:\\data", "a.b.xml", "b.xml", "a", "C:\\data\\a"}},
      {W, {"run.kel", "", "run.kel", "kel", "run", "\\run"}},
      {P, {"/data/a.b.xml", "/data", "a.b.xml", "b.xml", "a", "/data/a"}},
      {P, {"run.kel", "", "run.kel", "kel", "run", "./run"}},
      {P, {"/run.kel", "", "run.kel", "kel", "run", "/run"}},
      {P, {"/my.dir/file", "/my.dir", "file", "", "file", "/my.dir/file"}},
      {P, {"/data/", "/data", "", "", "", "/data/"}},
      {P, {"", "", "", "", "", "./"}},
      {P, {"C:\\data\\run.kel", "", "C:\\data\\run.kel", "kel", "C:\\data\\run", "./C:\\data\\run"}},
  };
  for (const auto& [style, r] : rows) {
    const PathParts p = SplitPath(r[0], style);
    EXPECT_EQ((Row{r[0], p.directory, p.fileName, p.extension, p.baseName, p.directoryAndBase}), r);
  }
}

TEST(ResolveRelativePath, BothStyles) {
  const struct {
    PathStyle style;
    std::vector<std::string> cwds;
    std::vector<std::pair<std::string, std::string>> rows;  // path, result
  } tables[] = {
      {W, {"C:\\work\\run", "C:\\work\\run\\"},
       {{"in.xml", "C:\\work\\run\\in.xml"}, {"D:\\data\\in.xml", "D:\\data\\in.xml"},
        {"\\data\\in.xml", "C:\\data\\in.xml"}, {"..\\..\\x\\in.xml", "C:\\x\\in.xml"},
        {"..\\..\\..\\in.xml", "..\\..\\..\\in.xml"}, {"D:in.xml", "C:\\work\\run\\D:in.xml"},
        {"..\\in.xml", "C:\\work\\in.xml"}, {"..\\a\\..\\b.xml", "C:\\a\\b.xml"}, {".\\in.xml", "C:\\work\\run\\.\\in.xml"}}},
      {W, {"C:\\"}, {{"in.xml", "C:\\in.xml"}, {"..\\in.xml", "..\\in.xml"}}},
      {W, {"\\\\srv\\share\\dir"}, {{"in.xml", "\\\\srv\\share\\dir\\in.xml"}, {"..\\in.xml", "\\\\srv\\share\\in.xml"}}},
      {P, {"/srv/run", "/srv/run/"},
       {{"", ""}, {"in.xml", "/srv/run/in.xml"}, {"/data/in.xml", "/data/in.xml"}, {"../../in.xml", "/in.xml"},
        {"../../../in.xml", "../../../in.xml"}, {"../a/../b.xml", "/a/b.xml"}, {"./in.xml", "/srv/run/./in.xml"},
        {"..\\in.xml", "/srv/run/..\\in.xml"}}},
      {P, {"/"}, {{"in.xml", "/in.xml"}, {"../in.xml", "../in.xml"}}},
  };
  for (const auto& t : tables)
    for (const std::string& cwd : t.cwds)
      for (const auto& [path, result] : t.rows) EXPECT_EQ(ResolveRelativePathIn(path, cwd, t.style), result) << cwd << " | " << path;
}

// The host's own style, from the current directory the system gives; a side file of a bare name
// lies in the current directory in either style.
TEST(ResolveRelativePath, HostStyle) {
  testing::FaultyFileSystem fs;
  ScopedFileSystem scope(fs);
  fs.currentDirectory = testing::kOnWindows ? "\\\\srv\\share\\dir" : "/srv/share/dir";
  EXPECT_EQ(ResolveRelativePath(testing::kOnWindows ? "..\\in.xml" : "../in.xml"),
            testing::kOnWindows ? "\\\\srv\\share\\in.xml" : "/srv/share/in.xml");
  EXPECT_EQ(SiblingPath("run.day.xml", ".bin", W), ".\\run.bin");
  EXPECT_EQ(SiblingPath("C:\\a.b\\run.day.xml", ".bin", W), "C:\\a.b\\run.bin");
  EXPECT_EQ(SiblingPath("run.day.xml", ".bin", P), "./run.bin");
}

TEST(FileExists, LooksWithoutOpening) {
  testing::TempDir dir;
  dir.Write(" lead.xml", "x");
  std::filesystem::create_directory(dir.File("sub.xml"));
  testing::FaultyFileSystem fs;
  ScopedFileSystem scope(fs);
  fs.failOpenRead = true;
  EXPECT_TRUE(FileExists(dir.File(" lead.xml")));  // the untrimmed name
  EXPECT_FALSE(FileExists(dir.File("sub.xml")));
  EXPECT_FALSE(FileExists(dir.File("missing.xml")));
  for (const char* blanks : {"", " ", "    "}) EXPECT_FALSE(FileExists(blanks));
}

}  // namespace
}  // namespace tidemill
