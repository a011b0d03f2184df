// Helpers of the QX-XML reader tests (beside FaultyFileSystem.h).
#pragma once

#include <cerrno>
#include <memory>
#include <string>

#include "support/FaultyFileSystem.h"

namespace tidemill::testing {

// The faulty file system whose reads of one chosen file fail with an I/O error once a number
// of bytes have been read.
class FailingReadFileSystem : public FaultyFileSystem {
 public:
  FailingReadFileSystem(std::string path, std::size_t failAfter) : path_(std::move(path)), failAfter_(failAfter) {}

  std::unique_ptr<InputFile> OpenRead(const std::string& path) override {
    auto file = FaultyFileSystem::OpenRead(path);
    if (path != path_) return file;
    return std::make_unique<FailingFile>(std::move(file), path, failAfter_);
  }

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
