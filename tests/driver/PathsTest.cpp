#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>

#include "driver/Paths.h"
#include "support/DriverSupport.h"

namespace tidemill {
namespace {

using testing::DriverFileSystem;
using testing::TempDir;

// Path, directory, file name, extension, base name, directory-and-base.
using SplitRow = std::array<std::string, 6>;

void ExpectSplit(const std::vector<SplitRow>& rows, PathStyle style) {
  for (const SplitRow& r : rows) {
    const PathParts p = SplitPath(r[0], style);
    EXPECT_EQ((SplitRow{r[0], p.directory, p.fileName, p.extension, p.baseName, p.directoryAndBase}), r);
  }
}

TEST(SplitPath, WindowsStyle) {
  ExpectSplit({{"C:\\data\\run.kel", "C:\\data", "run.kel", "kel", "run", "C:\\data\\run"},
               {"C:/data/run.kel", "C:\\data", "run.kel", "kel", "run", "C:\\data\\run"},
               {"run.kel", "", "run.kel", "kel", "run", "\\run"},
               {"C:\\my.dir\\file", "C:\\my.dir", "file", "", "file", "C:\\my.dir\\file"},
               {"C:\\data\\a.b.xml", "C:\\data", "a.b.xml", "b.xml", "a", "C:\\data\\a"},
               {"C:\\data\\", "C:\\data", "", "", "", "C:\\data\\"},
               {"", "", "", "", "", "\\"}},
              PathStyle::Windows);
}

TEST(SplitPath, PosixStyle) {
  ExpectSplit({{"/data/run.kel", "/data", "run.kel", "kel", "run", "/data/run"},
               {"run.kel", "", "run.kel", "kel", "run", "./run"},
               {"/run.kel", "", "run.kel", "kel", "run", "/run"},
               {"/my.dir/file", "/my.dir", "file", "", "file", "/my.dir/file"},
               {"/data/a.b.xml", "/data", "a.b.xml", "b.xml", "a", "/data/a"},
               {"/data/", "/data", "", "", "", "/data/"},
               {"", "", "", "", "", "./"},
               {"C:\\data\\run.kel", "", "C:\\data\\run.kel", "kel", "C:\\data\\run", "./C:\\data\\run"}},
              PathStyle::Posix);
  EXPECT_EQ(SiblingPath("result.xml", ".bin", PathStyle::Posix), "./result.bin");
  EXPECT_EQ(SiblingPath("/srv/out.day1.xml", ".bin", PathStyle::Posix), "/srv/out.bin");
  EXPECT_EQ(SiblingPath("D:\\run\\out.day1.xml", ".bin", PathStyle::Windows), "D:\\run\\out.bin");
}

using ResolveRows = std::vector<std::pair<std::string, std::string>>;

void ExpectResolved(const std::string& cwd, PathStyle style, const ResolveRows& rows) {
  for (const auto& [path, result] : rows)
    EXPECT_EQ(ResolveRelativePathIn(path, cwd, style), result) << cwd << " | " << path;
}

TEST(ResolveRelativePath, WindowsStyle) {
  const ResolveRows work = {
      {"", ""},
      {"in.xml", "C:\\work\\run\\in.xml"},
      {"D:\\data\\in.xml", "D:\\data\\in.xml"},
      {"\\data\\in.xml", "C:\\data\\in.xml"},
      {"..\\in.xml", "C:\\work\\in.xml"},
      {"..\\..\\x\\in.xml", "C:\\x\\in.xml"},
      {"..\\..\\in.xml", "C:\\in.xml"},
      {"..\\..\\..\\in.xml", "..\\..\\..\\in.xml"},
      {"..\\a\\..\\b.xml", "C:\\a\\b.xml"},
      {".\\in.xml", "C:\\work\\run\\.\\in.xml"},
      {"D:in.xml", "C:\\work\\run\\D:in.xml"},
      {"D:\\..\\in.xml", "..\\in.xml"},
  };
  ExpectResolved("C:\\work\\run", PathStyle::Windows, work);
  ExpectResolved("C:\\work\\run\\", PathStyle::Windows, work);
  ExpectResolved("C:\\", PathStyle::Windows, {{"in.xml", "C:\\in.xml"}, {"..\\in.xml", "..\\in.xml"}});
  ExpectResolved("\\\\srv\\share\\dir", PathStyle::Windows,
                 {{"in.xml", "\\\\srv\\share\\dir\\in.xml"}, {"..\\in.xml", "\\\\srv\\share\\in.xml"}});
}

TEST(ResolveRelativePath, PosixStyle) {
  const ResolveRows run = {
      {"", ""},
      {"in.xml", "/srv/run/in.xml"},
      {"/data/in.xml", "/data/in.xml"},
      {"../in.xml", "/srv/in.xml"},
      {"../../in.xml", "/in.xml"},
      {"../../../in.xml", "../../../in.xml"},
      {"../a/../b.xml", "/a/b.xml"},
      {"./in.xml", "/srv/run/./in.xml"},
      {"..\\in.xml", "/srv/run/..\\in.xml"},
  };
  ExpectResolved("/srv/run", PathStyle::Posix, run);
  ExpectResolved("/srv/run/", PathStyle::Posix, run);
  ExpectResolved("/", PathStyle::Posix, {{"in.xml", "/in.xml"}, {"../in.xml", "../in.xml"}});
}

int OpenDescriptors() {
  int n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

TEST(FileExists, TrueOnlyForAFileThatOpens) {
  TempDir dir;
  dir.Write("a.xml", "x");
  dir.Write(" lead.xml", "x");
  std::filesystem::create_directory(dir.File("sub.xml"));
  const int before = OpenDescriptors();
  EXPECT_TRUE(FileExists(dir.File("a.xml")));
  EXPECT_EQ(OpenDescriptors(), before);
  EXPECT_TRUE(FileExists(dir.File(" lead.xml")));  // the untrimmed name is opened
  EXPECT_FALSE(FileExists(dir.File("sub.xml")));
  EXPECT_FALSE(FileExists(dir.File("missing.xml")));

  DriverFileSystem fs;
  ScopedFileSystem scope(fs);
  for (const char* blanks : {"", " ", "    "}) EXPECT_FALSE(FileExists(blanks));
  EXPECT_EQ(fs.openReads, 0);
  fs.failOpenRead = true;
  EXPECT_FALSE(FileExists(dir.File("a.xml")));
}

TEST(FileExists, FifoWithoutWriterDoesNotBlock) {
  TempDir dir;
  ASSERT_EQ(::mkfifo((dir.File("pipe.xml")).c_str(), 0600), 0);
  EXPECT_EXIT(
      {
        ::alarm(10);
        std::_Exit(FileExists(dir.File("pipe.xml")) ? 0 : 2);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace tidemill
