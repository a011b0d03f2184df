// Whole runs of the executable on a large Kel history file: to QX-XML in binary form and in
// XML form, and the XML form back to Kel; each against a baseline measured in the same run
// (cat of the input, the bare libxml2 parse), with the peak memory of each run.
//   kel_bench [tidemill executable] [locations] [parameters] [times] [directory] [runs]
// Defaults: build/tidemill, 100 x 20 x 8760 hourly times (about 70 MB), a new temporary
// directory (a directory given keeps the files), best of 3 runs.
#include "BenchSupport.h"
#include "KelFiles.h"

using namespace tidemill::bench;

int main(int argc, char** argv) {
  const std::string exe = argc > 1 ? argv[1] : "build/tidemill";
  const int L = argc > 2 ? std::atoi(argv[2]) : 100;
  const int P = argc > 3 ? std::atoi(argv[3]) : 20;
  const int T = argc > 4 ? std::atoi(argv[4]) : 8760;
  const std::string dir = BenchDirectory(argc > 5 ? argv[5] : "", "kelbench");
  const int runs = argc > 6 ? std::atoi(argv[6]) : 3;
  const std::string kel = dir + "/big.kel", bin = dir + "/bin.xml", xml = dir + "/xml.xml", back = dir + "/back.kel";

  WriteHourlyKelFile(kel, "kel_bench", L, P, T);
  xmlInitParser();

  // The device's share: the same bytes copied and synced, as every output of the program is.
  const auto copySynced = [&](const std::string& from) {
    return SpawnOrExit({"dd", "if=" + from, "of=" + dir + "/copy", "bs=4M", "conv=fsync"});
  };
  Best cat, catCopy, toBinary, toXml, push, toKel, kelSynced, xmlSynced;
  for (int r = 0; r < runs; ++r) {
    cat.runs.push_back(SpawnOrExit({"cat", kel}));
    catCopy.runs.push_back(SpawnOrExit({"cat", kel}, "", dir + "/copy"));
    kelSynced.runs.push_back(copySynced(kel));
    toBinary.runs.push_back(SpawnOrExit({exe, kel, bin}));
    toXml.runs.push_back(SpawnOrExit({exe, kel, xml, "/debug"}));
    xmlSynced.runs.push_back(copySynced(xml));
    push.runs.push_back({PushParse(xml), 0, 0});
    toKel.runs.push_back(SpawnOrExit({exe, xml, back}));
  }

  const double values = 4.0 * L * P * T;
  const double limitMiB = 1.2 * values / (1 << 20) + 64;
  const double kelMB = FileMegabytes(kel), xmlMB = FileMegabytes(xml);
  std::printf("Kel file %d locations x %d parameters x %d times: %.1f MB; values %.1f MiB, memory limit %.1f MiB\n",
              L, P, T, kelMB, values / (1 << 20), limitMiB);
  std::printf("best of %d runs                              time      rate           ratio        peak memory\n", runs);
  std::printf("cat big.kel > /dev/null                    %6.3f s  %6.0f MB/s\n", cat.Seconds(), kelMB / cat.Seconds());
  std::printf("cat big.kel > copy                         %6.3f s  %6.0f MB/s\n", catCopy.Seconds(),
              kelMB / catCopy.Seconds());
  std::printf("dd big.kel to copy, fsync                  %6.3f s  %6.0f MB/s\n", kelSynced.Seconds(),
              kelMB / kelSynced.Seconds());
  std::printf("kel -> xml, binary form                    %6.3f s  %6.0f MB/s of Kel  %5.2f x cat  %7.1f MiB\n",
              toBinary.Seconds(), kelMB / toBinary.Seconds(), toBinary.Seconds() / cat.Seconds(), toBinary.PeakMiB());
  std::printf("kel -> xml, XML form (%.0f MB)            %6.3f s  %6.0f MB/s of XML               %7.1f MiB\n", xmlMB,
              toXml.Seconds(), xmlMB / toXml.Seconds(), toXml.PeakMiB());
  std::printf("dd of the XML form to copy, fsync          %6.3f s  %6.0f MB/s\n", xmlSynced.Seconds(),
              xmlMB / xmlSynced.Seconds());
  std::printf("libxml2 push parse of the XML form         %6.3f s  %6.0f MB/s\n", push.Seconds(), xmlMB / push.Seconds());
  std::printf("xml -> kel from the XML form               %6.3f s  %6.0f MB/s of XML  %5.2f x parse %7.1f MiB\n",
              toKel.Seconds(), xmlMB / toKel.Seconds(), toKel.Seconds() / push.Seconds(), toKel.PeakMiB());
  // A directory given keeps its files, for a closer look.
  if (argc <= 5) {
    for (const std::string& f : {kel, bin, dir + "/bin.bin", xml, back, dir + "/copy"}) std::remove(f.c_str());
    rmdir(dir.c_str());
  }
  return 0;
}
