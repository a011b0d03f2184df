#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "common/Error.h"
#include "common/WindowsApi.h"
#include "external/ArgTokenizer.h"
#include "support/Platform.h"

namespace tidemill::testing {

bool PosixOnlyRow(const char* reason) {
  std::printf("[ POSIX ONLY ] rows not run on Windows: %s\n", reason);
  return true;
}

std::string MakeTemporaryDirectory() {
  static std::mt19937_64 random{std::random_device{}() ^ ::GetCurrentProcessId()};
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("tidemill-test-" + std::to_string(random() % 1000000000));
    if (::CreateDirectoryW(path.wstring().c_str(), nullptr)) return path.string();
  }
  throw Error(kErrPathNotFound, "cannot create a temporary directory");
}

void SetEnvironment(const char* name, const char* value) {
  // Both the C runtime's copy (read by this process) and the system's (inherited by children).
  ::_putenv_s(name, value != nullptr ? value : "");
  ::SetEnvironmentVariableA(name, value);
}

namespace {

HANDLE Inheritable(const std::string& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return ::CreateFileW(Utf16(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

Started StartTidemill(const std::string& dir, const std::vector<std::string>& args, const std::string& out,
                      const std::string& err, bool, bool) {
  // The program splits its command line with ArgTokenizer, so the line is joined as it splits.
  std::wstring line = Utf16("\"" + std::string(TIDEMILL_EXE) + "\" " + JoinCommandLine(args));
  STARTUPINFOW start{};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdInput = Inheritable("NUL", GENERIC_READ, OPEN_EXISTING);
  start.hStdOutput = Inheritable(out, GENERIC_WRITE, CREATE_ALWAYS);
  start.hStdError = Inheritable(err, GENERIC_WRITE, CREATE_ALWAYS);
  PROCESS_INFORMATION process{};
  const BOOL started = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        Utf16(dir).c_str(), &start, &process);
  for (HANDLE h : {start.hStdInput, start.hStdOutput, start.hStdError}) ::CloseHandle(h);
  if (!started) return {-1};
  ::CloseHandle(process.hThread);
  return {reinterpret_cast<long long>(process.hProcess)};
}

int WaitFor(Started run) {
  if (run.id == -1) return -1;
  const auto process = reinterpret_cast<HANDLE>(run.id);
  ::WaitForSingleObject(process, INFINITE);
  DWORD status = 0;
  ::GetExitCodeProcess(process, &status);
  ::CloseHandle(process);
  return static_cast<int>(status);
}

std::shared_ptr<void> HoldExclusively(const std::string& path) {
  const HANDLE h = ::CreateFileW(Utf16(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(h, INVALID_HANDLE_VALUE) << path;
  return std::shared_ptr<void>(h, [](HANDLE held) { ::CloseHandle(held); });
}

bool MakeNamedPipe(const std::string&) { return false; }
void ReleaseNamedPipe(const std::string&) {}
bool MakeNullDevice(const std::string&) { return false; }
std::string ModeAndInode(const std::string&) { return {}; }
void ReleaseNamedPipeReader(const std::string&) {}
void FeedNamedPipe(const std::string&, const std::string&, bool, const std::atomic<bool>&) {}
std::string OwnerAndMode(const std::string&) { return {}; }
void SetOwnerAndMode(const std::string&, unsigned, int, int) {}
std::string ProcessOwner() { return {}; }
std::string ErrorUnderFileSizeLimit(long long, const std::function<void()>&) { return {}; }

}  // namespace tidemill::testing
