#include "timeseries/QXContentHandler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/DateTime.h"
#include "common/Endian.h"
#include "common/Numbers.h"
#include "common/Paths.h"
#include "common/Text.h"
#include "timeseries/QXParallelReader.h"
#include "timeseries/SAXErrorHandler.h"

namespace tidemill {

namespace {

using Field = clsQXContentHandler::Field;

struct HeaderElement {
  std::string_view name;  // lower case
  Field field;
  std::string clsSeries::*text;  // the record field of a text element
};

constexpr HeaderElement kHeaderElements[] = {
    {"type", Field::Type, &clsSeries::sType},
    {"locationid", Field::LocationId, &clsSeries::sLocationID},
    {"parameterid", Field::ParameterId, &clsSeries::sParameterID},
    {"timestep", Field::TimeStep, nullptr},
    {"startdate", Field::StartDate, nullptr},
    {"enddate", Field::EndDate, nullptr},
    {"missval", Field::MissVal, nullptr},
    {"longname", Field::LongName, &clsSeries::sLongName},
    {"stationname", Field::StationName, &clsSeries::sStationName},
    {"units", Field::Units, &clsSeries::sUnits},
    {"sourceorganisation", Field::SourceOrganisation, &clsSeries::sSourceOrganisation},
    {"sourcesystem", Field::SourceSystem, &clsSeries::sSourceSystem},
    {"filedescription", Field::FileDescription, &clsSeries::sFileDescription},
    {"region", Field::Region, &clsSeries::sRegion},
};

const HeaderElement* FindHeaderElement(std::string_view localName) {
  for (const HeaderElement& e : kHeaderElements) {
    if (EqualsNoCase(localName, e.name)) return &e;
  }
  return nullptr;
}

const HeaderElement& HeaderElementOf(Field field) { return kHeaderElements[static_cast<int>(field) - 1]; }

// The text kept for one element: libxml2's own bound on one text node of the trees it builds.
constexpr std::size_t kMostElementText = 10000000;

bool TakesText(Field field) {
  return field != Field::None && field != Field::TimeStep && field != Field::StartDate && field != Field::EndDate;
}

// A text quoted for a message, cut so that a huge attribute cannot flood the report.
std::string Quoted(std::string_view text) {
  constexpr std::size_t kShown = 40;
  const std::string_view shown = CutToChars(text, kShown);
  return "\"" + std::string(shown) + (shown.size() < text.size() ? "...\"" : "\"");
}

// The characters start to start + count - 1 (1-based, UTF-8 characters) of text, or fewer
// where the text ends.
std::string_view Mid(std::string_view text, std::size_t start, std::size_t count) {
  std::size_t i = 0;
  const auto next = [&] {
    ++i;
    while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
  };
  for (std::size_t c = 1; c < start && i < text.size(); ++c) next();
  const std::size_t begin = i;
  for (std::size_t c = 0; c < count && i < text.size(); ++c) next();
  return text.substr(begin, i - begin);
}

// A whole number at fixed positions: blanks around an optional sign and digits with at most
// one ".", rounded half to even.
int32_t FixedField(std::string_view text, std::size_t start, std::size_t count, std::string_view attribute) {
  const std::string_view field = TrimBlanks(Mid(text, start, count));
  std::size_t i = (!field.empty() && (field[0] == '+' || field[0] == '-')) ? 1 : 0;
  bool digits = false;
  bool point = false;
  for (; i < field.size(); ++i) {
    if (field[i] >= '0' && field[i] <= '9') {
      digits = true;
    } else if (field[i] == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (!digits || i != field.size()) {
    throw DetailedError(kErrTypeMismatch, ("characters " + IntegerText(static_cast<int64_t>(start)) +
                                                                  " to " + IntegerText(static_cast<int64_t>(start + count - 1)) +
                                                                  " of \"" + std::string(attribute) + "\" value " +
                                                                  Quoted(text) + " are not a number"));
  }
  return RoundHalfEven32(LeadingNumber(field));
}

// Runs a number conversion of an attribute or text; its error names what was converted.
template <class Convert>
auto Converting(std::string_view what, std::string_view text, Convert&& convert) -> decltype(convert()) {
  try {
    return convert();
  } catch (const Error& e) {
    throw Error(e.Number(), e.Description() + ": " + std::string(what) + " " + Quoted(text));
  }
}

// A value as read wherever the file holds one: an infinity by name, so that what the writer
// wrote as "inf" reads back as such, else the leading number.
float SingleOf(std::string_view what, std::string_view text) {
  const auto plain = [](char c) { return (c >= '0' && c <= '9') || c == '.'; };
  const bool number = !text.empty() && (plain(text[0]) || (text[0] == '-' && text.size() > 1 && plain(text[1])));
  if (!number) {
    if (const std::optional<float> infinity = InfinityOf(text)) return *infinity;
  }
  return Converting(what, text, [&] { return ToSingle(LeadingNumber(text)); });
}

void ReplaceControls(std::string& text, std::size_t from) {
  for (std::size_t i = from; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\n' || c == '\r' || c == '\t' || c == '\0') text[i] = ' ';
  }
}

// The usual "yyyy-mm-dd" and "hh:mm:ss": plain digits in the fields, single-byte characters
// between them (so that bytes are characters). Reads the three fields, each two characters
// after the one before, the first one wide; false for any other text.
bool ThreeDigitFields(std::string_view text, std::size_t firstWidth, int32_t fields[3]) {
  if (text.size() < firstWidth + 6) return false;
  const auto digit = [&](std::size_t i) { return static_cast<unsigned>(text[i] - '0') <= 9; };
  const auto single = [&](std::size_t i) { return static_cast<unsigned char>(text[i]) < 0x80; };
  std::size_t i = 0;
  for (int f = 0; f < 3; ++f) {
    const std::size_t end = i + (f == 0 ? firstWidth : 2);
    int32_t value = 0;
    for (; i < end; ++i) {
      if (!digit(i)) return false;
      value = value * 10 + (text[i] - '0');
    }
    fields[f] = value;
    if (f < 2 && !single(i++)) return false;
  }
  return true;
}

// The second of the day of the usual "hh:mm:ss" within one day; false for any other text.
bool SecondOfDay(std::string_view text, int32_t& second) {
  int32_t fields[3];
  if (!ThreeDigitFields(text, 2, fields)) return false;
  second = fields[0] * 3600 + fields[1] * 60 + fields[2];
  return second < 86400;
}

}  // namespace

double QXDateValue(std::string_view text) {
  int32_t fields[3];
  if (ThreeDigitFields(text, 4, fields)) return DateSerial(fields[0], fields[1], fields[2]);
  const int32_t year = FixedField(text, 1, 4, "date");
  const int32_t month = FixedField(text, 6, 2, "date");
  const int32_t day = FixedField(text, 9, 2, "date");
  return DateSerial(year, month, day);
}

double QXTimeValue(std::string_view text) {
  int32_t fields[3];
  if (ThreeDigitFields(text, 2, fields)) return TimeSerial(fields[0], fields[1], fields[2]);
  const int32_t hours = FixedField(text, 1, 2, "time");
  const int32_t minutes = FixedField(text, 4, 2, "time");
  const int32_t seconds = FixedField(text, 7, 2, "time");
  return TimeSerial(hours, minutes, seconds);
}

bool QXRecognisedElement(std::string_view localName) {
  return EqualsNoCase(localName, "series") || EqualsNoCase(localName, "event") || FindHeaderElement(localName) != nullptr;
}

clsQXContentHandler::clsQXContentHandler() : collection_(std::make_shared<SeriesCollection>()) {}

clsQXContentHandler::~clsQXContentHandler() = default;

void clsQXContentHandler::documentLocator(const SaxLocator& oLocator) { locator_ = &oLocator; }

void clsQXContentHandler::startDocument() {
  if (xmlFile_.empty()) throw Error(kErrQXFile, "QX XML Filename not defined in class clsQXContentHandler");
  if (!FileExists(xmlFile_)) throw Error(kErrQXFile, "File does not exist: " + xmlFile_);
  binPath_ = SiblingPath(xmlFile_, ".bin");
  useBinFile_ = HasSideFile(xmlFile_);
  if (useBinFile_) {
    binFile_ = Fs().OpenRead(binPath_);
    binSize_ = binFile_->Size();
    readPosition_ = 1;
  }
}

void clsQXContentHandler::startElement(std::string_view, std::string_view strLocalName, std::string_view strQName,
                                       const SaxAttributes& oAttributes) {
  ++depth_;
  if (EqualsNoCase(strLocalName, "event")) {
    if (readAll_) StartEvent(strQName, oAttributes);
    return;
  }
  if (EqualsNoCase(strLocalName, "series")) {
    current_ = std::make_shared<clsSeries>();
    return;
  }
  if (const HeaderElement* header = FindHeaderElement(strLocalName)) {
    StartHeaderField(header->field, strQName, oAttributes);
  }
}

void clsQXContentHandler::StartEvent(std::string_view qname, const SaxAttributes& attributes) {
  if (attributes.length() < 3) return;
  try {
    clsSeries& series = Current();
    const int32_t k = series.lValCounter() + 1;
    series.lValCounter(k);
    // One pass over the attributes; a missing one fails where its lookup stands in the order.
    static const AttributeNames kNames{"date", "time", "value", "flag"};
    std::string_view found[4];
    const uint32_t present = attributes.FindValues(kNames, found);
    const auto get = [&](int i) {
      return (present >> i & 1) != 0 ? found[i] : attributes.getValueFromQName(kNames.Names()[i]);
    };
    const std::string_view date = get(0);
    const std::string_view time = get(1);
    // The usual whole day and time of day go in as whole seconds: no division where the
    // events follow one step.
    const double day = EventDate(date);
    int32_t second = 0;
    if (SecondOfDay(time, second) && std::fabs(day) < 1e7 && day == std::trunc(day)) {
      series.dtEventDate(k, static_cast<int64_t>(day), second);
    } else {
      series.dtEventDate(k, day + QXTimeValue(time));
    }
    const std::string_view value = get(2);
    series.sngValues(k, EqualsNoCase(value, "nan") ? series.sngMissingValue : SingleOf("attribute \"value\" =", value));
    // A flag of 0 is what an event without one has.
    if ((present >> 3 & 1) != 0 && found[3] != "0") {
      const std::string_view flag = found[3];
      try {
        series.lFlag(k, LeadingNumber(flag));
      } catch (const Error&) {
        // A flag that cannot be stored stays 0; the event is kept.
      }
    }
  } catch (const Error& e) {
    throw InElement(e, qname);
  }
}

void clsQXContentHandler::StartHeaderField(Field field, std::string_view qname, const SaxAttributes& attributes) {
  EndSelection();
  selected_ = field;
  selectedDepth_ = depth_;
  selectedName_.assign(qname);
  text_.clear();
  if (field != Field::TimeStep && field != Field::StartDate && field != Field::EndDate) return;
  if (attributes.length() < 2) return;
  try {
    clsSeries& series = Current();
    if (field == Field::TimeStep) {
      series.sTimeStepUnit = attributes.getValueFromQName("unit");
      const std::string_view multiplier = attributes.getValueFromQName("multiplier");
      series.lTimeStepMultiplier =
          Converting("attribute \"multiplier\" =", multiplier, [&] { return RoundHalfEven32(LeadingNumber(multiplier)); });
    } else {
      const double date = QXDateValue(attributes.getValueFromQName("date"));
      (field == Field::StartDate ? series.dtStartDate : series.dtEndDate) = date;
      const double time = QXTimeValue(attributes.getValueFromQName("time"));
      (field == Field::StartDate ? series.dtStartTime : series.dtEndTime) = time;
    }
  } catch (const Error& e) {
    throw InElement(e, qname);
  }
}

void clsQXContentHandler::characters(std::string_view strChars) {
  if (!TakesText(selected_)) return;
  if (strChars.size() > kMostElementText - text_.size()) {
    throw InElement(DetailedError(kErrOverflow, "the text is longer than " +
                                                    IntegerText(static_cast<int64_t>(kMostElementText)) + " bytes"),
                    selectedName_);
  }
  const std::size_t from = text_.size();
  text_.append(strChars);
  ReplaceControls(text_, from);
  if (current_ == nullptr && !TrimBlanks(std::string_view(text_).substr(from)).empty()) {
    try {
      Current();
    } catch (const Error& e) {
      throw InElement(e, selectedName_);
    }
  }
}

// Stores the joined text of the selected element: text of blanks only changes nothing.
void clsQXContentHandler::EndSelection() {
  const Field field = selected_;
  selected_ = Field::None;
  if (!TakesText(field) || TrimBlanks(text_).empty()) return;
  try {
    clsSeries& series = Current();
    if (field == Field::MissVal) {
      series.sngMissingValue = SingleOf("text", text_);
    } else {
      series.*HeaderElementOf(field).text = text_;
    }
  } catch (const Error& e) {
    throw InElement(e, selectedName_);
  }
}

void clsQXContentHandler::endElement(std::string_view, std::string_view strLocalName, std::string_view strQName) {
  if (selected_ != Field::None && depth_ == selectedDepth_) EndSelection();
  --depth_;
  if (!EqualsNoCase(strLocalName, "series")) return;
  try {
    Current();
  } catch (const Error& e) {
    throw InElement(e, strQName);
  }
  if (useBinFile_) fillSeriesFromBinFile();
  collection_->Add(current_, IntegerText(collection_->Count() + 1));
}

bool clsQXContentHandler::fillSeriesFromBinFile() {
  try {
    clsSeries& series = *current_;
    const std::string which = SeriesWhere();
    const double start = series.dtStartDate + series.dtStartTime;
    const double end = series.dtEndDate + series.dtEndTime;
    const int32_t step = series.Timestep();
    if (step == 0) {
      throw DetailedError(kErrDivisionByZero, (which + " has a time step of 0 seconds"));
    }
    const double count = (end - start) * 86400.0 / step + 1;
    int32_t n;
    try {
      n = RoundHalfEven32(count);
    } catch (const Error&) {
      throw DetailedError(kErrOverflow, (which + " would hold " + NumberText(static_cast<float>(count)) +
                                                            " values"));
    }
    if (n < 1) {
      throw DetailedError(kErrSubscript, (which + " would hold " + IntegerText(n) +
                                                              " values: its end lies before its start"));
    }
    const uint64_t bytes = uint64_t{4} * static_cast<uint64_t>(n);
    const uint64_t left = binSize_ >= readPosition_ - 1 ? binSize_ - (readPosition_ - 1) : 0;
    const auto pastEnd = [&] {
      return DetailedError(kErrPastEndOfFile, (binPath_ + " holds " + IntegerText(static_cast<int64_t>(binSize_)) +
                                                                       " bytes; " + which + " needs " + IntegerText(static_cast<int64_t>(bytes)) +
                                                                       " from byte " + IntegerText(static_cast<int64_t>(readPosition_))));
    };
    if (bytes > left) throw pastEnd();
    series.lValCounter(n);
    // The values go from the file straight into the record's storage, a block at a time; the
    // instants follow from the start and the step.
    series.FillValues(n, [&](int32_t, float* values, std::size_t length) {
      if (binFile_->Read(values, 4 * length) != 4 * length) throw pastEnd();
      SwapLittleFloats(values, length);
    });
    series.RegularInstants(n, start, step / 86400.0);
    readPosition_ += bytes;
    return true;
  } catch (...) {
    throw Error(kErrBinFile, ErrorSummary(CurrentError()), "clsQXContentHandler.fillSeriesFromBinFile");
  }
}

void clsQXContentHandler::endDocument() { binFile_.reset(); }

void clsQXContentHandler::NoSeries() {
  throw DetailedError(kErrObjectNotSet, "no \"series\" element has started");
}

namespace {

// Whether two date texts are equal; those of 8 to 16 bytes (the usual date) are compared as two
// overlapping words rather than by a call of memcmp, once per event.
bool SameDateText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  if (a.size() < 8 || a.size() > 16) return a == b;
  uint64_t a0, a1, b0, b1;
  std::memcpy(&a0, a.data(), 8);
  std::memcpy(&b0, b.data(), 8);
  std::memcpy(&a1, a.data() + a.size() - 8, 8);
  std::memcpy(&b1, b.data() + b.size() - 8, 8);
  return ((a0 ^ b0) | (a1 ^ b1)) == 0;
}

}  // namespace

double clsQXContentHandler::EventDate(std::string_view text) {
  if (!SameDateText(text, lastDateText_)) {
    lastDateValue_ = QXDateValue(text);
    lastDateText_.assign(text);
  }
  return lastDateValue_;
}

int32_t clsQXContentHandler::Line() const { return locator_ != nullptr ? locator_->lineNumber() : 0; }

// ", in element "event", line 12 of /srv/run/in.xml"
std::string clsQXContentHandler::Where(std::string_view element) const {
  std::string where = ", in element \"" + std::string(element) + "\"";
  if (Line() > 0) where += ", line " + IntegerText(Line());
  return where + " of " + xmlFile_;
}

// "series 2 in /srv/run/in.xml, ending at line 40,"
std::string clsQXContentHandler::SeriesWhere() const {
  std::string where = "series " + IntegerText(collection_->Count() + 1) + " in " + xmlFile_;
  if (Line() > 0) where += ", ending at line " + IntegerText(Line()) + ",";
  return where;
}

Error clsQXContentHandler::InElement(const Error& error, std::string_view element) const {
  return Error(error.Number(), error.Description() + Where(element), error.Source());
}

bool HasSideFile(const std::string& path) {
  const std::string bin = SiblingPath(path, ".bin");
  // A QX-XML file named *.bin, or reached through a link named so, is in XML form: it cannot be
  // its own side file.
  return FileExists(bin) && !SameFile(bin, path) && Fs().FileSize(bin).value_or(0) > 0;
}

std::string NoEventsText(const std::string& path, const clsSeries& first) {
  std::string text = "the first series of " + path + " has no events";
  int32_t step = 0;
  try {
    step = first.Timestep();
  } catch (const Error&) {
    // A step too large for its header is no regular one.
  }
  if (step != 0 && !HasSideFile(path)) text += ", and its side file " + SiblingPath(path, ".bin") + " is missing";
  return text;
}

QXReadResult ReadQXFile(const std::string& path) { return ReadQXFile(path, RunQXReadOptions()); }

QXReadResult ReadQXFile(const std::string& path, const QXReadOptions& options) {
  QXReadResult result;
  // The XML and its side file are opened under the lock their writers replace them under.
  const auto lock = Fs().LockDirectoryOf(path, false);
  QXRangesRead ranges = ReadQXRanges(path, options);
  if (ranges.series) {
    result.series = std::move(ranges.series);
    result.ranges = ranges.count;
    return result;
  }
  clsQXContentHandler handler;
  clsSAXErrorHandler errors;
  SaxXmlReader reader;
  reader.contentHandler(&handler);
  reader.errorHandler(&errors);
  handler.ReadAllSeries(true);
  handler.XMLFile(path);
  try {
    if (ranges.file) {
      reader.parse(std::move(ranges.file), path);
    } else {
      reader.parseURL(path);
    }
  } catch (...) {
    result.error = CurrentError();
  }
  result.series = handler.collSeries();
  return result;
}

}  // namespace tidemill
