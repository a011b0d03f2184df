#include "common/Program.h"

#include "common/Paths.h"

namespace tidemill {

namespace {

std::string g_argv0;

}  // namespace

// The path of the running executable, from the system or else argv[0].
std::string ExecutablePath(const std::string& argv0);

void SetArgv0(const char* argv0) { g_argv0 = argv0 != nullptr ? argv0 : ""; }

const std::string& ExecutableName() {
  static const std::string name = SplitPath(ExecutablePath(g_argv0)).baseName;
  return name;
}

std::string VersionText() {
  return std::to_string(TIDEMILL_VERSION_MAJOR) + "." + std::to_string(TIDEMILL_VERSION_MINOR) + "." +
         std::to_string(TIDEMILL_VERSION_PATCH);
}

}  // namespace tidemill
