#include "support/FaultyFileSystem.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <sstream>

namespace tidemill::testing {

namespace {

class FaultyInput : public InputFile {
 public:
  FaultyInput(FaultyFileSystem& fs, std::unique_ptr<InputFile> inner, std::string path, bool hit)
      : fs_(fs), inner_(std::move(inner)), path_(std::move(path)), hit_(hit) {}
  std::size_t Read(void* data, std::size_t size) override {
    if (hit_ && fs_.failReadAfter >= 0 && read_ + static_cast<long long>(size) > fs_.failReadAfter)
      throw FileError(EIO, path_);
    const std::size_t n = inner_->Read(data, size);
    read_ += static_cast<long long>(n);
    fs_.bytesRead += n;
    return n;
  }
  uint64_t Size() override { return inner_->Size(); }

 private:
  FaultyFileSystem& fs_;
  std::unique_ptr<InputFile> inner_;
  std::string path_;
  bool hit_;
  long long read_ = 0;
};

class FaultyOutput : public OutputFile {
 public:
  FaultyOutput(FaultyFileSystem& fs, std::unique_ptr<OutputFile> inner, std::string target)
      : fs_(fs), inner_(std::move(inner)), target_(std::move(target)) {}
  void Write(const void* data, std::size_t size) override {
    if (fs_.Hits(target_) && fs_.failWriteAfter >= 0 && written_ + static_cast<long long>(size) > fs_.failWriteAfter)
      throw FileError(ENOSPC, target_);
    written_ += static_cast<long long>(size);
    inner_->Write(data, size);
  }
  void Close() override {
    inner_->Close();
    if (fs_.failClose && fs_.Hits(target_)) throw FileError(EIO, target_);
  }

 private:
  FaultyFileSystem& fs_;
  std::unique_ptr<OutputFile> inner_;
  std::string target_;
  long long written_ = 0;
};

}  // namespace

std::unique_ptr<InputFile> FaultyFileSystem::OpenRead(const std::string& path) {
  ++openReads;
  if (failOpenRead && Hits(path)) throw FileError(ENOENT, path);
  return std::make_unique<FaultyInput>(*this, RealFileSystem().OpenRead(path), path, Hits(path));
}

std::unique_ptr<OutputFile> FaultyFileSystem::CreateTemporary(const std::string& target, std::string& temporaryPath) {
  if (failCreate && Hits(target)) throw FileError(EACCES, target);
  return std::make_unique<FaultyOutput>(*this, RealFileSystem().CreateTemporary(target, temporaryPath), target);
}

void FaultyFileSystem::Rename(const std::string& from, const std::string& to) {
  if (failRename && Hits(to)) throw FileError(EACCES, to);
  RealFileSystem().Rename(from, to);
}

std::string FaultyFileSystem::CurrentDirectory() {
  if (failCurrentDirectory) throw FileError(ENOENT, ".");
  return currentDirectory ? *currentDirectory : RealFileSystem().CurrentDirectory();
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tidemill-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw Error(kErrPathNotFound, "cannot create a temporary directory");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

std::string TempDir::Write(const std::string& name, const std::string& bytes) const {
  const std::string path = File(name);
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

std::string TempDir::Listing() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path_)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  std::string out;
  for (const auto& n : names) out += (out.empty() ? "" : " ") + n;
  return out;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "<missing>";
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const Error& e) {
    return ErrorSummary(e);
  }
  return "no error";
}

}  // namespace tidemill::testing
