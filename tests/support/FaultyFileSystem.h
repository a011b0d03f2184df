// Test helpers: a file system that fails chosen operations, a temporary directory, a recorder
// of message boxes.
#pragma once

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "common/Error.h"
#include "common/FileSystem.h"
#include "diagnostics/MessageBox.h"
#include "support/Platform.h"

namespace tidemill::testing {

// Passes every operation to the real file system, except the faults armed. The faults hit
// only the file named `only` (an output's target, an input's path), or every file when empty.
class FaultyFileSystem : public FileSystem {
 public:
  std::string only;
  long long failWriteAfter = -1;  // the disk is full after this many bytes: ENOSPC (61)
  bool failClose = false;         // EIO (57)
  bool failRename = false;        // EACCES (70)
  bool failCreate = false;        // EACCES (70)
  bool failOpenRead = false;      // ENOENT (53)
  std::optional<std::string> currentDirectory;
  std::atomic<std::size_t> bytesRead{0};  // ranges are read on several threads

  std::unique_ptr<InputFile> OpenRead(const std::string& path) override {
    if (failOpenRead && Hits(path)) throw FileError(ENOENT, path);
    return std::make_unique<Input>(*this, RealFileSystem().OpenRead(path));
  }
  std::string FinalTarget(const std::string& path) override { return RealFileSystem().FinalTarget(path); }
  std::unique_ptr<OutputFile> CreateTemporary(const std::string& target, std::string& temporaryPath) override {
    if (failCreate && Hits(target)) throw FileError(EACCES, target);
    return std::make_unique<Output>(*this, RealFileSystem().CreateTemporary(target, temporaryPath), target);
  }
  std::unique_ptr<OutputFile> OpenStraight(const std::string& path) override {
    auto file = RealFileSystem().OpenStraight(path);
    if (!file) return nullptr;
    return std::make_unique<Output>(*this, std::move(file), path);
  }
  std::optional<FileIdentity> Identify(const std::string& path) override { return RealFileSystem().Identify(path); }
  void Rename(const std::string& from, const std::string& to) override {
    if (failRename && Hits(to)) throw FileError(EACCES, to);
    RealFileSystem().Rename(from, to);
  }
  bool Remove(const std::string& path) override { return RealFileSystem().Remove(path); }
  std::optional<uint64_t> FileSize(const std::string& path) override { return RealFileSystem().FileSize(path); }
  std::string CurrentDirectory() override { return currentDirectory.value_or(RealFileSystem().CurrentDirectory()); }
  std::unique_ptr<DirectoryLock> LockDirectoryOf(const std::string& path, bool exclusive) override {
    return RealFileSystem().LockDirectoryOf(path, exclusive);
  }

 private:
  bool Hits(const std::string& path) const { return only.empty() || path == only; }

  // Counts the bytes read.
  struct Input : InputFile {
    Input(FaultyFileSystem& fs, std::unique_ptr<InputFile> file) : fs(fs), file(std::move(file)) {}
    std::size_t Read(void* data, std::size_t size) override {
      const std::size_t n = file->Read(data, size);
      fs.bytesRead += n;
      return n;
    }
    uint64_t Size() override { return file->Size(); }
    bool Positional() const override { return file->Positional(); }
    std::size_t ReadAt(uint64_t offset, void* data, std::size_t size) override {
      const std::size_t n = file->ReadAt(offset, data, size);
      fs.bytesRead += n;
      return n;
    }
    FaultyFileSystem& fs;
    std::unique_ptr<InputFile> file;
  };

  struct Output : OutputFile {
    Output(FaultyFileSystem& fs, std::unique_ptr<OutputFile> file, std::string target)
        : fs(fs), file(std::move(file)), target(std::move(target)) {}
    void Write(const void* data, std::size_t size) override {
      if (fs.Hits(target) && fs.failWriteAfter >= 0 && done + static_cast<long long>(size) > fs.failWriteAfter) {
        // A disk that fills takes what still fits before it refuses the rest.
        const auto fits = static_cast<std::size_t>(std::max(0LL, fs.failWriteAfter - done));
        file->Write(data, fits);
        done += static_cast<long long>(fits);
        throw FileError(ENOSPC, target);
      }
      done += static_cast<long long>(size);
      file->Write(data, size);
    }
    void Close() override {
      file->Close();
      if (fs.failClose && fs.Hits(target)) throw FileError(EIO, target);
    }
    FaultyFileSystem& fs;
    std::unique_ptr<OutputFile> file;
    std::string target;
    long long done = 0;
  };
};

inline std::string ReplaceAll(const std::string& s, const std::string& from, const std::string& to) {
  std::string out;
  std::size_t p = 0;
  for (std::size_t q; (q = s.find(from, p)) != std::string::npos; p = q + from.size()) out.append(s, p, q - p) += to;
  return out.append(s, p);
}

// A file name held as UTF-8, as the program holds it, for the standard library's file calls.
inline std::filesystem::path Utf8Path(const std::string& name) { return std::u8string(name.begin(), name.end()); }
inline std::string Utf8Name(const std::filesystem::path& path) {
  const std::u8string name = path.u8string();
  return std::string(name.begin(), name.end());
}

// A fresh directory under the system's temporary directory, removed with its contents.
class TempDir {
 public:
  TempDir() : path_(MakeTemporaryDirectory()) {}
  ~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + Separator(kHostPathStyle) + name; }
  // Writes a file with the given bytes and returns its path.
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(Utf8Path(File(name)), std::ios::binary) << bytes;
    return File(name);
  }
  // text with the directory written as mark, and mark + "/" for the directory and its separator:
  // the same text on either platform.
  std::string Masked(const std::string& text, const std::string& mark) const {
    return ReplaceAll(ReplaceAll(text, File(""), mark + "/"), path_, mark);
  }
  // The other way: mark + "/" and mark become the directory's own path.
  std::string Unmasked(const std::string& text, const std::string& mark) const {
    return ReplaceAll(ReplaceAll(text, mark + "/", File("")), mark, path_);
  }
  // Names of the entries in the directory, sorted, separated by blanks.
  std::string Listing() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) names.push_back(Utf8Name(entry.path().filename()));
    std::sort(names.begin(), names.end());
    std::string out;
    for (const auto& n : names) out += (out.empty() ? "" : " ") + n;
    return out;
  }

 private:
  std::string path_;
};

// The contents of a file, or "<missing>" when it cannot be read.
inline std::string Slurp(const std::string& path) {
  std::ifstream in(Utf8Path(path), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return in ? s.str() : "<missing>";
}

// The contents of a golden file of tests/golden.
inline std::string Golden(const std::string& name) { return Slurp(TIDEMILL_SAMPLES "/../tests/golden/" + name); }

// Every from in s replaced by to.

// "Error N (description)" of the error the call raises, or "no error".
inline std::string ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const Error& e) {
    return ErrorSummary(e);
  }
  return "no error";
}

// Collects the message boxes shown while it lives, as "style|title|text".
class BoxRecorder {
 public:
  std::vector<std::string> boxes;

 private:
  ScopedMessageBoxHandler scope_{[this](std::string_view text, int32_t style, std::string_view title) {
    boxes.push_back(std::to_string(style) + "|" + std::string(title) + "|" + std::string(text));
  }};
};

}  // namespace tidemill::testing
