#include "common/FileSystem.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/FaultyFileSystem.h"

namespace tidemill {
namespace {

using testing::FaultyFileSystem;
using testing::Slurp;
using testing::TempDir;

int ErrorNumber(const std::function<void()>& f) {
  try {
    f();
  } catch (const Error& e) {
    return e.Number();
  }
  return 0;
}

TEST(FileSystem, ReadingGivesTheProgramsFileErrors) {
  TempDir dir;
  const std::string file = dir.Write("a.txt", "hello");
  EXPECT_EQ(ReadWholeFile(file), "hello");
  EXPECT_EQ(*Fs().FileSize(file), 5u);
  EXPECT_FALSE(Fs().FileSize(dir.Path()).has_value());  // a directory has no file size
  EXPECT_EQ(ErrorNumber([&] { ReadWholeFile(dir.File("none")); }), kErrFileNotFound);
  EXPECT_EQ(ErrorNumber([&] { ReadWholeFile(dir.Path()); }), kErrPathFileAccess);
  EXPECT_EQ(ErrorNumber([&] { ReadWholeFile(dir.File("none/x")); }), kErrFileNotFound);
}

TEST(AtomicFile, ReplacesTheTargetInOnePiece) {
  TempDir dir;
  const std::string target = dir.Write("out.xml", "old");
  WriteFileAtomically(target, "new contents");
  EXPECT_EQ(Slurp(target), "new contents");
  EXPECT_EQ(dir.Listing(), "out.xml");  // no temporary file left
  struct stat st {};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_NE(st.st_mode & S_IRUSR, 0u);
}

TEST(AtomicFile, WithoutCommitTheTargetIsUntouched) {
  TempDir dir;
  const std::string target = dir.Write("out.xml", "old");
  {
    AtomicFile file(target);
    file.Write("half");
  }
  EXPECT_EQ(Slurp(target), "old");
  EXPECT_EQ(dir.Listing(), "out.xml");
}

TEST(AtomicFile, EveryFailureLeavesTheOldFileAndNoTemporary) {
  const struct {
    const char* what;
    void (*arm)(FaultyFileSystem&);
    int expected;
  } cases[] = {
      {"write", [](FaultyFileSystem& f) { f.failWriteAfterBytes = 3; }, kErrDiskFull},
      {"close", [](FaultyFileSystem& f) { f.failClose = true; }, kErrDeviceIO},
      {"rename", [](FaultyFileSystem& f) { f.failRename = true; }, kErrPermissionDenied},
      {"create", [](FaultyFileSystem& f) { f.failCreate = true; }, kErrPermissionDenied},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const std::string target = dir.Write("out.xml", "old");
    FaultyFileSystem faulty;
    c.arm(faulty);
    ScopedFileSystem scope(faulty);
    EXPECT_EQ(ErrorNumber([&] { WriteFileAtomically(target, "new contents"); }), c.expected) << c.what;
    EXPECT_EQ(Slurp(target), "old") << c.what;
    EXPECT_EQ(dir.Listing(), "out.xml") << c.what;
  }
}

TEST(AtomicFile, MissingDirectoryIsPathNotFound) {
  TempDir dir;
  try {
    WriteFileAtomically(dir.File("no/such/out.xml"), "x");
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), kErrPathNotFound);
    EXPECT_EQ(e.Description(), "Path not found: " + dir.File("no/such"));
  }
}

TEST(AtomicFile, ADirectoryAsTargetFailsCleanly) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("sub"));
  EXPECT_EQ(ErrorNumber([&] { WriteFileAtomically(dir.File("sub"), "x"); }), kErrPathFileAccess);
  EXPECT_EQ(dir.Listing(), "sub");
}

TEST(AtomicFile, CloseLeavesTheTargetUntilCommit) {
  TempDir dir;
  const std::string target = dir.Write("out.xml", "old");
  AtomicFile file(target);
  file.Write("new");
  file.Close();
  EXPECT_EQ(Slurp(target), "old");
  EXPECT_EQ(ErrorNumber([&] { file.Write("more"); }), kErrBadFileName);
  file.Commit();
  EXPECT_EQ(Slurp(target), "new");
  EXPECT_EQ(dir.Listing(), "out.xml");
}

TEST(AtomicFile, ClosedFileWithoutCommitIsRemoved) {
  TempDir dir;
  const std::string target = dir.Write("out.xml", "old");
  {
    AtomicFile file(target);
    file.Write("new");
    file.Close();
  }
  EXPECT_EQ(Slurp(target), "old");
  EXPECT_EQ(dir.Listing(), "out.xml");
}

}  // namespace
}  // namespace tidemill
