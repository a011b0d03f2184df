#include "external/KelFileAccess.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <tuple>
#include <unordered_map>

#include "common/DateTime.h"
#include "common/Endian.h"
#include "common/Error.h"
#include "common/FileSystem.h"
#include "common/Memory.h"
#include "common/Numbers.h"
#include "common/Paths.h"
#include "common/Text.h"

namespace tidemill {

// History file, little-endian, text padded with blanks:
//   0               160 bytes  title, four lines of 40 characters
//   160             int32 P    parameters
//   164             int32 L    locations
//   168             20 x P     parameter names
//   168 + 20P       24 x L     per location: int32 number (1 .. L), name of 20 characters
//   H = 168+20P+24L T records  int32 time offset t, then L x P float32, location-major
// A map file has no location block (H = 168 + 20P); its locations are named "1" .. "L".
// Title line 4 is the time reference, at fixed columns:
//   "T0: yyyy.mm.dd hh:mm:ss  (scu=       1s)"   (columns 31-38: the unit in seconds)
// The instant of a record is T0 + t x scu seconds.

namespace {

constexpr std::size_t kTitleLine = 40;
constexpr std::size_t kTitleBytes = 4 * kTitleLine;
constexpr std::size_t kCountsEnd = kTitleBytes + 8;
constexpr std::size_t kNameBytes = 20;
constexpr std::size_t kLocationEntry = 4 + kNameBytes;
// Records are moved through a buffer of about this size.
constexpr std::size_t kChunkBytes = std::size_t{1} << 20;

std::string Bytes(uint64_t n) { return IntegerText(static_cast<int64_t>(n)) + (n == 1 ? " byte" : " bytes"); }

// A padded name as the program holds it: trailing blanks removed, valid UTF-8.
std::string NameOf(const char* field) {
  std::string_view name(field, kNameBytes);
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  return LegacyToUtf8(name);
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

struct Header {
  std::string path;
  int32_t parameters = 0;
  int32_t locations = 0;
  std::vector<std::string> parameterNames;
  std::vector<std::string> locationNames;
  int64_t t0Seconds = 0;  // the reference, in whole seconds since the day-count epoch
  int64_t scu = 1;
  uint64_t headerBytes = 0;
  uint64_t recordBytes = 0;
  int32_t times = 0;
};

Error PastEnd(const std::string& path, const std::string& detail) {
  return DetailedError(kErrPastEndOfFile, path + " " + detail);
}

// The reference of title line 4; error 13 naming the line when it is not one.
void ParseReference(std::string_view line, Header& h) {
  const auto bad = [&](const char* what) {
    return DetailedError(kErrTypeMismatch, "title line 4 of " + h.path + " holds no time reference, " + what +
                                               ": " + Quoted(line));
  };
  const auto digits = [&](std::size_t at, std::size_t n) -> int64_t {
    int64_t v = 0;
    for (std::size_t k = at; k < at + n; ++k) {
      if (line[k] < '0' || line[k] > '9') throw bad("T0: yyyy.mm.dd hh:mm:ss and the unit in seconds at columns 31 to 38");
      v = v * 10 + (line[k] - '0');
    }
    return v;
  };
  if (line.substr(0, 4) != "T0: " || line[8] != '.' || line[11] != '.' || line[14] != ' ' || line[17] != ':' ||
      line[20] != ':' || line.substr(23, 7) != "  (scu=" || line.substr(38, 2) != "s)") {
    throw bad("T0: yyyy.mm.dd hh:mm:ss and the unit in seconds at columns 31 to 38");
  }
  const int64_t year = digits(4, 4), month = digits(9, 2), day = digits(12, 2);
  const int64_t hour = digits(15, 2), minute = digits(18, 2), second = digits(21, 2);
  const auto days = static_cast<int64_t>(DateSerial(year, month, day));
  const CalendarTime c = ToCalendar(static_cast<double>(days));
  if (month < 1 || month > 12 || c.day != day || hour > 23 || minute > 59 || second > 59) {
    throw bad("no such date and time");
  }
  std::string_view scu = line.substr(30, 8);
  while (!scu.empty() && scu.front() == ' ') scu.remove_prefix(1);
  h.scu = 0;
  for (const char ch : scu) {
    if (ch < '0' || ch > '9') h.scu = -1;
    if (h.scu >= 0) h.scu = h.scu * 10 + (ch - '0');
  }
  if (h.scu <= 0) throw bad("the time unit is not a positive whole number of seconds");
  h.t0Seconds = days * 86400 + hour * 3600 + minute * 60 + second;
}

// Reads and checks everything before the records; nothing is allocated from a count before the
// count has been checked against the file's size.
Header ReadHeader(InputFile& file, const std::string& path) {
  Header h;
  h.path = path;
  const uint64_t size = file.Size();
  char fixed[kCountsEnd];
  if (size < kCountsEnd || file.Read(fixed, kCountsEnd) != kCountsEnd) {
    throw PastEnd(path, "holds " + Bytes(size) + "; a Kel header needs at least " + Bytes(kCountsEnd));
  }
  h.parameters = LoadLittleInt32(fixed + kTitleBytes);
  h.locations = LoadLittleInt32(fixed + kTitleBytes + 4);
  if (h.parameters < 0 || h.locations < 0) {
    throw DetailedError(kErrSubscript, path + " claims " + IntegerText(h.parameters) + " parameters and " +
                                           IntegerText(h.locations) + " locations");
  }
  const bool map = IsKelMapFile(path);
  // A map file's locations are known only by their values: without parameters nothing in the
  // file bounds their count.
  if (map && h.parameters == 0 && h.locations > 0) {
    throw DetailedError(kErrSubscript, path + " claims " + IntegerText(h.locations) + " locations and no parameters");
  }
  const auto P = static_cast<uint64_t>(h.parameters), L = static_cast<uint64_t>(h.locations);
  h.headerBytes = kCountsEnd + kNameBytes * P + (map ? 0 : kLocationEntry * L);
  h.recordBytes = 4 + 4 * L * P;
  const std::string claims = "claims " + IntegerText(h.parameters) + " parameters and " + IntegerText(h.locations) +
                             " locations, a header of " + Bytes(h.headerBytes);
  if (size < h.headerBytes) throw PastEnd(path, "holds " + Bytes(size) + " but " + claims);
  const uint64_t recordsBytes = size - h.headerBytes;
  if (recordsBytes == 0) throw PastEnd(path, "holds " + Bytes(size) + ": it " + claims + " and no time record");
  if (recordsBytes % h.recordBytes != 0) {
    throw PastEnd(path, "holds " + Bytes(size) + ": after " + claims + ", " + Bytes(recordsBytes) +
                            " are no whole number of time records of " + Bytes(h.recordBytes));
  }
  if (recordsBytes / h.recordBytes > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) {
    throw DetailedError(kErrOverflow, path + " holds more than 2147483647 time records");
  }
  h.times = static_cast<int32_t>(recordsBytes / h.recordBytes);
  ParseReference(std::string_view(fixed + 3 * kTitleLine, kTitleLine), h);

  std::string names(static_cast<std::size_t>(h.headerBytes - kCountsEnd), '\0');
  if (file.Read(names.data(), names.size()) != names.size()) {
    throw PastEnd(path, "ended while its names were read");
  }
  h.parameterNames.reserve(P);
  for (uint64_t p = 0; p < P; ++p) h.parameterNames.push_back(NameOf(names.data() + p * kNameBytes));
  h.locationNames.reserve(L);
  for (uint64_t l = 0; l < L; ++l) {
    if (map) {
      h.locationNames.push_back(IntegerText(static_cast<int64_t>(l + 1)));
      continue;
    }
    const char* entry = names.data() + P * kNameBytes + l * kLocationEntry;
    const int32_t number = LoadLittleInt32(entry);
    if (static_cast<uint64_t>(number) != l + 1) {
      throw DetailedError(kErrTypeMismatch, path + " gives location " + IntegerText(static_cast<int64_t>(l + 1)) +
                                                " the number " + IntegerText(number) + " at byte " +
                                                IntegerText(static_cast<int64_t>(kCountsEnd + P * kNameBytes +
                                                                                 l * kLocationEntry)));
    }
    h.locationNames.push_back(NameOf(entry + 4));
  }
  return h;
}

// Position in the file of each requested name (names compared without regard to case, the
// first of equal names counting); error 9 naming one the file does not hold.
std::vector<int32_t> Positions(const std::vector<std::string>& names, const std::vector<std::string>& wanted,
                               const char* what, const std::string& path) {
  std::unordered_map<std::string, int32_t> index;
  for (std::size_t i = 0; i < names.size(); ++i) index.emplace(LowerAscii(names[i]), static_cast<int32_t>(i));
  std::vector<int32_t> positions;
  positions.reserve(wanted.size());
  for (const std::string& name : wanted) {
    const auto found = index.find(LowerAscii(name));
    if (found == index.end()) throw DetailedError(kErrSubscript, std::string(what) + " " + Quoted(name) + " not found in " + path);
    positions.push_back(found->second);
  }
  return positions;
}

// What a read fills, as the caller holds it.
struct Arrays {
  std::vector<float>& values;
  int32_t& locationCount;
  int32_t& parameterCount;
  int32_t& timeCount;
  std::vector<std::string>& locationIDs;
  std::vector<std::string>& parameterIDs;
  std::vector<double>& times;
};

// Fills out with the chosen locations and parameters of every record, streaming the records
// through a buffer of a few records.
void ReadRecords(InputFile& file, const Header& h, const std::vector<int32_t>& locations,
                 const std::vector<int32_t>& parameters, const Arrays& out) {
  const std::size_t T = static_cast<std::size_t>(h.times);
  const std::size_t seriesCount = locations.size() * parameters.size();
  out.locationIDs.clear();
  out.parameterIDs.clear();
  for (const int32_t l : locations) out.locationIDs.push_back(h.locationNames[static_cast<std::size_t>(l)]);
  for (const int32_t p : parameters) out.parameterIDs.push_back(h.parameterNames[static_cast<std::size_t>(p)]);
  out.times.assign(T, 0.0);
  out.values.clear();
  ReserveLargeBuffer(out.values, seriesCount * T);
  out.values.resize(seriesCount * T);
  out.locationCount = static_cast<int32_t>(locations.size());
  out.parameterCount = static_cast<int32_t>(parameters.size());
  out.timeCount = h.times;

  const std::size_t recordFloats = static_cast<std::size_t>(h.recordBytes / 4);
  const std::size_t perChunk = std::max<std::size_t>(1, kChunkBytes / static_cast<std::size_t>(h.recordBytes));
  std::vector<float> chunk(perChunk * recordFloats);
  // The file's float index of each series of the block, in block order.
  std::vector<std::size_t> source;
  source.reserve(seriesCount);
  for (const int32_t l : locations) {
    for (const int32_t p : parameters) {
      source.push_back(1 + static_cast<std::size_t>(l) * static_cast<std::size_t>(h.parameters) +
                       static_cast<std::size_t>(p));
    }
  }
  float* values = out.values.data();
  for (std::size_t first = 0; first < T; first += perChunk) {
    const std::size_t n = std::min(perChunk, T - first);
    const std::size_t bytes = n * static_cast<std::size_t>(h.recordBytes);
    if (file.Read(chunk.data(), bytes) != bytes) {
      throw PastEnd(h.path, "ended at time record " + IntegerText(static_cast<int64_t>(first + 1)) +
                                " of " + IntegerText(h.times) + ": it shrank while being read");
    }
    for (std::size_t r = 0; r < n; ++r) {
      const float* record = chunk.data() + r * recordFloats;
      const int32_t t = LoadLittleInt32(reinterpret_cast<const char*>(record));
      out.times[first + r] = static_cast<double>(h.t0Seconds + t * h.scu) / 86400.0;
      SwapLittleFloats(chunk.data() + r * recordFloats + 1, recordFloats - 1);
    }
    // A run of n values of one series at a time: the block is written in order, the records
    // gathered from the buffer.
    for (std::size_t s = 0; s < source.size(); ++s) {
      float* run = values + s * T + first;
      const float* in = chunk.data() + source[s];
      for (std::size_t r = 0; r < n; ++r) run[r] = in[r * recordFloats];
    }
  }
}

// A name in its fixed field: cut to 20 bytes at a character boundary, padded with blanks.
void PutName(char* field, std::string_view name) {
  const std::string_view cut = CutToBytes(name, kNameBytes);
  std::memset(field, ' ', kNameBytes);
  std::memcpy(field, cut.data(), cut.size());
}

// Refuses names that the cut to 20 bytes makes equal, as a reader would compare them.
void CheckDistinct(const std::vector<std::string>& names, int32_t count, const char* what, const std::string& path) {
  std::unordered_map<std::string, int32_t> seen;
  for (int32_t i = 0; i < count; ++i) {
    std::string_view cut = CutToBytes(names[static_cast<std::size_t>(i)], kNameBytes);
    while (!cut.empty() && cut.back() == ' ') cut.remove_suffix(1);
    const auto [at, fresh] = seen.emplace(LowerAscii(cut), i + 1);
    if (!fresh) {
      throw DetailedError(kErrInvalidCall, std::string(what) + "s " + IntegerText(at->second) + " " +
                                               Quoted(names[static_cast<std::size_t>(at->second - 1)]) + " and " +
                                               IntegerText(i + 1) + " " + Quoted(names[static_cast<std::size_t>(i)]) +
                                               " both become " + Quoted(cut) + " in the 20 characters of " + path);
    }
  }
}

std::string TitleLine(std::string_view text) {
  std::string line(CutToBytes(text, kTitleLine));
  line.resize(kTitleLine, ' ');
  return line;
}

// "T0: yyyy.mm.dd hh:mm:ss  (scu=       1s)" for the reference t0 (whole seconds).
std::string ReferenceLine(double startTime, const std::string& path) {
  const CalendarTime c = ToCalendar(startTime);
  if (c.year < 0 || c.year > 9999) {
    throw DetailedError(kErrOverflow, "the start time " + DateTimeText(startTime) + " has no four-digit year for " + path);
  }
  char buf[64];
  char* p = buf;
  std::memcpy(p, "T0: ", 4);
  p = AppendDateText(c, p + 4);
  *p++ = ' ';
  p = AppendTimeText(c, p);
  std::string line(buf, p);
  std::replace(line.begin(), line.end(), '-', '.');
  return line + "  (scu=       1s)";
}

// Error 9 unless no count is negative, at least one time is given and the arrays hold every
// index the counts name.
void CheckArrays(const std::vector<float>& values, int32_t L, int32_t P, int32_t T,
                 const std::vector<std::string>& locationIDs, const std::vector<std::string>& parameterIDs,
                 const std::vector<double>& times, const std::string& path) {
  const auto fail = [&](const std::string& what) { return DetailedError(kErrSubscript, what + " for " + path); };
  if (L < 0 || P < 0 || T < 1) {
    throw fail(IntegerText(L) + " locations, " + IntegerText(P) + " parameters and " + IntegerText(T) + " times");
  }
  const auto [l, p, t] = std::tuple{static_cast<uint64_t>(L), static_cast<uint64_t>(P), static_cast<uint64_t>(T)};
  using Wide = unsigned __int128;  // no product of three counts wraps around
  if (locationIDs.size() < l || parameterIDs.size() < p || times.size() < t || Wide(l) * p * t > values.size()) {
    throw fail("arrays shorter than " + IntegerText(L) + " x " + IntegerText(P) + " x " + IntegerText(T));
  }
}

class KelFile : public KelFileAccess {
 public:
  void OpenFiles(const std::string& fileName, const std::string&, bool, bool) override { fileName_ = fileName; }

  KelFileItem FileItem(int16_t index) override {
    if (index != 1) throw DetailedError(kErrSubscript, "file item " + IntegerText(index) + ", only item 1 exists");
    return {FileExists(fileName_)};
  }

  int32_t ReadAll(std::vector<float>& values, int32_t& locationCount, int32_t& parameterCount, int32_t& timeCount,
                  const std::string& fileName, std::vector<std::string>& locationIDs,
                  std::vector<std::string>& parameterIDs, std::vector<double>& times) override {
    const auto file = Fs().OpenRead(fileName);
    const Header h = ReadHeader(*file, fileName);
    ReadRecords(*file, h, Sequence(h.locations), Sequence(h.parameters),
                {values, locationCount, parameterCount, timeCount, locationIDs, parameterIDs, times});
    return 0;
  }

  int32_t ReadSelected(std::vector<float>& values, int32_t& locationCount, int32_t& parameterCount,
                       int32_t& timeCount, const std::string& fileName, const std::vector<std::string>& locationNames,
                       const std::vector<std::string>& parameterNames, std::vector<std::string>& locationIDs,
                       std::vector<std::string>& parameterIDs, std::vector<double>& times) override {
    const auto file = Fs().OpenRead(fileName);
    const Header h = ReadHeader(*file, fileName);
    ReadRecords(*file, h, Positions(h.locationNames, locationNames, "Location", fileName),
                Positions(h.parameterNames, parameterNames, "Parameter", fileName),
                {values, locationCount, parameterCount, timeCount, locationIDs, parameterIDs, times});
    return 0;
  }

  int32_t WriteAll(const std::vector<float>& values, int32_t L, int32_t P, int32_t T, const std::string& fileName,
                   const std::vector<std::string>& locationIDs, const std::vector<std::string>& parameterIDs,
                   const std::vector<double>& times, const std::array<std::string, 3>& titles, double startTime,
                   double, const std::vector<std::string>&, const std::vector<std::string>&) override {
    const bool map = IsKelMapFile(fileName);
    CheckArrays(values, L, P, T, locationIDs, parameterIDs, times, fileName);
    CheckDistinct(locationIDs, L, "location", fileName);
    CheckDistinct(parameterIDs, P, "parameter", fileName);
    const int64_t t0 = ToWholeSeconds(startTime);
    std::vector<int32_t> offsets(static_cast<std::size_t>(T));
    for (std::size_t t = 0; t < offsets.size(); ++t) {
      const int64_t seconds = ToWholeSeconds(times[t]) - t0;
      if (seconds < std::numeric_limits<int32_t>::min() || seconds > std::numeric_limits<int32_t>::max()) {
        throw DetailedError(kErrOverflow, "time " + IntegerText(static_cast<int64_t>(t + 1)) + ", " +
                                              DateTimeText(times[t]) + ", lies " + IntegerText(seconds) +
                                              " seconds from the start " + DateTimeText(startTime) +
                                              ", beyond the 32 bits of " + fileName);
      }
      offsets[t] = static_cast<int32_t>(seconds);
    }

    std::string header;
    for (const std::string& title : titles) header += TitleLine(title);
    header += ReferenceLine(startTime, fileName);
    header.resize(kCountsEnd + kNameBytes * static_cast<std::size_t>(P) +
                  (map ? 0 : kLocationEntry * static_cast<std::size_t>(L)));
    StoreLittleInt32(header.data() + kTitleBytes, P);
    StoreLittleInt32(header.data() + kTitleBytes + 4, L);
    char* at = header.data() + kCountsEnd;
    for (int32_t p = 0; p < P; ++p, at += kNameBytes) PutName(at, parameterIDs[static_cast<std::size_t>(p)]);
    for (int32_t l = 0; !map && l < L; ++l, at += kLocationEntry) {
      StoreLittleInt32(at, l + 1);
      PutName(at + 4, locationIDs[static_cast<std::size_t>(l)]);
    }

    AtomicFile out(fileName);
    out.Write(header);
    const std::size_t series = static_cast<std::size_t>(L) * static_cast<std::size_t>(P);
    const std::size_t recordFloats = 1 + series;
    const std::size_t perChunk = std::max<std::size_t>(1, kChunkBytes / (4 * recordFloats));
    const std::size_t count = static_cast<std::size_t>(T);
    std::vector<float> chunk(std::min(perChunk, count) * recordFloats);
    const float* data = values.data();
    for (std::size_t first = 0; first < count; first += perChunk) {
      const std::size_t n = std::min(perChunk, count - first);
      for (std::size_t r = 0; r < n; ++r) {
        StoreLittleInt32(reinterpret_cast<char*>(chunk.data() + r * recordFloats), offsets[first + r]);
      }
      // A run of n values of one series at a time, scattered over the records of the chunk.
      for (std::size_t s = 0; s < series; ++s) {
        const float* in = data + s * count + first;
        float* outValue = chunk.data() + 1 + s;
        for (std::size_t r = 0; r < n; ++r) outValue[r * recordFloats] = in[r];
      }
      for (std::size_t r = 0; r < n; ++r) SwapLittleFloats(chunk.data() + r * recordFloats + 1, series);
      out.Write(chunk.data(), n * recordFloats * 4);
    }
    out.Commit();
    return 0;
  }

 private:
  static std::vector<int32_t> Sequence(int32_t count) {
    std::vector<int32_t> all(static_cast<std::size_t>(count));
    for (int32_t i = 0; i < count; ++i) all[static_cast<std::size_t>(i)] = i;
    return all;
  }

  std::string fileName_;
};

ScopedKelFileAccessFactory::Factory& CurrentFactory() {
  static ScopedKelFileAccessFactory::Factory factory;
  return factory;
}

}  // namespace

std::unique_ptr<KelFileAccess> CreateKelFileAccess() {
  if (CurrentFactory()) return CurrentFactory()();
  return std::make_unique<KelFile>();
}

ScopedKelFileAccessFactory::ScopedKelFileAccessFactory(Factory factory) : previous_(std::move(CurrentFactory())) {
  CurrentFactory() = std::move(factory);
}

ScopedKelFileAccessFactory::~ScopedKelFileAccessFactory() { CurrentFactory() = std::move(previous_); }

bool IsKelMapFile(const std::string& fileName) {
  return fileName.size() >= 4 && EqualsNoCase(std::string_view(fileName).substr(fileName.size() - 4), ".map");
}

}  // namespace tidemill
