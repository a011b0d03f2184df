// Writes a block of 20 series x 100,000 hourly events as QX-XML, in XML form and in binary
// form, and compares the time with writing and copying the same number of bytes plainly.
// Usage: bench_qx_write [runs]   (the best of the runs is reported, default 5)

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/DateTime.h"
#include "common/FileSystem.h"
#include "common/Paths.h"
#include "diagnostics/MessageBox.h"
#include "timeseries/QXWriter.h"

using namespace tidemill;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

// The real file system, timing what the output files spend in Write and in Close (fsync).
class TimingFileSystem : public FileSystem {
 public:
  double createSeconds = 0;
  double writeSeconds = 0;
  double closeSeconds = 0;
  double renameSeconds = 0;

  std::unique_ptr<InputFile> OpenRead(const std::string& path) override { return real_.OpenRead(path); }
  std::string FinalTarget(const std::string& path) override { return real_.FinalTarget(path); }
  std::unique_ptr<OutputFile> CreateTemporary(const std::string& target, std::string& temporaryPath) override {
    const auto start = Clock::now();
    auto file = real_.CreateTemporary(target, temporaryPath);
    createSeconds += Seconds(start);
    return std::make_unique<Output>(std::move(file), *this);
  }
  void Rename(const std::string& from, const std::string& to) override {
    const auto start = Clock::now();
    real_.Rename(from, to);
    renameSeconds += Seconds(start);
  }
  bool Remove(const std::string& path) override { return real_.Remove(path); }
  std::unique_ptr<OutputFile> OpenStraight(const std::string& path) override { return real_.OpenStraight(path); }
  std::optional<FileIdentity> Identify(const std::string& path) override { return real_.Identify(path); }
  std::optional<uint64_t> FileSize(const std::string& path) override { return real_.FileSize(path); }
  std::string CurrentDirectory() override { return real_.CurrentDirectory(); }

 private:
  class Output : public OutputFile {
   public:
    Output(std::unique_ptr<OutputFile> file, TimingFileSystem& fs) : file_(std::move(file)), fs_(fs) {}
    void Write(const void* data, std::size_t size) override {
      const auto start = Clock::now();
      file_->Write(data, size);
      fs_.writeSeconds += Seconds(start);
    }
    void Close() override {
      const auto start = Clock::now();
      file_->Close();
      fs_.closeSeconds += Seconds(start);
    }

   private:
    std::unique_ptr<OutputFile> file_;
    TimingFileSystem& fs_;
  };
  FileSystem& real_ = RealFileSystem();
};

SeriesBlock MakeBlock() {
  constexpr int32_t L = 4, P = 5, T = 100000;
  SeriesBlock block(L, P, T);
  for (int32_t l = 1; l <= L; ++l) block.LocationID(l) = "Location" + std::to_string(l);
  for (int32_t p = 1; p <= P; ++p) block.ParameterID(p) = "Parameter" + std::to_string(p);
  const double start = DateSerial(2004, 1, 1);
  for (int32_t t = 1; t <= T; ++t) block.Time(t) = start + (t - 1) / 24.0;
  // Values of the usual 5 to 7 significant digits, a missing value now and then.
  std::size_t i = 0;
  for (float& v : block.sngValues) {
    v = (i % 997 == 0) ? kMissingValue : static_cast<float>(120.0 + 80.0 * std::sin(static_cast<double>(i) * 1e-3));
    ++i;
  }
  return block;
}

struct Run {
  double seconds = 1e300;
  double createSeconds = 0;
  double writeSeconds = 0;
  double closeSeconds = 0;
  double renameSeconds = 0;
};

Run WriteBlock(const SeriesBlock& block, const std::string& path, bool binary, int runs) {
  Run best;
  for (int r = 0; r < runs; ++r) {
    // A new file each time, as for the plain write and cat below; replacing an old file of this
    // size costs its removal on top (about 0.05 s here for the XML form).
    std::filesystem::remove(path);
    std::filesystem::remove(SiblingPath(path, ".bin"));
    TimingFileSystem timing;
    ScopedFileSystem scoped(timing);
    bool writeBinary = binary;
    std::string error;
    const auto start = Clock::now();
    const bool ok = clsOrvaQXTimeSeries().Write_QX_XML_File(path, block, kSeriesTypeInstantaneous, writeBinary,
                                                            nullptr, error);
    const double seconds = Seconds(start);
    if (!ok || writeBinary != binary) {
      std::fprintf(stderr, "write failed: %s\n", error.c_str());
      std::exit(1);
    }
    if (seconds < best.seconds) {
      best = {seconds, timing.createSeconds, timing.writeSeconds, timing.closeSeconds, timing.renameSeconds};
    }
  }
  return best;
}

// A plain write() of size bytes to a new file, with or without fsync.
double PlainWrite(const std::string& path, const std::string& data, bool sync, int runs) {
  double best = 1e300;
  for (int r = 0; r < runs; ++r) {
    std::filesystem::remove(path);
    const auto start = Clock::now();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::size_t done = 0;
    while (done < data.size()) {
      const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
      if (n <= 0) std::exit(1);
      done += static_cast<std::size_t>(n);
    }
    if (sync) ::fsync(fd);
    ::close(fd);
    best = std::min(best, Seconds(start));
  }
  return best;
}

double Cat(const std::string& from, const std::string& to, int runs) {
  double best = 1e300;
  const std::string command = "cat '" + from + "' > '" + to + "'";
  for (int r = 0; r < runs; ++r) {
    std::filesystem::remove(to);
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0) std::exit(1);
    best = std::min(best, Seconds(start));
  }
  return best;
}

void Report(const char* form, const Run& run, double bytes, double unit, const char* unitName) {
  const double files = run.createSeconds + run.writeSeconds + run.closeSeconds + run.renameSeconds;
  std::printf("%s: %.4f s, %.1f MB, %.2f %s/s; without fsync %.4f s, %.2f %s/s\n", form, run.seconds, bytes / 1e6,
              bytes / unit / run.seconds, unitName, run.seconds - run.closeSeconds,
              bytes / unit / (run.seconds - run.closeSeconds), unitName);
  std::printf("  in memory %.4f s; files: create %.4f s, write %.4f s, close+fsync %.4f s (%.0f%% of all), rename %.4f s\n",
              run.seconds - files, run.createSeconds, run.writeSeconds, run.closeSeconds,
              100.0 * run.closeSeconds / run.seconds, run.renameSeconds);
}

void Compare(double seconds, double plain, double plainSync, double cat) {
  std::printf("  same bytes: plain write %.4f s (x%.2f), write+fsync %.4f s (x%.2f), cat %.4f s (x%.2f)\n", plain,
              seconds / plain, plainSync, seconds / plainSync, cat, seconds / cat);
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  char pattern[] = "/tmp/bench_qx_write-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) return 1;
  const std::filesystem::path dir = pattern;
  ScopedMessageBoxHandler quiet([](std::string_view, int32_t, std::string_view) {});

  const SeriesBlock block = MakeBlock();
  const std::string xmlPath = (dir / "xmlform.xml").string();
  const std::string binPath = (dir / "binform.xml").string();
  const Run xml = WriteBlock(block, xmlPath, false, runs);
  const Run bin = WriteBlock(block, binPath, true, runs);

  const std::string written = ReadWholeFile(xmlPath);
  const double xmlBytes = static_cast<double>(written.size());
  const double valueBytes = 4.0 * static_cast<double>(block.ValueCount());
  const double plainXml = PlainWrite((dir / "plain.xml").string(), written, false, runs);
  const double plainXmlSync = PlainWrite((dir / "plain.xml").string(), written, true, runs);
  const double catXml = Cat(xmlPath, (dir / "copy.xml").string(), runs);
  const std::string values(static_cast<std::size_t>(valueBytes), '\x42');
  const double plainBin = PlainWrite((dir / "plain.bin").string(), values, false, runs);
  const double plainBinSync = PlainWrite((dir / "plain.bin").string(), values, true, runs);
  const double catBin = Cat((dir / "binform.bin").string(), (dir / "copy.bin").string(), runs);

  std::printf("block: %d series x %d hourly events, best of %d runs\n",
              block.lLocationCount * block.lParameterCount, block.lTimeCount, runs);
  Report("XML form", xml, xmlBytes, 1e6, "MB");
  Compare(xml.seconds, plainXml, plainXmlSync, catXml);
  Report("binary form", bin, valueBytes, 1e9, "GB of values");
  Compare(bin.seconds, plainBin, plainBinSync, catBin);

  std::filesystem::remove_all(dir);
  return 0;
}
