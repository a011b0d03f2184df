#include "common/FileSystem.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/FaultyFileSystem.h"

namespace tidemill {
namespace {

using testing::ErrorOf;
using testing::Slurp;
using testing::TempDir;

TEST(FileSystem, ReadingGivesTheProgramsFileErrors) {
  TempDir dir;
  const std::string file = dir.Write("a.txt", "hello");
  EXPECT_EQ(ReadWholeFile(file), "hello");
  EXPECT_EQ(*Fs().FileSize(file), 5u);
  EXPECT_FALSE(Fs().FileSize(dir.Path()).has_value());  // a directory has no file size
  EXPECT_EQ(ErrorOf([&] { ReadWholeFile(dir.File("none/x")); }), "Error 53 (File not found: " + dir.File("none/x") + ")");
  EXPECT_EQ(ErrorOf([&] { ReadWholeFile(dir.Path()); }),
            "Error 75 (Path/File access error: " + dir.Path() + ": Is a directory)");
}

TEST(AtomicFile, TheTargetChangesAtCommitOnly) {
  TempDir dir;
  const std::string target = dir.Write("out.xml", "old");
  {
    AtomicFile dropped(target);
    dropped.Write("half");
  }
  EXPECT_EQ(Slurp(target), "old");
  AtomicFile file(target);
  file.Write("new");
  file.Close();
  EXPECT_EQ(Slurp(target), "old");
  file.Commit();
  EXPECT_EQ(Slurp(target), "new");
  EXPECT_EQ(dir.Listing(), "out.xml");  // no temporary file left
  struct stat st {};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_NE(st.st_mode & S_IRUSR, 0u);
}

}  // namespace
}  // namespace tidemill
