// Test helpers: a file system that fails chosen operations, and a temporary directory.
#pragma once

#include <filesystem>
#include <string>

#include "common/Error.h"
#include "common/FileSystem.h"

namespace tidemill::testing {

// Passes every operation to the real file system, except those told to fail.
class FaultyFileSystem : public FileSystem {
 public:
  int failWriteAfterBytes = -1;  // a write that would pass this many bytes raises error 61
  bool failClose = false;        // closing (flushing) an output file raises error 57
  bool failRename = false;       // renaming raises error 70
  bool failCreate = false;       // creating a temporary file raises error 70
  bool failOpenRead = false;     // opening for reading raises error 53
  int renames = 0;

  std::unique_ptr<InputFile> OpenRead(const std::string& path) override;
  std::unique_ptr<OutputFile> CreateTemporary(const std::string& target, std::string& temporaryPath) override;
  void Rename(const std::string& from, const std::string& to) override;
  bool Remove(const std::string& path) override { return RealFileSystem().Remove(path); }
  std::optional<uint64_t> FileSize(const std::string& path) override { return RealFileSystem().FileSize(path); }
  std::string CurrentDirectory() override { return RealFileSystem().CurrentDirectory(); }

 private:
  long long written_ = 0;
  friend class FaultyOutputFile;
};

// A fresh directory under the system's temporary directory, removed with its contents.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  // Writes a file with the given bytes and returns its path.
  std::string Write(const std::string& name, const std::string& bytes) const;
  // Names of the entries in the directory, sorted.
  std::string Listing() const;

 private:
  std::string path_;
};

// The contents of a file, or "<missing>" when it cannot be read.
std::string Slurp(const std::string& path);

}  // namespace tidemill::testing
