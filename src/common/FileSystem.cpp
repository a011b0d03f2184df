#include "common/FileSystem.h"

#include "common/Error.h"

namespace tidemill {

namespace {

FileSystem* g_current = nullptr;

}  // namespace

std::size_t InputFile::ReadAt(uint64_t, void*, std::size_t) {
  throw DetailedError(kErrBadFileName, "not a regular file: it reads only from front to back");
}

FileSystem& Fs() { return g_current != nullptr ? *g_current : RealFileSystem(); }

ScopedFileSystem::ScopedFileSystem(FileSystem& fs) : previous_(g_current) { g_current = &fs; }
ScopedFileSystem::~ScopedFileSystem() { g_current = previous_; }

std::string ReadWholeFile(const std::string& path) {
  auto file = Fs().OpenRead(path);
  std::string data;
  data.resize(static_cast<std::size_t>(file->Size()));
  data.resize(file->Read(data.data(), data.size()));
  // A file that grew since its size was taken is read to its end.
  char more[65536];
  while (std::size_t n = file->Read(more, sizeof more)) data.append(more, n);
  return data;
}

bool SameFile(const std::string& a, const std::string& b) {
  const std::optional<FileIdentity> first = Fs().Identify(a);
  return first && first == Fs().Identify(b);
}

bool WritesStraight(const std::string& path) {
  const std::optional<FileIdentity> identity = Fs().Identify(path);
  return identity && identity->straight;
}

AtomicFile::AtomicFile(const std::string& target) {
  file_ = Fs().OpenStraight(target);
  if (file_) {
    target_ = target;
    straight_ = true;
    return;
  }
  target_ = Fs().FinalTarget(target);
  file_ = Fs().CreateTemporary(target_, temporary_);
}

AtomicFile::~AtomicFile() { Discard(); }

void AtomicFile::Write(const void* data, std::size_t size) {
  if (!file_) throw Error(kErrBadFileName, "File already closed: " + target_);
  try {
    file_->Write(data, size);
  } catch (...) {
    Discard();
    throw;
  }
}

void AtomicFile::Close() {
  if (!file_) throw Error(kErrBadFileName, "File already closed: " + target_);
  try {
    file_->Close();
    file_.reset();
  } catch (...) {
    Discard();
    throw;
  }
}

void AtomicFile::Commit() {
  if (finished_) throw Error(kErrBadFileName, "File already closed: " + target_);
  try {
    if (file_) {
      file_->Close();
      file_.reset();
    }
    // What went straight into its target is there already.
    if (!straight_) Fs().Rename(temporary_, target_);
    temporary_.clear();
    finished_ = true;
  } catch (...) {
    Discard();
    throw;
  }
}

void AtomicFile::Discard() noexcept {
  file_.reset();
  finished_ = true;
  if (!temporary_.empty()) {
    Fs().Remove(temporary_);
    temporary_.clear();
  }
}

void WriteFileAtomically(const std::string& path, std::string_view data) {
  AtomicFile file(path);
  file.Write(data);
  file.Commit();
}

}  // namespace tidemill
