#include "common/FileSystem.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "common/Error.h"

namespace tidemill {
namespace {

namespace fs = std::filesystem;

class AtomicFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/atomicfile-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    target_ = (dir_ / "out.txt").string();
    std::ofstream(target_) << "old";
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::size_t Entries() const { return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {})); }

  fs::path dir_;
  std::string target_;
};

TEST_F(AtomicFileTest, CloseLeavesTheTargetUntilCommit) {
  AtomicFile file(target_);
  file.Write("new");
  file.Close();
  EXPECT_EQ(ReadWholeFile(target_), "old");
  EXPECT_EQ(Entries(), 2u);  // the target and the closed temporary file
  EXPECT_THROW(file.Write("more"), Error);
  file.Commit();
  EXPECT_EQ(ReadWholeFile(target_), "new");
  EXPECT_EQ(Entries(), 1u);
}

TEST_F(AtomicFileTest, ClosedFileWithoutCommitIsRemoved) {
  {
    AtomicFile file(target_);
    file.Write("new");
    file.Close();
  }
  EXPECT_EQ(ReadWholeFile(target_), "old");
  EXPECT_EQ(Entries(), 1u);
}

}  // namespace
}  // namespace tidemill
