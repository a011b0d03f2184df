// Reads a conversion table of many keys with clsReadIniSection and looks every key up.
// Usage: bench_ini [keys] (100000 when omitted); prints the seconds taken.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/FileSystem.h"
#include "config/ProfileString.h"
#include "config/ReadIniSection.h"

using namespace tidemill;

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::string KeyName(long i) { return "LOC" + std::to_string(1000000 + i); }

}  // namespace

int main(int argc, char** argv) {
  const long keys = argc > 1 ? std::atol(argv[1]) : 100000;
  if (keys < 1) return 2;

  // Another section before and after the wanted one, as in a real table.
  std::string table = "[Parameters]\r\nQ=Discharge\r\nH=Water level\r\n[Locations]\r\n";
  for (long i = 0; i < keys; ++i) table += KeyName(i) + " = Station " + std::to_string(i) + "\r\n";
  table += "[Parameters - tmsFiles]\r\nQ=flow.tms\r\n";
  const std::string path = "/tmp/bench_ini_" + std::to_string(::getpid()) + ".ini";
  WriteFileAtomically(path, table);

  const auto start = std::chrono::steady_clock::now();
  clsReadIniSection reader;
  reader.File(path);
  reader.Section("locations");
  reader.ReadSection(true);
  const double readSeconds = Seconds(start);

  const auto lookStart = std::chrono::steady_clock::now();
  long found = 0;
  for (long i = 0; i < keys; ++i) {
    if (!reader.GetKey(KeyName(i), "").empty()) ++found;
  }
  const double lookSeconds = Seconds(lookStart);
  const double totalSeconds = Seconds(start);

  // One profile read of the last key passes through the whole section.
  const auto profileStart = std::chrono::steady_clock::now();
  const std::string last = ReadIniString("Locations", KeyName(keys - 1), "", path);
  const double profileSeconds = Seconds(profileStart);
  Fs().Remove(path);

  std::printf("keys %ld, file %.1f MB, found %ld\n", keys, static_cast<double>(table.size()) / 1e6, found);
  std::printf("ReadSection       %.4f s\n", readSeconds);
  std::printf("GetKey, every key %.4f s\n", lookSeconds);
  std::printf("total             %.4f s\n", totalSeconds);
  std::printf("ReadIniString, last key %.4f s\n", profileSeconds);
  return found == keys && !last.empty() ? 0 : 1;
}
