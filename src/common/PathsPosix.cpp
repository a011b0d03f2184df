#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/Paths.h"
#include "common/Text.h"

namespace tidemill {

bool FileExists(const std::string& path) {
  if (TrimBlanks(path).empty()) return false;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  return ::faccessat(AT_FDCWD, path.c_str(), R_OK, AT_EACCESS) == 0;
}

}  // namespace tidemill
