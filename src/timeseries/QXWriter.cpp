#include "timeseries/QXWriter.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

#include "common/DateTime.h"
#include "common/Endian.h"
#include "common/Error.h"
#include "common/FileSystem.h"
#include "common/Memory.h"
#include "common/Numbers.h"
#include "common/Paths.h"
#include "common/QXNames.h"
#include "common/XmlWriter.h"
#include "diagnostics/Plan.h"
#include "diagnostics/ReportMessage.h"
#include "diagnostics/RunState.h"

namespace tidemill {

namespace {

constexpr const char* kProcedure = "Write_QX_XML_File";
constexpr const char* kErrorClassName = "clsWriteOrvaQXTimeSeries";

// "date" and "time" attribute texts of one instant.
struct Stamp {
  std::string date;
  std::string time;
};

// Error 6 for an instant whose year does not fit the four characters a reader takes it from
// (-999 to 9999): written wider, it would read back as another date.
Stamp StampOf(double dateTime) {
  const CalendarTime t = ToCalendar(dateTime);
  if (t.year < -999 || t.year > 9999) {
    throw DetailedError(kErrOverflow, "the year " + IntegerText(t.year) + " of " + DateTimeText(dateTime) +
                                          " does not fit the four characters of a date");
  }
  char buf[64];
  Stamp s;
  s.date.assign(buf, AppendDateText(t, buf));
  s.time.assign(buf, AppendTimeText(t, buf));
  return s;
}

// The start of every event element of one time, from its line start up to the value's text,
// formatted once for all series. Each sits in a slot of its own so that the hot loop copies a
// fixed number of bytes.
class EventHeads {
 public:
  EventHeads() = default;
  EventHeads(std::span<const double> times, std::string_view lineStart)
      : slot_((lineStart.size() + kLongestHead + 15) / 16 * 16) {
    ReserveLargeBuffer(text_, times.size() * slot_);
    lengths_.reserve(times.size());
    std::string head;
    for (const double t : times) {
      const Stamp s = StampOf(t);
      head.assign(lineStart);
      head += "<event date=\"";
      head += s.date;
      head += "\" time=\"";
      head += s.time;
      head += "\" value=\"";
      if (head.size() > slot_) throw Error(kErrOverflow);  // no calendar date is that long
      text_ += head;
      text_.append(slot_ - head.size(), ' ');
      lengths_.push_back(head.size());
    }
    line_.resize(slot_ + kMaxNumberText + 3);
  }

  // <event date="yyyy-mm-dd" time="hh:mm:ss" value="number"/> of time t, with its line start.
  std::string_view Event(std::size_t t, float value) {
    char* line = line_.data();
    const char* head = text_.data() + t * slot_;
    if (slot_ == 64) {
      std::memcpy(line, head, 64);  // a copy of fixed size is a few moves
    } else {
      std::memcpy(line, head, lengths_[t]);
    }
    char* end = AppendNumberText(value, line + lengths_[t]);
    std::memcpy(end, "\"/>", 3);
    return std::string_view(line, static_cast<std::size_t>(end + 3 - line));
  }

 private:
  // <event date="" time="" value=" with the longest date a calendar gives ("-" and a year of
  // ten digits, ToWholeSeconds' range) and a time.
  static constexpr std::size_t kLongestHead = 13 + 17 + 8 + 8 + 9;

  std::size_t slot_ = 0;
  std::string text_;
  std::vector<std::size_t> lengths_;
  std::vector<char> line_;
};

void WriteStampElement(XmlWriter& w, const char* name, const Stamp& s) {
  w.StartElement(name);
  w.RawAttribute("date", s.date);
  w.RawAttribute("time", s.time);
  w.EndElement();
}

// The document on its way to its file: built in a buffer that goes to the file each time it
// holds a few megabytes, so that a document of any size needs no more memory than that. Without
// a file (a run that only plans) the document is made and dropped.
class DocumentOutput {
 public:
  explicit DocumentOutput(AtomicFile* file) : file_(file) { ReserveLargeBuffer(text_, kBlock + kBlock / 8); }
  std::string& Text() { return text_; }
  // Passes the buffer on once it holds a block.
  void Spill() {
    if (text_.size() >= kBlock) Flush();
  }
  void Flush() {
    if (file_ != nullptr) file_->Write(text_);
    text_.clear();
  }

 private:
  static constexpr std::size_t kBlock = std::size_t{4} << 20;
  AtomicFile* file_;
  std::string text_;
};

// Events are written in runs of this many between checks of the buffer.
constexpr std::size_t kEventRun = 1024;

// The values of the written series as little-endian singles, in the order of the XML file.
class SideFileData {
 public:
  explicit SideFileData(const SeriesBlock& block) : block_(block) {}

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
      std::vector<float> swapped(values.begin(), values.end());
      SwapLittleFloats(swapped.data(), swapped.size());
      file.Write(swapped.data(), swapped.size() * sizeof(float));
    } else {
      file.Write(values.data(), values.size_bytes());
    }
  }

 private:
  const SeriesBlock& block_;
  std::size_t contiguous_ = 0;   // values taken straight from the block
  std::vector<float> gathered_;  // a copy, once a pair has been skipped
};

bool IsSeriesSelected(const Selection* selection, const std::string& locationID, const std::string& parameterID) {
  return selection == nullptr || selection->HasPair(locationID, parameterID);
}

// What every series of a block shares in its header.
struct HeaderShared {
  int32_t seriesType = 0;
  std::optional<int64_t> step;  // seconds, when the times are equidistant
  std::string multiplier;       // the step as text
  Stamp first;                  // time 1
  Stamp last;                   // time T
};

void WriteHeader(XmlWriter& w, const HeaderShared& shared, const std::string& location, const std::string& parameter) {
  w.StartElement("header");
  if (shared.seriesType == kSeriesTypeAccumulative) {
    w.SimpleElement("type", "Accumulative");
  } else if (shared.seriesType == kSeriesTypeInstantaneous) {
    w.SimpleElement("type", "instantaneous");
  }
  w.SimpleElement("locationId", location);
  w.SimpleElement("parameterId", parameter);
  w.StartElement("timeStep");
  if (shared.step) {
    w.RawAttribute("unit", "second");
    w.RawAttribute("multiplier", shared.multiplier);
  } else {
    w.RawAttribute("unit", "nonequidistant");
  }
  w.EndElement();
  WriteStampElement(w, "startDate", shared.first);
  WriteStampElement(w, "endDate", shared.last);
  w.SimpleElement("missVal", "-999.99");
  w.EndElement();
}

// Writes the XML document of the selected series to out; in binary form their values go to
// side instead of "event" elements.
void WriteDocument(const SeriesBlock& block, int32_t seriesType, const std::optional<int64_t>& step,
                   const Selection* selection, SideFileData* side, DocumentOutput& out) {
  const std::span<const double> times(block.dtTimes.data(), static_cast<std::size_t>(block.lTimeCount));
  HeaderShared shared;
  shared.seriesType = seriesType;
  shared.step = step;
  if (step) shared.multiplier = IntegerText(*step);
  if (!times.empty()) {
    shared.first = StampOf(times.front());
    shared.last = StampOf(times.back());
  }
  // Events stand in "series" in "TimeSeries", at depth 2.
  EventHeads heads;
  if (side == nullptr) heads = EventHeads(times, XmlWriter::LineStart(2));

  XmlWriter w(out.Text());
  w.StartDocument();
  StartQXRoot(w, "TimeSeries", kTimeSeriesSchemaLocation);
  // Location by location, and for each location parameter by parameter.
  for (int32_t l = 1; l <= block.lLocationCount; ++l) {
    for (int32_t p = 1; p <= block.lParameterCount; ++p) {
      const std::string& location = block.LocationID(l);
      const std::string& parameter = block.ParameterID(p);
      if (!IsSeriesSelected(selection, location, parameter)) continue;
      if (times.empty()) block.Time(1);  // error 9: a series needs time 1 for its start date
      w.StartElement("series");
      WriteHeader(w, shared, location, parameter);
      if (side != nullptr) {
        side->Add(l, p);
      } else {
        const float* values = block.Series(l, p).data();
        for (std::size_t first = 0; first < times.size(); first += kEventRun) {
          const std::size_t end = std::min(times.size(), first + kEventRun);
          for (std::size_t t = first; t < end; ++t) w.RawElement(heads.Event(t, values[t]));
          out.Spill();
        }
      }
      w.EndElement();
      out.Spill();
    }
  }
  w.EndDocument();
  out.Flush();
}

// Completes the XML file written to xmlOut and, when side is given, writes its side file;
// removes an old side file in XML form. Either file may be reached through a symbolic link: the
// files the links name are replaced or removed, the links stay.
void SaveFiles(AtomicFile& xmlOut, const std::string& sideFile, SideFileData* side) {
  // A device or a pipe has no side file beside it to write or remove.
  if (xmlOut.Straight()) {
    xmlOut.Commit();
    return;
  }
  const std::string sideTarget = Fs().FinalTarget(sideFile);
  // Both files are written and made durable before either replaces its target. The side file
  // goes first, so the XML never appears without the values it refers to.
  std::optional<AtomicFile> sideOut;
  if (side != nullptr) {
    sideOut.emplace(sideFile);
    side->WriteTo(*sideOut);
    sideOut->Close();
  }
  xmlOut.Close();
  // Runs that replace or read the pair do it under this lock, so none of them sees the XML of
  // one run beside the side file of another.
  const auto lock = Fs().LockDirectoryOf(xmlOut.Target(), true);
  if (sideOut) sideOut->Commit();
  try {
    xmlOut.Commit();
  } catch (...) {
    // The new values must not stay beside the old XML, which would read them as its own.
    if (sideOut && !sideOut->Straight()) Fs().Remove(sideTarget);
    throw;
  }
  // An old side file would lend its values to the new XML; it goes only once the new XML is in
  // place, so a failed write leaves the old pair intact. A failed removal is no failure.
  // The XML may be that file itself, by another name; a device or a pipe is never removed.
  if (!sideOut && !SameFile(sideTarget, xmlOut.Target()) && !WritesStraight(sideTarget)) Fs().Remove(sideTarget);
}

// "output: <file>, <n> series, binary form, values in <side file> (...)" or "..., XML form (why)".
std::string OutputPlanLine(const std::string& fileName, const std::string& sideFile, const SeriesBlock& block,
                           const Selection* selection, bool binaryAsked, const std::optional<int64_t>& step,
                           bool straight, bool writeBinary) {
  int64_t series = 0;
  for (int32_t l = 1; l <= block.lLocationCount; ++l) {
    for (int32_t p = 1; p <= block.lParameterCount; ++p) {
      series += IsSeriesSelected(selection, block.LocationID(l), block.ParameterID(p)) ? 1 : 0;
    }
  }
  std::string line = "output: " + fileName + ", " + IntegerText(series) + " series, ";
  if (writeBinary) {
    return line + "binary form, values in " + sideFile + " (times equidistant, step " + IntegerText(*step) + " s)";
  }
  line += "XML form (";
  if (!binaryAsked) return line + "debug mode)";
  if (straight) return line + "not a regular file)";
  if (block.lTimeCount < 2) return line + "fewer than 2 times)";
  return line + (step ? "every time the same)" : "times not equidistant)");
}

}  // namespace

std::optional<int64_t> EquidistantStep(std::span<const double> times) {
  if (times.size() < 2) return std::nullopt;
  int64_t previous = ToWholeSeconds(times[1]);
  const int64_t step = previous - ToWholeSeconds(times[0]);
  // The multiplier is read back as a 32-bit number; a wider step could not be.
  if (step < std::numeric_limits<int32_t>::min() || step > std::numeric_limits<int32_t>::max()) return std::nullopt;
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
      throw DetailedError(kErrBadFileName, "no output file name");
    }
    const std::string sideFile = SiblingPath(FileName, ".bin");

    const std::optional<int64_t> step =
        EquidistantStep(std::span<const double>(block.dtTimes.data(), static_cast<std::size_t>(block.lTimeCount)));
    // Repeated times (a step of 0) are written as equidistant, but a side file of them could not
    // be read back: the reader divides the period by the step.
    const bool binaryAsked = WriteBinary;
    // A device or a pipe takes the XML form: its side file would be a new file beside it.
    const bool straight = WritesStraight(FileName);
    if (!step || *step == 0 || straight) WriteBinary = false;
    if (WriteBinary && SameFile(sideFile, FileName)) {
      throw DetailedError(kErrPathFileAccess, FileName + " would be its own side file");
    }
    if (WriteBinary) {
      ReportMessage("Not in debugMode, so writing QX file with binary data section", kStyleInformation, "",
                    kLevelDetail);
    } else {
      ReportMessage("DebugMode is true, so writing QX file without binary data section", kStyleInformation, "",
                    kLevelDetail);
    }

    // An empty block (no location or no parameter) gives a "TimeSeries" without series and, in
    // binary form, an empty side file (4 bytes for each value written, none here); a reader
    // ignores an empty side file, so both forms read back as no series at all.
    SideFileData side(block);
    SideFileData* values = WriteBinary ? &side : nullptr;
    if (PlanMode) {
      // Made as for the file, so that a plan meets the same errors; then dropped.
      DocumentOutput dropped(nullptr);
      WriteDocument(block, SeriesType, step, selection, values, dropped);
      AddPlanLine(PlanTimesLine("times", std::span<const double>(block.dtTimes.data(),
                                                                 static_cast<std::size_t>(block.lTimeCount))));
      AddPlanLine(OutputPlanLine(FileName, sideFile, block, selection, binaryAsked, step, straight, WriteBinary));
      ErrorMessage.clear();
      return true;
    }
    // The XML goes to its temporary file as it is made; nothing replaces a target before the end.
    AtomicFile xmlOut(FileName);
    DocumentOutput document(&xmlOut);
    WriteDocument(block, SeriesType, step, selection, values, document);
    SaveFiles(xmlOut, sideFile, values);

    ErrorMessage.clear();
    return true;
  } catch (...) {
    ErrorMessage = ClassErrorText(CurrentError(), kProcedure, kErrorClassName);
    return false;
  }
}

}  // namespace tidemill
