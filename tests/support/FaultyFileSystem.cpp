#include "support/FaultyFileSystem.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <vector>

namespace tidemill::testing {

class FaultyOutputFile : public OutputFile {
 public:
  FaultyOutputFile(FaultyFileSystem& fs, std::unique_ptr<OutputFile> inner) : fs_(fs), inner_(std::move(inner)) {}
  void Write(const void* data, std::size_t size) override {
    if (fs_.failWriteAfterBytes >= 0 && fs_.written_ + static_cast<long long>(size) > fs_.failWriteAfterBytes) {
      throw Error(kErrDiskFull, "Disk full: test");
    }
    fs_.written_ += static_cast<long long>(size);
    inner_->Write(data, size);
  }
  void Close() override {
    if (fs_.failClose) throw Error(kErrDeviceIO, "Device I/O error: test");
    inner_->Close();
  }

 private:
  FaultyFileSystem& fs_;
  std::unique_ptr<OutputFile> inner_;
};

std::unique_ptr<InputFile> FaultyFileSystem::OpenRead(const std::string& path) {
  if (failOpenRead) throw Error(kErrFileNotFound, "File not found: " + path);
  return RealFileSystem().OpenRead(path);
}

std::unique_ptr<OutputFile> FaultyFileSystem::CreateTemporary(const std::string& target, std::string& temporaryPath) {
  if (failCreate) throw Error(kErrPermissionDenied, "Permission denied: " + target);
  return std::make_unique<FaultyOutputFile>(*this, RealFileSystem().CreateTemporary(target, temporaryPath));
}

void FaultyFileSystem::Rename(const std::string& from, const std::string& to) {
  if (failRename) throw Error(kErrPermissionDenied, "Permission denied: " + to);
  ++renames;
  RealFileSystem().Rename(from, to);
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tidemill-test-XXXXXX").string();
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (::mkdtemp(buf.data()) == nullptr) throw Error(kErrPathNotFound, "cannot create a temporary directory");
  path_ = buf.data();
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

}  // namespace tidemill::testing
