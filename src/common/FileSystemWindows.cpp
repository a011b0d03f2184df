#include <windows.h>
// After windows.h, which it needs.
#include <aclapi.h>

#include <random>

#include "common/FileSystem.h"
#include "common/WindowsApi.h"

namespace tidemill {

namespace {

[[noreturn]] void ThrowLastError(std::string_view path) { throw WindowsFileError(::GetLastError(), path); }

// Reads go through the handle only; a disk file is read at explicit offsets, so that reads at
// several offsets on several threads never move a shared position.
class WindowsInputFile : public InputFile {
 public:
  WindowsInputFile(HANDLE h, std::string path, uint64_t size, bool disk)
      : h_(h), path_(std::move(path)), size_(size), disk_(disk) {}
  ~WindowsInputFile() override { ::CloseHandle(h_); }

  bool Positional() const override { return disk_; }
  uint64_t Size() override { return size_; }

  std::size_t Read(void* data, std::size_t size) override {
    const std::size_t n = disk_ ? ReadAt(position_, data, size) : ReadFully(nullptr, data, size);
    position_ += n;
    return n;
  }

  std::size_t ReadAt(uint64_t offset, void* data, std::size_t size) override {
    if (!disk_) return InputFile::ReadAt(offset, data, size);
    return ReadFully(&offset, data, size);
  }

 private:
  // Until size bytes or the end; from offset when given.
  std::size_t ReadFully(const uint64_t* offset, void* data, std::size_t size) {
    std::size_t done = 0;
    auto* p = static_cast<char*>(data);
    while (done < size) {
      const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
      DWORD got = 0;
      OVERLAPPED at{};
      if (offset != nullptr) {
        const uint64_t from = *offset + done;
        at.Offset = static_cast<DWORD>(from);
        at.OffsetHigh = static_cast<DWORD>(from >> 32);
      }
      if (!::ReadFile(h_, p + done, want, &got, offset != nullptr ? &at : nullptr)) {
        const DWORD e = ::GetLastError();
        // The end of a file read at an offset, and a pipe whose writer has gone.
        if (e == ERROR_HANDLE_EOF || e == ERROR_BROKEN_PIPE) break;
        throw WindowsFileError(e, path_);
      }
      if (got == 0) break;
      done += got;
    }
    return done;
  }

  HANDLE h_;
  std::string path_;
  uint64_t size_;
  bool disk_;
  uint64_t position_ = 0;
};

class WindowsOutputFile : public OutputFile {
 public:
  WindowsOutputFile(HANDLE h, std::string path) : h_(h), path_(std::move(path)) {}
  ~WindowsOutputFile() override {
    if (h_ != INVALID_HANDLE_VALUE) ::CloseHandle(h_);
  }

  void Write(const void* data, std::size_t size) override {
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
      DWORD put = 0;
      if (!::WriteFile(h_, p, chunk, &put, nullptr)) ThrowLastError(path_);
      p += put;
      size -= put;
    }
  }

  void Close() override {
    const HANDLE h = h_;
    h_ = INVALID_HANDLE_VALUE;
    // A device or pipe has nothing to flush.
    if (!::FlushFileBuffers(h) && ::GetFileType(h) == FILE_TYPE_DISK) {
      const DWORD e = ::GetLastError();
      ::CloseHandle(h);
      throw WindowsFileError(e, path_);
    }
    if (!::CloseHandle(h)) ThrowLastError(path_);
  }

 private:
  HANDLE h_;
  std::string path_;
};

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.find_last_of("\\/");
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

// Held by the thread that took it: every lock is taken and released in one scope.
class WindowsDirectoryLock : public DirectoryLock {
 public:
  explicit WindowsDirectoryLock(HANDLE mutex) : mutex_(mutex) {}
  ~WindowsDirectoryLock() override {
    ::ReleaseMutex(mutex_);
    ::CloseHandle(mutex_);
  }

 private:
  HANDLE mutex_;
};

// Gives the new file h what replacing target must keep: its attributes and its access rights
// (DACL), as far as the process may set them.
void TakeAttributesAndAccess(HANDLE h, const std::wstring& target, DWORD attributes) {
  FILE_BASIC_INFO basic{};
  basic.FileAttributes = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                       FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
  if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  ::SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof basic);
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetNamedSecurityInfoW(target.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                              &descriptor) == ERROR_SUCCESS) {
    ::SetSecurityInfo(h, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, dacl, nullptr);
    ::LocalFree(descriptor);
  }
}

// Volume serial number and file index of what path names (a directory too); a device is told
// by its name. Nothing when it cannot be opened.
std::optional<FileIdentity> IdentityOf(const std::wstring& path) {
  const HANDLE h = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  FileIdentity identity;
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileType(h) != FILE_TYPE_DISK || !::GetFileInformationByHandle(h, &info)) {
    std::wstring name = path;
    ::CharLowerBuffW(name.data(), static_cast<DWORD>(name.size()));
    identity.volume = ~uint64_t{0};
    identity.name = Utf8(name);
    identity.straight = true;
  } else {
    identity.volume = info.dwVolumeSerialNumber;
    identity.index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  }
  ::CloseHandle(h);
  return identity;
}

// A file that another run may be replacing is briefly held by it: such a failure is tried again
// for a moment before it counts.
template <class Step>
bool Retried(Step step) {
  for (int attempt = 0;; ++attempt) {
    if (step()) return true;
    const DWORD e = ::GetLastError();
    if (attempt == 40 || (e != ERROR_SHARING_VIOLATION && e != ERROR_ACCESS_DENIED && e != ERROR_LOCK_VIOLATION)) {
      ::SetLastError(e);
      return false;
    }
    ::Sleep(25);
  }
}

class WindowsFileSystem : public FileSystem {
 public:
  std::unique_ptr<InputFile> OpenRead(const std::string& path) override {
    const HANDLE h = OpenShared(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN);
    if (h == INVALID_HANDLE_VALUE) {
      const DWORD e = ::GetLastError();
      const DWORD attributes = ::GetFileAttributesW(Utf16(path).c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        throw DetailedError(kErrPathFileAccess, path + ": Is a directory");
      }
      throw WindowsFileError(e, path);
    }
    const bool disk = ::GetFileType(h) == FILE_TYPE_DISK;
    LARGE_INTEGER size{};
    if (disk && !::GetFileSizeEx(h, &size)) {
      const DWORD e = ::GetLastError();
      ::CloseHandle(h);
      throw WindowsFileError(e, path);
    }
    return std::make_unique<WindowsInputFile>(h, path, static_cast<uint64_t>(size.QuadPart), disk);
  }

  // Links are rare on Windows and ReplaceFileW keeps what the target is: the name is the file.
  std::string FinalTarget(const std::string& path) override { return path; }

  std::unique_ptr<OutputFile> CreateTemporary(const std::string& target, std::string& temporaryPath) override {
    const std::wstring wideTarget = Utf16(target);
    const DWORD attributes = ::GetFileAttributesW(wideTarget.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
      // Refused before anything is written: replacing would fail only at the end.
      if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) throw DetailedError(kErrPathFileAccess, target + ": Is a directory");
      if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) throw DetailedError(kErrPathFileAccess, target + ": the file is read-only");
    }
    const auto slash = target.find_last_of("\\/");
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    const std::string prefix = (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + "." +
                               name.substr(0, 200) + ".tmp-";
    static std::mt19937_64 random{std::random_device{}() ^ static_cast<uint64_t>(::GetCurrentProcessId())};
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::string candidate = prefix + std::to_string(random() % 1000000000000ULL);
      const HANDLE h = ::CreateFileW(Utf16(candidate).c_str(), GENERIC_WRITE | WRITE_DAC, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
      if (h != INVALID_HANDLE_VALUE) {
        if (attributes != INVALID_FILE_ATTRIBUTES) TakeAttributesAndAccess(h, wideTarget, attributes);
        temporaryPath = candidate;
        // Errors name the target: the temporary file is gone by the time anyone reads them.
        return std::make_unique<WindowsOutputFile>(h, target);
      }
      const DWORD e = ::GetLastError();
      if (e == ERROR_FILE_EXISTS) continue;
      if (e == ERROR_PATH_NOT_FOUND) throw DetailedError(kErrPathNotFound, target + ": no directory " + DirectoryOf(target));
      throw WindowsFileError(e, target);
    }
    throw DetailedError(kErrPathFileAccess, target);
  }

  std::unique_ptr<OutputFile> OpenStraight(const std::string& path) override {
    // A device (NUL, CON, a port) or a pipe is written as it stands; a disk file is replaced.
    const HANDLE h = ::CreateFileW(Utf16(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    if (::GetFileType(h) == FILE_TYPE_DISK) {
      ::CloseHandle(h);
      return nullptr;
    }
    return std::make_unique<WindowsOutputFile>(h, path);
  }

  std::optional<FileIdentity> Identify(const std::string& path) override {
    if (path.empty()) return std::nullopt;
    if (const std::optional<FileIdentity> identity = IdentityOf(Utf16(path))) return identity;
    // A file to be made: its directory and its name there, in one case as Windows compares them.
    const auto slash = path.find_last_of("\\/");
    const std::optional<FileIdentity> directory = IdentityOf(Utf16(DirectoryOf(path)));
    if (!directory || directory->straight) return std::nullopt;
    FileIdentity identity = *directory;
    std::wstring name = Utf16(slash == std::string::npos ? path : path.substr(slash + 1));
    if (!name.empty()) ::CharLowerBuffW(name.data(), static_cast<DWORD>(name.size()));
    identity.name = Utf8(name);
    return identity;
  }

  void Rename(const std::string& from, const std::string& to) override {
    const std::wstring source = Utf16(from);
    const std::wstring target = Utf16(to);
    // One rename, which readers see as the old file or the new one. ReplaceFileW is no such
    // step: it moves the target aside first (so Wine does it), and a run that looks then finds
    // nothing. The new file has the target's attributes and access rights already.
    const bool done = Retried([&] {
      return ::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    });
    if (!done) {
      DWORD e = ::GetLastError();
      // A rename over a file that is open reads as access denied; opening it tells why.
      if (e == ERROR_ACCESS_DENIED) {
        const HANDLE probe = ::CreateFileW(target.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (probe == INVALID_HANDLE_VALUE) {
          if (::GetLastError() == ERROR_SHARING_VIOLATION) e = ERROR_SHARING_VIOLATION;
        } else {
          ::CloseHandle(probe);
        }
      }
      if (e == ERROR_SHARING_VIOLATION || e == ERROR_LOCK_VIOLATION) {
        throw DetailedError(kErrPermissionDenied, to + ": the file is held open by another process");
      }
      throw WindowsFileError(e, to);
    }
  }

  bool Remove(const std::string& path) override { return ::DeleteFileW(Utf16(path).c_str()) != 0; }

  std::optional<uint64_t> FileSize(const std::string& path) override {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(Utf16(path).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return std::nullopt;
    }
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  }

  std::unique_ptr<DirectoryLock> LockDirectoryOf(const std::string& path, bool) override {
    // A directory cannot be locked on Windows: runs meet at a mutex named after its full path,
    // taken exclusively (readers wait for one another too, briefly). A run that dies releases it.
    std::wstring full(MAX_PATH, L'\0');
    const std::wstring directory = Utf16(DirectoryOf(path));
    DWORD n = ::GetFullPathNameW(directory.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n >= full.size()) {
      full.resize(n);
      n = ::GetFullPathNameW(directory.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    if (n == 0 || n >= full.size()) return nullptr;
    full.resize(n);
    ::CharLowerBuffW(full.data(), n);
    uint64_t hash = 14695981039346656037ULL;
    for (const wchar_t c : full) hash = (hash ^ static_cast<uint16_t>(c)) * 1099511628211ULL;
    const std::wstring name = L"Local\\tidemill-directory-" + std::to_wstring(hash);
    const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name.c_str());
    if (mutex == nullptr) return nullptr;
    const DWORD waited = ::WaitForSingleObject(mutex, INFINITE);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
      ::CloseHandle(mutex);
      return nullptr;
    }
    return std::make_unique<WindowsDirectoryLock>(mutex);
  }

  std::string CurrentDirectory() override {
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
      const DWORD n = ::GetCurrentDirectoryW(static_cast<DWORD>(buf.size()), buf.data());
      if (n == 0) ThrowLastError("the current directory");
      if (n < buf.size()) return Utf8(std::wstring_view(buf.data(), n));
      buf.resize(n);
    }
  }
};

}  // namespace

FileSystem& RealFileSystem() {
  static WindowsFileSystem fs;
  return fs;
}

}  // namespace tidemill
