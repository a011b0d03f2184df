// Writes Kel history and map files byte by byte, apart from the program's own Kel writer, so
// that samples and benchmark inputs also check the program's reader against the layout.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace tidemill::bench {

struct KelContent {
  std::string titles[3];
  std::string reference;  // "yyyy.mm.dd hh:mm:ss"
  int32_t scu = 1;        // seconds per unit of the time offsets
  std::vector<std::string> parameters;
  std::vector<std::string> locations;  // history file: the names; map file: only their number counts
  bool map = false;
  std::vector<int32_t> offsets;  // one time record per offset
  std::function<float(int32_t l, int32_t p, int32_t t)> value;  // all from 1
};

// Little-endian host assumed, as on every machine this runs on.
inline void WriteKelFile(const std::string& path, const KelContent& content) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) {
    std::perror(path.c_str());
    std::exit(1);
  }
  const auto put = [&](const void* data, std::size_t size) {
    if (std::fwrite(data, 1, size, f) != size) {
      std::perror(path.c_str());
      std::exit(1);
    }
  };
  const auto text = [&](const std::string& s, std::size_t width) {
    std::string field = s.substr(0, width);
    field.resize(width, ' ');
    put(field.data(), width);
  };
  const auto int32 = [&](int32_t v) { put(&v, 4); };
  // Title lines 1-3, then line 4: the reference and the unit at fixed columns.
  for (const std::string& t : content.titles) text(t, 40);
  char unit[16];
  std::snprintf(unit, sizeof unit, "%8d", content.scu);
  text("T0: " + content.reference + "  (scu=" + unit + "s)", 40);
  const auto P = static_cast<int32_t>(content.parameters.size());
  const auto L = static_cast<int32_t>(content.locations.size());
  int32(P);
  int32(L);
  for (const std::string& name : content.parameters) text(name, 20);
  for (int32_t l = 1; !content.map && l <= L; ++l) {
    int32(l);
    text(content.locations[static_cast<std::size_t>(l - 1)], 20);
  }
  // Records: the offset, then the values location-major.
  std::vector<float> record(static_cast<std::size_t>(L) * static_cast<std::size_t>(P));
  for (std::size_t t = 0; t < content.offsets.size(); ++t) {
    int32(content.offsets[t]);
    for (int32_t l = 1; l <= L; ++l) {
      for (int32_t p = 1; p <= P; ++p) {
        record[static_cast<std::size_t>((l - 1) * P + (p - 1))] = content.value(l, p, static_cast<int32_t>(t + 1));
      }
    }
    put(record.data(), record.size() * 4);
  }
  if (std::fclose(f) != 0) {
    std::perror(path.c_str());
    std::exit(1);
  }
}

// A history file of L locations, P parameters and T hourly times, for benchmarks.
inline void WriteHourlyKelFile(const std::string& path, const std::string& title, int L, int P, int T) {
  KelContent content;
  content.titles[0] = title;
  content.reference = "2024.01.01 00:00:00";
  content.scu = 3600;
  for (int p = 1; p <= P; ++p) content.parameters.push_back("Substance" + std::to_string(p));
  for (int l = 1; l <= L; ++l) content.locations.push_back("Location" + std::to_string(l));
  for (int t = 0; t < T; ++t) content.offsets.push_back(t);
  content.value = [](int32_t l, int32_t p, int32_t t) { return static_cast<float>((l * 37 + p * 11 + t) % 10000) / 16.0f; };
  WriteKelFile(path, content);
}

}  // namespace tidemill::bench
