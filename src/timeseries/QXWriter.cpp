#include "timeseries/QXWriter.h"

#include <bit>
#include <cstring>
#include <vector>

#include "common/DateTime.h"
#include "common/Error.h"
#include "common/FileSystem.h"
#include "common/Numbers.h"
#include "diagnostics/ReportMessage.h"
#include "driver/Paths.h"
#include "timeseries/QXNames.h"
#include "timeseries/XmlWriter.h"

namespace tidemill {

namespace {

constexpr const char* kProcedure = "Write_QX_XML_File";
constexpr const char* kErrorClassName = "clsWriteOrvaQXTimeSeries";

// "date" and "time" attribute texts of one instant.
struct Stamp {
  std::string date;
  std::string time;
};

Stamp StampOf(double dateTime) {
  const CalendarTime t = ToCalendar(dateTime);
  char buf[64];
  Stamp s;
  s.date.assign(buf, AppendDateText(t, buf));
  s.time.assign(buf, AppendTimeText(t, buf));
  return s;
}

void WriteStampElement(XmlWriter& w, const char* name, const Stamp& s) {
  w.StartElement(name);
  w.RawAttribute("date", s.date);
  w.RawAttribute("time", s.time);
  w.EndElement();
}

// Upper bound of the document's size, so the buffer is allocated once.
std::size_t EstimateSize(const SeriesBlock& block, std::size_t series, bool events) {
  std::size_t ids = 0;
  for (int32_t l = 1; l <= block.lLocationCount; ++l) ids += block.LocationID(l).size() * block.lParameterCount;
  for (int32_t p = 1; p <= block.lParameterCount; ++p) ids += block.ParameterID(p).size() * block.lLocationCount;
  // An escaped character takes at most 6 bytes ("&quot;"); a header's fixed markup about 400.
  std::size_t size = 1024 + ids * 6 + series * 512;
  if (events) {
    // <event date="yyyy-mm-dd" time="hh:mm:ss" value="..."/> on its own indented line.
    size += series * static_cast<std::size_t>(block.lTimeCount) * (48 + kMaxNumberText);
  }
  return size;
}

// The values of the written series as little-endian singles, in the order of the XML file.
class SideFileData {
 public:
  SideFileData(const SeriesBlock& block) : block_(block) {}

  void Add(int32_t l, int32_t p) {
    const auto run = block_.Series(l, p);
    // Series follow each other in the block exactly as they are written, so as long as no pair
    // is skipped the block's own array is the side file's contents.
    if (gathered_.empty() && run.data() == block_.sngValues.data() + contiguous_) {
      contiguous_ += run.size();
      return;
    }
    if (gathered_.empty()) {
      gathered_.reserve(block_.ValueCount());
      gathered_.assign(block_.sngValues.data(), block_.sngValues.data() + contiguous_);
    }
    gathered_.insert(gathered_.end(), run.begin(), run.end());
  }

  void WriteTo(AtomicFile& file) {
    std::span<const float> values = gathered_.empty() ? std::span<const float>(block_.sngValues.data(), contiguous_)
                                                      : std::span<const float>(gathered_);
    if constexpr (std::endian::native == std::endian::big) {
      std::vector<uint32_t> swapped(values.size());
      for (std::size_t i = 0; i < values.size(); ++i) {
        const auto u = std::bit_cast<uint32_t>(values[i]);
        swapped[i] = (u >> 24) | ((u >> 8) & 0xFF00u) | ((u << 8) & 0xFF0000u) | (u << 24);
      }
      file.Write(swapped.data(), swapped.size() * sizeof(uint32_t));
    } else {
      file.Write(values.data(), values.size_bytes());
    }
  }

 private:
  const SeriesBlock& block_;
  std::size_t contiguous_ = 0;   // values taken straight from the block
  std::vector<float> gathered_;  // a copy, once a pair has been skipped
};

}  // namespace

std::optional<int64_t> EquidistantStep(std::span<const double> times) {
  if (times.size() < 2) return std::nullopt;
  int64_t previous = ToWholeSeconds(times[1]);
  const int64_t step = previous - ToWholeSeconds(times[0]);
  // A step of 0 cannot rebuild the instants: a reader divides the period by it.
  if (step == 0) return std::nullopt;
  for (std::size_t i = 2; i < times.size(); ++i) {
    const int64_t current = ToWholeSeconds(times[i]);
    if (current - previous != step) return std::nullopt;
    previous = current;
  }
  return step;
}

bool clsOrvaQXTimeSeries::Write_QX_XML_File(const std::string& FileName, const SeriesBlock& block,
                                             int32_t SeriesType, bool& WriteBinary, const Selection* selection,
                                             std::string& ErrorMessage) {
  try {
    block.CheckShape();
    if (FileName.empty()) {
      throw Error(kErrBadFileName, std::string(StandardDescription(kErrBadFileName)) + ": no output file name");
    }
    const std::string sideFile = SiblingPath(FileName, ".bin");
    if (SplitPath(FileName).extension == "bin") {
      // The side file would be the XML file itself.
      throw Error(kErrPathFileAccess,
                  std::string(StandardDescription(kErrPathFileAccess)) + ": " + FileName + " is its own side file");
    }

    const std::span<const double> times(block.dtTimes.data(), static_cast<std::size_t>(block.lTimeCount));
    const std::optional<int64_t> step = EquidistantStep(times);
    if (!step) WriteBinary = false;
    const bool binary = WriteBinary;
    if (binary) {
      ReportMessage("Not in debugMode, so writing QX file with binary data section", kStyleInformation, "",
                    kLevelDetail);
    } else {
      ReportMessage("DebugMode is true, so writing QX file without binary data section", kStyleInformation, "",
                    kLevelDetail);
    }

    // An empty block (no location or no parameter) gives a "TimeSeries" without series and, in
    // binary form, an empty side file: 4 bytes per written value, none here.
    const std::size_t T = static_cast<std::size_t>(block.lTimeCount);
    std::vector<Stamp> stamps;
    if (!binary) {
      stamps.reserve(T);
      for (const double t : times) stamps.push_back(StampOf(t));
    }
    Stamp first, last;
    if (T > 0) {
      first = binary ? StampOf(times.front()) : stamps.front();
      last = binary ? StampOf(times.back()) : stamps.back();
    }
    const std::string multiplier = step ? IntegerText(*step) : std::string();

    std::size_t written = 0;
    for (int32_t l = 1; l <= block.lLocationCount; ++l) {
      for (int32_t p = 1; p <= block.lParameterCount; ++p) {
        if (selection == nullptr || selection->HasPair(block.LocationID(l), block.ParameterID(p))) ++written;
      }
    }

    std::string document;
    document.reserve(EstimateSize(block, written, !binary));
    SideFileData side(block);
    XmlWriter w(document);
    w.StartDocument();
    w.StartElement("TimeSeries");
    w.Attribute("xmlns", kQXNamespace);
    w.Attribute("xmlns:xsi", kXsiNamespace);
    w.Attribute("xsi:schemaLocation", kTimeSeriesSchemaLocation);
    w.Attribute("version", "1.2");
    for (int32_t l = 1; l <= block.lLocationCount; ++l) {
      for (int32_t p = 1; p <= block.lParameterCount; ++p) {
        const std::string& location = block.LocationID(l);
        const std::string& parameter = block.ParameterID(p);
        if (selection != nullptr && !selection->HasPair(location, parameter)) continue;
        if (T == 0) block.Time(1);  // raises: a series needs its start time
        w.StartElement("series");
        w.StartElement("header");
        if (SeriesType == kSeriesTypeAccumulative) {
          w.SimpleElement("type", "Accumulative");
        } else if (SeriesType == kSeriesTypeInstantaneous) {
          w.SimpleElement("type", "instantaneous");
        }
        w.SimpleElement("locationId", location);
        w.SimpleElement("parameterId", parameter);
        w.StartElement("timeStep");
        if (step) {
          w.RawAttribute("unit", "second");
          w.RawAttribute("multiplier", multiplier);
        } else {
          w.RawAttribute("unit", "nonequidistant");
        }
        w.EndElement();
        WriteStampElement(w, "startDate", first);
        WriteStampElement(w, "endDate", last);
        w.SimpleElement("missVal", "-999.99");
        w.EndElement();  // header
        if (binary) {
          side.Add(l, p);
        } else {
          const float* values = block.Series(l, p).data();
          for (std::size_t t = 0; t < T; ++t) {
            char number[kMaxNumberText];
            w.StartElement("event");
            w.RawAttribute("date", stamps[t].date);
            w.RawAttribute("time", stamps[t].time);
            w.RawAttribute("value", std::string_view(number, AppendNumberText(values[t], number)));
            w.EndElement();
          }
        }
        w.EndElement();  // series
      }
    }
    w.EndDocument();

    // Both files are written and made durable before either replaces its target. The side
    // file goes first, so the XML never appears without the values it refers to.
    std::optional<AtomicFile> sideOut;
    if (binary) {
      sideOut.emplace(sideFile);
      side.WriteTo(*sideOut);
      sideOut->Close();
    }
    AtomicFile xmlOut(FileName);
    xmlOut.Write(document);
    xmlOut.Close();
    if (sideOut) sideOut->Commit();
    try {
      xmlOut.Commit();
    } catch (...) {
      // The new values must not stay beside the old XML, which would read them as its own.
      if (binary) Fs().Remove(sideFile);
      throw;
    }
    // An old side file would lend its values to the new XML; it goes only once the new XML is
    // in place, so a failed write leaves the old pair intact. A failed removal is no failure.
    if (!binary) Fs().Remove(sideFile);

    ErrorMessage.clear();
    return true;
  } catch (...) {
    ErrorMessage = ClassErrorText(CurrentError(), kProcedure, kErrorClassName);
    return false;
  }
}

}  // namespace tidemill
