#include "common/Program.h"

#include <unistd.h>

#include <climits>

namespace tidemill {

namespace {

std::string g_argv0;

std::string BaseNameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const auto dot = name.find('.');
  if (dot != std::string::npos) name.resize(dot);
  return name;
}

}  // namespace

void SetArgv0(const char* argv0) { g_argv0 = argv0 != nullptr ? argv0 : ""; }

const std::string& ExecutableName() {
  static const std::string name = [] {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) return BaseNameOf(std::string(buf, static_cast<std::size_t>(n)));
    return BaseNameOf(g_argv0);
  }();
  return name;
}

std::string VersionText() {
  return std::to_string(TIDEMILL_VERSION_MAJOR) + "." + std::to_string(TIDEMILL_VERSION_MINOR) + "." +
         std::to_string(TIDEMILL_VERSION_PATCH);
}

}  // namespace tidemill
