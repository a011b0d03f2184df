// The real file system, except that reading one chosen file fails after a number of bytes.
#pragma once

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "common/Error.h"
#include "common/FileSystem.h"

namespace tidemill::testing {

class FailingFileSystem : public FileSystem {
 public:
  // Reads of path fail with an I/O error once failAfter bytes have been read.
  FailingFileSystem(std::string path, std::size_t failAfter) : path_(std::move(path)), failAfter_(failAfter) {}

  std::unique_ptr<InputFile> OpenRead(const std::string& path) override {
    auto file = RealFileSystem().OpenRead(path);
    if (path != path_) return file;
    return std::make_unique<FailingFile>(std::move(file), path, failAfter_);
  }
  std::unique_ptr<OutputFile> CreateTemporary(const std::string& target, std::string& temporaryPath) override {
    return RealFileSystem().CreateTemporary(target, temporaryPath);
  }
  void Rename(const std::string& from, const std::string& to) override { RealFileSystem().Rename(from, to); }
  bool Remove(const std::string& path) override { return RealFileSystem().Remove(path); }
  std::optional<uint64_t> FileSize(const std::string& path) override { return RealFileSystem().FileSize(path); }
  std::string CurrentDirectory() override { return RealFileSystem().CurrentDirectory(); }

 private:
  class FailingFile : public InputFile {
   public:
    FailingFile(std::unique_ptr<InputFile> file, std::string path, std::size_t failAfter)
        : file_(std::move(file)), path_(std::move(path)), left_(failAfter) {}
    std::size_t Read(void* data, std::size_t size) override {
      if (size > left_) throw FileError(EIO, path_);
      left_ -= size;
      return file_->Read(data, size);
    }
    uint64_t Size() override { return file_->Size(); }

   private:
    std::unique_ptr<InputFile> file_;
    std::string path_;
    std::size_t left_;
  };

  std::string path_;
  std::size_t failAfter_;
};

}  // namespace tidemill::testing
