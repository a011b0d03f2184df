#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "common/Program.h"
#include "common/WindowsApi.h"

namespace tidemill {

std::string ExecutablePath(const std::string& argv0) {
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return argv0;
    if (n < buf.size()) return Utf8(std::wstring_view(buf.data(), n));
    buf.resize(buf.size() * 2);
  }
}

std::optional<std::string> ProcessCommandLine() {
  // The program name is skipped as the system's own start-up code does: quoted up to the next
  // quote, else up to the first blank or tab; then the blanks after it.
  const wchar_t* p = ::GetCommandLineW();
  if (*p == L'"') {
    ++p;
    while (*p != L'\0' && *p != L'"') ++p;
    if (*p == L'"') ++p;
  } else {
    while (*p != L'\0' && *p != L' ' && *p != L'\t') ++p;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  return Utf8(p);
}

void PrepareStandardStreams() {
  // Plans and messages are written as the same bytes as on Linux; UTF-8 is the console's
  // code page for them.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  ::SetConsoleOutputCP(CP_UTF8);
}

}  // namespace tidemill
