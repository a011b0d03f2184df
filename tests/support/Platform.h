// What the tests need of the system, one source per platform.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/Paths.h"

namespace tidemill::testing {

inline constexpr bool kOnWindows = kHostPathStyle == PathStyle::Windows;

// Skips a row or test that only means something on POSIX, with the reason shown.
#define TIDEMILL_POSIX_ONLY(reason) \
  if (::tidemill::testing::kOnWindows) GTEST_SKIP() << "POSIX only: " << reason

// False; on Windows true, telling the reason, for rows of a test that only mean something on POSIX.
bool PosixOnlyRow(const char* reason);

// A new, empty directory under the system's temporary directory.
std::string MakeTemporaryDirectory();

// Sets an environment variable for this process and the programs it starts; nullptr removes it.
void SetEnvironment(const char* name, const char* value);

// A started tidemill: its exit status, or 128 + signal, once it has ended.
struct Started {
  long long id;
};
// Starts tidemill with the arguments in directory dir, no standard input, its standard output
// and error to the files out and err. removeDir deletes dir once it is the program's current
// directory (POSIX only); unprivileged runs it as user nobody, in groups nobody and 4321, when the
// tests run as root (POSIX only). On POSIX a run is killed after two minutes, so that a hang fails.
Started StartTidemill(const std::string& dir, const std::vector<std::string>& args, const std::string& out,
                      const std::string& err, bool removeDir = false, bool unprivileged = false);
int WaitFor(Started run);

// Windows only: holds path open, sharing nothing, until the result is destroyed.
std::shared_ptr<void> HoldExclusively(const std::string& path);

// POSIX only: a named pipe, and letting go of one whose reader never came; a file's "mode uid:gid"; the owner, group and mode of a file; the
// process's "uid:gid"; the error of write under a limit on the size of files.
bool MakeNamedPipe(const std::string& path);
// A character device like /dev/null (root only); a file's "mode inode"; letting go of a reader.
bool MakeNullDevice(const std::string& path);
std::string ModeAndInode(const std::string& path);
void ReleaseNamedPipeReader(const std::string& path);
void ReleaseNamedPipe(const std::string& path);
// Writes bytes into the named pipe path; late: only once a reader holds it open (or done is set).
void FeedNamedPipe(const std::string& path, const std::string& bytes, bool late, const std::atomic<bool>& done);
std::string OwnerAndMode(const std::string& path);
void SetOwnerAndMode(const std::string& path, unsigned mode, int owner, int group);
std::string ProcessOwner();
std::string ErrorUnderFileSizeLimit(long long limit, const std::function<void()>& write);

}  // namespace tidemill::testing
