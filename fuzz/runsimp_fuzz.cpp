// Rewrites arbitrary bytes as a run-simulation file and checks that only the fourth data line
// changed: the file split at CR LF (an empty last line after a final one) before and after has
// the same lines but that one, which holds the period. The first 8 bytes choose the dates.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "converters/RunSimpFile.h"
#include "diagnostics/MessageBox.h"

namespace {

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  if (text.empty()) return lines;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find("\r\n", start);
    lines.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) return lines;
    start = end + 2;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/dev/shm/runsimp_fuzz_" + std::to_string(::getpid()) + ".sim";
  static tidemill::ScopedMessageBoxHandler quiet([](std::string_view, int32_t, std::string_view) {});
  if (size < 8) return 0;
  int32_t days[2];
  std::memcpy(days, data, sizeof days);
  const std::string_view before(reinterpret_cast<const char*>(data) + 8, size - 8);
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(before.data(), static_cast<std::streamsize>(before.size()));
  tidemill::WriteRunSimpFile(path, days[0] % 4000000, days[1] % 4000000 + 0.5);
  std::ostringstream read;
  read << std::ifstream(path, std::ios::binary).rdbuf();
  const std::string after = read.str();
  const std::vector<std::string_view> old = Lines(before), now = Lines(after);
  if (old.size() != now.size()) std::abort();
  int dataLines = 0;
  for (std::size_t i = 0; i < old.size(); ++i) {
    const std::size_t first = old[i].find_first_not_of(' ');
    const bool period = (first == std::string_view::npos || old[i][first] != '*') && ++dataLines == 4;
    if (period ? now[i].empty() || now[i][0] != ' ' : now[i] != old[i]) std::abort();
  }
  return 0;
}
