// Test helpers: a file system that fails chosen operations, a temporary directory, a recorder
// of message boxes.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/Error.h"
#include "common/FileSystem.h"
#include "diagnostics/MessageBox.h"

namespace tidemill::testing {

// Passes every operation to the real file system, except the faults armed. The faults hit
// only the file named `only` (an output's target, an input's path), or every file when empty.
class FaultyFileSystem : public FileSystem {
 public:
  std::string only;
  long long failWriteAfter = -1;  // writing past this many bytes: ENOSPC (61)
  long long failReadAfter = -1;   // reading past this many bytes: EIO (57)
  bool failClose = false;         // EIO (57)
  bool failRename = false;        // EACCES (70)
  bool failCreate = false;        // EACCES (70)
  bool failOpenRead = false;      // ENOENT (53)
  bool failCurrentDirectory = false;  // ENOENT (53), as getcwd in a removed directory
  std::optional<std::string> currentDirectory;
  int openReads = 0;
  std::size_t bytesRead = 0;

  bool Hits(const std::string& path) const { return only.empty() || path == only; }
  std::unique_ptr<InputFile> OpenRead(const std::string& path) override;
  std::unique_ptr<OutputFile> CreateTemporary(const std::string& target, std::string& temporaryPath) override;
  void Rename(const std::string& from, const std::string& to) override;
  bool Remove(const std::string& path) override { return RealFileSystem().Remove(path); }
  std::optional<uint64_t> FileSize(const std::string& path) override { return RealFileSystem().FileSize(path); }
  std::string CurrentDirectory() override;
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
  // Names of the entries in the directory, sorted, separated by blanks.
  std::string Listing() const;

 private:
  std::string path_;
};

// The contents of a file, or "<missing>" when it cannot be read.
std::string Slurp(const std::string& path);

// "Error N (description)" of the error the call raises, or "no error".
std::string ErrorOf(const std::function<void()>& call);

// Collects the message boxes shown while it lives, as "style|title|text".
class BoxRecorder {
 public:
  std::vector<std::string> boxes;
  BoxRecorder()
      : scope_([this](std::string_view text, int32_t style, std::string_view title) {
          boxes.push_back(std::to_string(style) + "|" + std::string(title) + "|" + std::string(text));
        }) {}

 private:
  ScopedMessageBoxHandler scope_;
};

}  // namespace tidemill::testing
