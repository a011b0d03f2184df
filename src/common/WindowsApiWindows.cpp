#include <windows.h>

#include "common/WindowsApi.h"

namespace tidemill {

std::wstring Utf16(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring text(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), n);
  return text;
}

std::string Utf8(std::wstring_view utf16) {
  if (utf16.empty()) return {};
  const int n =
      ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), text.data(), n, nullptr, nullptr);
  return text;
}

void* OpenShared(const std::string& path, uint32_t access, uint32_t share, uint32_t disposition, uint32_t flags) {
  const std::wstring name = Utf16(path);
  for (int attempt = 0;; ++attempt) {
    const HANDLE h = ::CreateFileW(name.c_str(), access, share, nullptr, disposition, flags, nullptr);
    if (h != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_SHARING_VIOLATION || attempt == 40) return h;
    ::Sleep(25);
  }
}

namespace {

// The system's text for an error code, without its line end.
std::string SystemText(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
      reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text = n > 0 ? Utf8(std::wstring_view(buffer, n)) : "system error " + std::to_string(code);
  ::LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.')) {
    text.pop_back();
  }
  return text;
}

}  // namespace

Error WindowsFileError(uint32_t code, std::string_view path) {
  int32_t number;
  switch (code) {
    case ERROR_FILE_NOT_FOUND: number = kErrFileNotFound; break;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME: number = kErrPathNotFound; break;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: number = kErrPathFileAccess; break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: number = kErrPermissionDenied; break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: number = kErrDiskFull; break;
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE: number = kErrBadFileName; break;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: number = kErrOutOfMemory; break;
    default: number = kErrDeviceIO; break;
  }
  // As on Linux, the system's text only where the number alone does not tell the cause.
  std::string detail(path);
  if (number == kErrDeviceIO || number == kErrPathFileAccess) {
    detail += ": ";
    detail += SystemText(code);
  }
  return DetailedError(number, detail);
}

}  // namespace tidemill
