// Test helpers for the conversion-table readers: files in memory and a file system serving them.
#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "common/Error.h"
#include "common/FileSystem.h"

namespace tidemill::testing {

// An input file over bytes in memory, counting what is read from it.
class MemoryInputFile : public InputFile {
 public:
  MemoryInputFile(std::string bytes, std::size_t* bytesRead = nullptr) : bytes_(std::move(bytes)), read_(bytesRead) {}
  std::size_t Read(void* data, std::size_t size) override {
    const std::size_t n = std::min(size, bytes_.size() - position_);
    bytes_.copy(static_cast<char*>(data), n, position_);
    position_ += n;
    if (read_ != nullptr) *read_ += n;
    return n;
  }
  uint64_t Size() override { return bytes_.size(); }

 private:
  std::string bytes_;
  std::size_t position_ = 0;
  std::size_t* read_;
};

// The real file system, except that OpenRead is answered by a function of the test.
class FakeOpenFileSystem : public FileSystem {
 public:
  using Opener = std::function<std::unique_ptr<InputFile>(const std::string& path)>;
  explicit FakeOpenFileSystem(Opener open) : open_(std::move(open)) {}
  std::unique_ptr<InputFile> OpenRead(const std::string& path) override { return open_(path); }
  std::unique_ptr<OutputFile> CreateTemporary(const std::string& target, std::string& temporaryPath) override {
    return RealFileSystem().CreateTemporary(target, temporaryPath);
  }
  void Rename(const std::string& from, const std::string& to) override { RealFileSystem().Rename(from, to); }
  bool Remove(const std::string& path) override { return RealFileSystem().Remove(path); }
  std::optional<uint64_t> FileSize(const std::string& path) override { return RealFileSystem().FileSize(path); }
  std::string CurrentDirectory() override { return RealFileSystem().CurrentDirectory(); }

 private:
  Opener open_;
};

// A file that opens but fails when read, as a device error would.
class FailingInputFile : public InputFile {
 public:
  std::size_t Read(void*, std::size_t) override { throw Error(kErrDeviceIO); }
  uint64_t Size() override { return 100; }
};

}  // namespace tidemill::testing
