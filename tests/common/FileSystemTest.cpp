#include "common/FileSystem.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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
  EXPECT_EQ(ErrorOf([&] { ReadWholeFile(dir.File("none")); }), "Error 53 (File not found: " + dir.File("none") + ")");
  // Windows tells a missing directory from a missing file.
  EXPECT_EQ(ErrorOf([&] { ReadWholeFile(dir.File("none/x")); }),
            (testing::kOnWindows ? "Error 76 (Path not found: " : "Error 53 (File not found: ") + dir.File("none/x") + ")");
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
#ifndef _WIN32  // modes and the umask are POSIX's
  // A replaced file keeps its mode, set-user-ID and set-group-ID bits included; a new file has
  // the mode of any new file, 0666 less the umask.
  ::chmod(target.c_str(), 06751);
  WriteFileAtomically(target, "newer");
  const mode_t mask = ::umask(027);
  WriteFileAtomically(dir.File("new.xml"), "new");
  ::umask(mask);
  struct stat st {};
  ASSERT_EQ(::stat(dir.File("new.xml").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 06751u);
#endif
}

// Through symbolic links, relative or not, an output replaces the file they finally name; the
// links stay. A dangling link gets the file it names. (Mode and owner: FailureInjectionTest.)
TEST(AtomicFile, WritesThroughSymbolicLinks) {
  TIDEMILL_POSIX_ONLY("symbolic links");
  TempDir dir;
  std::filesystem::create_directory(dir.File("d"));
  dir.Write("d/file", "old");
  std::filesystem::create_symlink("d/file", dir.File("relative"));
  std::filesystem::create_symlink(dir.File("relative"), dir.File("chain"));
  std::filesystem::create_symlink("d/new", dir.File("dangling"));
  std::filesystem::create_symlink("none/x", dir.File("nodir"));
  std::filesystem::create_symlink("loop", dir.File("loop"));
  const struct {
    const char* link;
    const char* file;   // the file that receives the link's name as its contents
    std::string error;  // "@" for the directory
  } rows[] = {
      {"chain", "d/file", "no error"},
      {"dangling", "d/new", "no error"},
      {"nodir", "", "Error 76 (Path not found: @/none/x: no directory @/none)"},
      {"loop", "", "Error 75 (Path/File access error: @/loop: Too many levels of symbolic links)"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ErrorOf([&] { WriteFileAtomically(dir.File(row.link), row.link); }),
              dir.Unmasked(row.error, "@"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File(row.link))) << row.link;
    if (*row.file != '\0') {
      EXPECT_EQ(Slurp(dir.File(row.file)), row.link);
    }
  }
  EXPECT_EQ(dir.Listing(), "chain d dangling loop nodir relative");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("d")), {}), 2);  // no temporary file
}

}  // namespace
}  // namespace tidemill
