// Writes the Kel samples: samples/river.kel (history file), samples/river.map (map file) and
// samples/kel-table.ini (a conversion table for river.kel).
//   make_kel_samples [samples directory]   (default: samples)
#include <fstream>

#include "KelFiles.h"

using tidemill::bench::KelContent;

int main(int argc, char** argv) {
  const std::string dir = argc > 1 ? argv[1] : "samples";

  // Three locations, three substances, six hourly records with the offsets in minutes.
  KelContent kel;
  kel.titles[0] = "Limnex water quality, river reach";
  kel.titles[1] = "Sample history file";
  kel.titles[2] = "Made by make_kel_samples";
  kel.reference = "2024.03.01 00:00:00";
  kel.scu = 60;
  kel.parameters = {"Oxygen", "Nitrate", "Temperature"};
  kel.locations = {"Outlet", "Weir", "Bridge"};
  kel.offsets = {0, 60, 120, 180, 240, 300};
  kel.value = [](int32_t l, int32_t p, int32_t t) {
    static const float base[3] = {8.5f, 2.25f, 11.f};
    return base[p - 1] + 0.5f * static_cast<float>(l - 1) + 0.125f * static_cast<float>(t - 1);
  };
  tidemill::bench::WriteKelFile(dir + "/river.kel", kel);

  // Four numbered locations, two substances, three records that are not equidistant.
  KelContent map;
  map.titles[0] = "Limnex water quality, lake segments";
  map.titles[1] = "Sample map file";
  map.titles[2] = "Made by make_kel_samples";
  map.reference = "2024.03.01 06:00:00";
  map.scu = 1;
  map.parameters = {"Chlorophyll", "Oxygen"};
  map.locations = {"", "", "", ""};
  map.map = true;
  map.offsets = {0, 3600, 10800};
  map.value = [](int32_t l, int32_t p, int32_t t) {
    return static_cast<float>(10 * l + p) + 0.25f * static_cast<float>(t - 1);
  };
  tidemill::bench::WriteKelFile(dir + "/river.map", map);

  // Two locations of river.kel, renamed and in another order; two of its substances, the
  // first named in other letter case.
  std::ofstream(dir + "/kel-table.ini", std::ios::binary)
      << "[Locations]\r\nNumberOfLocations=2\r\n1 KelLocation=Weir\r\n1 XMLLocation=H-WEIR\r\n"
         "2 KelLocation=Outlet\r\n\r\n"
         "[Parameters]\r\nNumberOfParameters=2\r\n1 KelParameter=temperature\r\n1 XMLParameter=T.water\r\n"
         "2 KelParameter=Oxygen\r\n2 XMLParameter=O2\r\n";
  return 0;
}
