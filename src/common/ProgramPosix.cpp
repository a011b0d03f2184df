#include <signal.h>
#include <unistd.h>

#include <climits>

#include "common/Program.h"

namespace tidemill {

std::string ExecutablePath(const std::string& argv0) {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : argv0;
}

std::optional<std::string> ProcessCommandLine() { return std::nullopt; }

void PrepareStandardStreams() {
  // A pipe whose reader has gone (standard output, a pipe named as an output) fails the write
  // with EPIPE, which is reported like any write error, instead of ending the run unseen.
  ::signal(SIGPIPE, SIG_IGN);
}

}  // namespace tidemill
