#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fstream>
#include <thread>
#include <cstdlib>
#include <filesystem>

#include "common/Error.h"
#include "support/FaultyFileSystem.h"
#include "support/Platform.h"

namespace tidemill::testing {

bool PosixOnlyRow(const char*) { return false; }

std::string MakeTemporaryDirectory() {
  std::string path = (std::filesystem::temp_directory_path() / "tidemill-test-XXXXXX").string();
  if (::mkdtemp(path.data()) == nullptr) throw Error(kErrPathNotFound, "cannot create a temporary directory");
  return path;
}

void SetEnvironment(const char* name, const char* value) {
  if (value != nullptr) {
    ::setenv(name, value, 1);
  } else {
    ::unsetenv(name);
  }
}

Started StartTidemill(const std::string& dir, const std::vector<std::string>& args, const std::string& out,
                      const std::string& err, bool removeDir, bool unprivileged) {
  unprivileged = unprivileged && ::geteuid() == 0;
  std::vector<std::string> all{TIDEMILL_EXE};
  if (unprivileged) {
    // A copy that user nobody can run, wherever the build lies.
    static const TempDir copy;
    all[0] = copy.File("tidemill");
    std::filesystem::permissions(copy.Path(), std::filesystem::perms(0755));
    std::filesystem::copy_file(TIDEMILL_EXE, all[0], std::filesystem::copy_options::skip_existing);
  }
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int in = ::open("/dev/null", O_RDONLY);
    const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in >= 0 && o >= 0 && e >= 0 && ::dup2(in, 0) == 0 && ::dup2(o, 1) == 1 && ::dup2(e, 2) == 2 &&
        ::chdir(dir.c_str()) == 0 && (!removeDir || ::rmdir(dir.c_str()) == 0)) {
      const gid_t groups[] = {4321};
      if (unprivileged && (::setgroups(1, groups) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(126);
      ::alarm(120);  // kept across exec
      ::execv(argv[0], argv.data());
    }
    ::_exit(127);
  }
  return {pid};
}

int WaitFor(Started run) {
  int status = 0;
  if (::waitpid(static_cast<pid_t>(run.id), &status, 0) < 0) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::shared_ptr<void> HoldExclusively(const std::string&) { return nullptr; }

bool MakeNamedPipe(const std::string& path) { return ::mkfifo(path.c_str(), 0600) == 0; }

bool MakeNullDevice(const std::string& path) { return ::mknod(path.c_str(), S_IFCHR | 0666, ::makedev(1, 3)) == 0; }

std::string ModeAndInode(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return "<missing>";
  return std::to_string(st.st_mode) + " " + std::to_string(st.st_ino);
}

void ReleaseNamedPipeReader(const std::string& path) { ::close(::open(path.c_str(), O_WRONLY | O_NONBLOCK)); }

void ReleaseNamedPipe(const std::string& path) { ::close(::open(path.c_str(), O_RDONLY | O_NONBLOCK)); }

void FeedNamedPipe(const std::string& path, const std::string& bytes, bool late, const std::atomic<bool>& done) {
  if (!late) {
    std::ofstream(path, std::ios::binary) << bytes;
    return;
  }
  int fd;
  while ((fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK)) < 0 && errno == ENXIO && !done) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (fd < 0) return;
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  EXPECT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  ::close(fd);
}

std::string OwnerAndMode(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return "<missing>";
  return std::to_string(st.st_mode & 07777) + " " + std::to_string(st.st_uid) + ":" + std::to_string(st.st_gid);
}

void SetOwnerAndMode(const std::string& path, unsigned mode, int owner, int group) {
  // The owner first: a change of owner clears the set-ID bits.
  if (::geteuid() == 0) {
    EXPECT_EQ(::chown(path.c_str(), owner, group), 0);
  }
  ::chmod(path.c_str(), mode);
}

std::string ProcessOwner() { return std::to_string(::geteuid()) + ":" + std::to_string(::getegid()); }

std::string ErrorUnderFileSizeLimit(long long limit, const std::function<void()>& write) {
  rlimit before{};
  if (::getrlimit(RLIMIT_FSIZE, &before) != 0) return "getrlimit failed";
  rlimit limited = before;
  limited.rlim_cur = static_cast<rlim_t>(limit);
  const auto handler = std::signal(SIGXFSZ, SIG_IGN);  // the write fails instead
  if (::setrlimit(RLIMIT_FSIZE, &limited) != 0) return "setrlimit failed";
  const std::string error = ErrorOf(write);
  ::setrlimit(RLIMIT_FSIZE, &before);
  std::signal(SIGXFSZ, handler);
  return error;
}

}  // namespace tidemill::testing
