#include <windows.h>

#include "common/Paths.h"
#include "common/Text.h"
#include "common/WindowsApi.h"

namespace tidemill {

bool FileExists(const std::string& path) {
  if (TrimBlanks(path).empty()) return false;
  // Shared as an ordinary reader shares: a writer elsewhere does not hide the file, an
  // exclusive holder does. A directory cannot be opened this way.
  const HANDLE h = OpenShared(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL);
  if (h == INVALID_HANDLE_VALUE) return false;
  return ::CloseHandle(h) != 0;
}

}  // namespace tidemill
