// The file system of POSIX systems.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <random>

#include "common/Error.h"
#include "common/FileSystem.h"

namespace tidemill {

namespace {

class PosixInputFile : public InputFile {
 public:
  PosixInputFile(int fd, std::string path, uint64_t size, bool regular)
      : fd_(fd), path_(std::move(path)), size_(size), regular_(regular) {}
  ~PosixInputFile() override { ::close(fd_); }

  bool Positional() const override { return regular_; }

  std::size_t ReadAt(uint64_t offset, void* data, std::size_t size) override {
    if (!regular_) return InputFile::ReadAt(offset, data, size);
    return ReadFully(data, size, [&](char* p, std::size_t n, std::size_t done) {
      return ::pread(fd_, p, n, static_cast<off_t>(offset + done));
    });
  }

  std::size_t Read(void* data, std::size_t size) override {
    return ReadFully(data, size, [&](char* p, std::size_t n, std::size_t) { return ::read(fd_, p, n); });
  }
  uint64_t Size() override { return size_; }

 private:
  // Reads until size bytes or the end, through read (p, n, bytes done so far); fewer only at
  // the end of the file.
  template <class ReadSome>
  std::size_t ReadFully(void* data, std::size_t size, ReadSome readSome) {
    std::size_t done = 0;
    auto* p = static_cast<char*>(data);
    while (done < size) {
      const ssize_t n = readSome(p + done, size - done, done);
      if (n < 0) {
        if (errno == EINTR) continue;
        throw FileError(errno, path_);
      }
      if (n == 0) break;
      done += static_cast<std::size_t>(n);
    }
    return done;
  }

  int fd_;
  std::string path_;
  uint64_t size_;
  bool regular_;
};

class PosixOutputFile : public OutputFile {
 public:
  // mode: the mode bits to give the file once written, or -1 to leave them.
  PosixOutputFile(int fd, std::string path, int mode = -1) : fd_(fd), path_(std::move(path)), mode_(mode) {}
  ~PosixOutputFile() override {
    if (fd_ >= 0) ::close(fd_);
  }

  void Write(const void* data, std::size_t size) override {
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
      const ssize_t n = ::write(fd_, p, size);
      if (n < 0) {
        if (errno == EINTR) continue;
        throw FileError(errno, path_);
      }
      p += n;
      size -= static_cast<std::size_t>(n);
      written_ += static_cast<uint64_t>(n);
    }
#ifdef SYNC_FILE_RANGE_WRITE
    // The disk starts on what is written while the rest is made, so that the fsync at the end
    // waits for less. Only a hint: the fsync reports what fails.
    if (written_ - started_ >= kWriteBackStep) {
      ::sync_file_range(fd_, static_cast<off_t>(started_), static_cast<off_t>(written_ - started_), SYNC_FILE_RANGE_WRITE);
      started_ = written_;
    }
#endif
  }

  void Close() override {
    const int fd = fd_;
    fd_ = -1;
    // A write by a user other than root clears the set-user-ID and set-group-ID bits: they are
    // given again now.
    if (mode_ >= 0 && written_ > 0 && ::fchmod(fd, static_cast<mode_t>(mode_)) != 0) {
      // A file system without mode bits keeps its own.
    }
    if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) {
      const int e = errno;
      ::close(fd);
      throw FileError(e, path_);
    }
    if (::close(fd) != 0 && errno != EINTR) throw FileError(errno, path_);
  }

 private:
  static constexpr uint64_t kWriteBackStep = uint64_t{4} << 20;
  int fd_;
  std::string path_;
  uint64_t written_ = 0;  // bytes written so far
  uint64_t started_ = 0;  // bytes whose write-back has been started
  int mode_;
};

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The text of a symbolic link; nothing when it cannot be read.
std::optional<std::string> ReadLink(const std::string& path) {
  std::string text(256, '\0');
  for (;;) {
    const ssize_t n = ::readlink(path.c_str(), text.data(), text.size());
    if (n < 0) return std::nullopt;
    if (static_cast<std::size_t>(n) < text.size()) {
      text.resize(static_cast<std::size_t>(n));
      return text;
    }
    text.resize(text.size() * 2);
  }
}

// Where the symbolic link path leads, a relative link read from the directory that holds it;
// nothing when path is no link or cannot be read.
std::optional<std::string> FollowLink(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return std::nullopt;
  const std::optional<std::string> link = ReadLink(path);
  if (!link || link->empty()) return std::nullopt;
  const auto slash = path.find_last_of('/');
  return link->front() == '/' || slash == std::string::npos ? *link : path.substr(0, slash + 1) + *link;
}

// The kernel gives up after 40 links in one path; so does this.
constexpr int kMaxLinks = 40;

// The descriptor of the process that path names when a link on its way lies in the process's own
// descriptor directory (/dev/stdout, /dev/fd/N, /proc/self/fd/N). Writing must go through that
// descriptor: opened afresh, a file that standard output appends to would be written from its
// start, and a pipe's link leads to no path at all.
std::optional<int> OwnDescriptor(const std::string& path) {
  const std::string own = "/proc/" + std::to_string(::getpid()) + "/fd";
  std::string current = path;
  for (int links = 0; links <= kMaxLinks; ++links) {
    const std::optional<std::string> next = FollowLink(current);
    if (!next) return std::nullopt;
    char resolved[PATH_MAX];
    if (::realpath(DirectoryOf(current).c_str(), resolved) != nullptr && own == resolved) {
      const std::string number = current.substr(current.find_last_of('/') + 1);
      if (number.empty() || number.size() > 9 || number.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
      }
      return std::stoi(number);
    }
    current = *next;
  }
  return std::nullopt;
}

FileIdentity IdentityOf(const struct stat& st, std::string name = {}) {
  FileIdentity identity;
  identity.volume = static_cast<uint64_t>(st.st_dev);
  identity.index = static_cast<uint64_t>(st.st_ino);
  identity.name = std::move(name);
  identity.straight = identity.name.empty() && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
  return identity;
}

// Gives the open file fd the owner, group and mode bits of st as far as the process may: the
// group alone when the owner cannot be given, the process's own when neither can.
void TakeOwnerAndMode(int fd, const struct stat& st) {
  // Owner and group go first: changing them may clear the set-user-ID and set-group-ID bits.
  if (::fchown(fd, st.st_uid, st.st_gid) != 0 && ::fchown(fd, static_cast<uid_t>(-1), st.st_gid) != 0) {
    // The process's own owner and group stay.
  }
  if (::fchmod(fd, st.st_mode & 07777) != 0) {
    // A file system without mode bits keeps its own.
  }
}

// Closing the directory releases its lock.
class PosixDirectoryLock : public DirectoryLock {
 public:
  explicit PosixDirectoryLock(int fd) : fd_(fd) {}
  ~PosixDirectoryLock() override { ::close(fd_); }

 private:
  int fd_;
};

class PosixFileSystem : public FileSystem {
 public:
  std::unique_ptr<InputFile> OpenRead(const std::string& path) override {
    // A named pipe is opened as `cat` opens it, waiting for its writer: opened without waiting,
    // it would read an end of file whenever the writer starts a moment later.
    int fd;
    do {
      fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) throw FileError(errno, path);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
      const int e = errno;
      ::close(fd);
      throw FileError(e, path);
    }
    if (S_ISDIR(st.st_mode)) {
      ::close(fd);
      throw DetailedError(kErrPathFileAccess, path + ": Is a directory");
    }
    return std::make_unique<PosixInputFile>(fd, path, static_cast<uint64_t>(st.st_size), S_ISREG(st.st_mode));
  }

  std::string FinalTarget(const std::string& path) override {
    std::string current = path;
    for (int links = 0; links <= kMaxLinks; ++links) {
      std::optional<std::string> next = FollowLink(current);
      if (!next) return current;
      current = std::move(*next);
    }
    throw DetailedError(kErrPathFileAccess, path + ": " + std::strerror(ELOOP));
  }

  std::unique_ptr<OutputFile> OpenStraight(const std::string& path) override {
    if (const std::optional<int> own = OwnDescriptor(path)) {
      const int fd = ::fcntl(*own, F_DUPFD_CLOEXEC, 0);
      if (fd < 0) throw FileError(errno, path);
      return std::make_unique<PosixOutputFile>(fd, path);
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) return nullptr;
    // As it stands: no truncation, no new mode or owner. A pipe's open waits for its reader.
    int fd;
    do {
      fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) throw FileError(errno, path);
    return std::make_unique<PosixOutputFile>(fd, path);
  }

  std::optional<FileIdentity> Identify(const std::string& path) override {
    if (path.empty()) return std::nullopt;
    struct stat st {};
    if (const std::optional<int> own = OwnDescriptor(path)) {
      if (::fstat(*own, &st) != 0) return std::nullopt;
      FileIdentity identity = IdentityOf(st);
      identity.straight = true;
      return identity;
    }
    if (::stat(path.c_str(), &st) == 0) return IdentityOf(st);
    std::string target;
    try {
      target = FinalTarget(path);
    } catch (const Error&) {
      return std::nullopt;
    }
    if (::stat(DirectoryOf(target).c_str(), &st) != 0) return std::nullopt;
    return IdentityOf(st, target.substr(target.find_last_of('/') + 1));
  }

  std::unique_ptr<OutputFile> CreateTemporary(const std::string& target, std::string& temporaryPath) override {
    struct stat existing {};
    const bool replaces = ::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
    const auto slash = target.find_last_of('/');
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    const std::string prefix = (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + "." +
                               name.substr(0, 200) + ".tmp-";
    static std::mt19937_64 random{std::random_device{}() ^ static_cast<uint64_t>(::getpid())};
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::string candidate = prefix + std::to_string(random() % 1000000000000ULL);
      // A file that replaces another is private until it has that file's owner and mode.
      const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, replaces ? 0600 : 0666);
      if (fd >= 0) {
        if (replaces) TakeOwnerAndMode(fd, existing);
        temporaryPath = candidate;
        // Errors name the target: the temporary file is gone by the time anyone reads them.
        return std::make_unique<PosixOutputFile>(fd, target, replaces ? static_cast<int>(existing.st_mode & 07777) : -1);
      }
      if (errno == EEXIST) continue;
      if (errno == ENOENT) {
        throw DetailedError(kErrPathNotFound, target + ": no directory " + DirectoryOf(target));
      }
      throw FileError(errno, target);
    }
    throw DetailedError(kErrPathFileAccess, target);
  }

  void Rename(const std::string& from, const std::string& to) override {
    if (::rename(from.c_str(), to.c_str()) != 0) throw FileError(errno, to);
  }

  bool Remove(const std::string& path) override { return ::unlink(path.c_str()) == 0; }

  std::optional<uint64_t> FileSize(const std::string& path) override {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return static_cast<uint64_t>(st.st_size);
  }

  std::unique_ptr<DirectoryLock> LockDirectoryOf(const std::string& path, bool exclusive) override {
    // A directory leaves no lock file behind, and every writer of the target can open it. Runs
    // that reach one file through different links meet at the directory that holds the file.
    std::string file;
    try {
      file = FinalTarget(path);
    } catch (...) {
      return nullptr;
    }
    const int fd = ::open(DirectoryOf(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    while (::flock(fd, exclusive ? LOCK_EX : LOCK_SH) != 0) {
      if (errno != EINTR) {
        ::close(fd);
        return nullptr;
      }
    }
    return std::make_unique<PosixDirectoryLock>(fd);
  }

  std::string CurrentDirectory() override {
    std::string buf(PATH_MAX, '\0');
    while (::getcwd(buf.data(), buf.size()) == nullptr) {
      if (errno == ENOENT) throw DetailedError(kErrPathNotFound, "the current directory has been removed");
      if (errno != ERANGE) throw FileError(errno, "the current directory");
      buf.resize(buf.size() * 2);
    }
    buf.resize(std::char_traits<char>::length(buf.c_str()));
    return buf;
  }
};

}  // namespace

FileSystem& RealFileSystem() {
  static PosixFileSystem fs;
  return fs;
}

}  // namespace tidemill
