// The QX-XML time-series reader: the content handler that turns the parser's callbacks (and the
// binary side file, when there is one) into the series collection.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/Error.h"
#include "common/FileSystem.h"
#include "timeseries/SaxXmlReader.h"
#include "timeseries/SeriesCollection.h"

namespace tidemill {

// Day count of a QX "date" text: year at characters 1-4, month 6-7, day 9-10, the rest ignored;
// out-of-range months and days carry. Error 13 when a field is not a number.
double QXDateValue(std::string_view text);
// Fraction of a day of a QX "time" text: hours at characters 1-2, minutes 4-5, seconds 7-8.
// Error 13 when a field is not a number.
double QXTimeValue(std::string_view text);

// Whether the reader acts on an element of this local name: "series", "event" or a header element.
bool QXRecognisedElement(std::string_view localName);

class clsQXContentHandler : public SaxContentHandler {
 public:
  clsQXContentHandler();
  ~clsQXContentHandler() override;
  clsQXContentHandler(const clsQXContentHandler&) = delete;
  clsQXContentHandler& operator=(const clsQXContentHandler&) = delete;

  // The series collection itself (shared, not a copy).
  const std::shared_ptr<SeriesCollection>& collSeries() const { return collection_; }
  // When false, "event" elements are ignored.
  bool ReadAllSeries() const { return readAll_; }
  void ReadAllSeries(bool bReadAllSeries) { readAll_ = bReadAllSeries; }
  // The file being parsed; its side file lies beside it.
  const std::string& XMLFile() const { return xmlFile_; }
  void XMLFile(std::string sXMLFile) { xmlFile_ = std::move(sXMLFile); }

  // Kept only to name the line in error descriptions.
  void documentLocator(const SaxLocator& oLocator) override;
  // Checks the file (error 1001) and opens the side file when it exists and is not empty.
  void startDocument() override;
  void startElement(std::string_view strNamespaceURI, std::string_view strLocalName, std::string_view strQName,
                    const SaxAttributes& oAttributes) override;
  void characters(std::string_view strChars) override;
  void endElement(std::string_view strNamespaceURI, std::string_view strLocalName,
                  std::string_view strQName) override;
  // Closes the side file.
  void endDocument() override;

  // The recognised header elements, "type" to "region".
  enum class Field { None, Type, LocationId, ParameterId, TimeStep, StartDate, EndDate, MissVal, LongName,
                     StationName, Units, SourceOrganisation, SourceSystem, FileDescription, Region };

 private:
  bool fillSeriesFromBinFile();
  void StartEvent(std::string_view qname, const SaxAttributes& attributes);
  void StartHeaderField(Field field, std::string_view qname, const SaxAttributes& attributes);
  void EndSelection();
  clsSeries& Current() {
    if (current_ == nullptr) NoSeries();
    return *current_;
  }
  [[noreturn]] static void NoSeries();
  double EventDate(std::string_view text);
  Error InElement(const Error& error, std::string_view element) const;
  std::string Where(std::string_view element) const;
  std::string SeriesWhere() const;
  int32_t Line() const;

  std::string xmlFile_;
  bool readAll_ = false;
  std::shared_ptr<SeriesCollection> collection_;
  std::shared_ptr<clsSeries> current_;
  const SaxLocator* locator_ = nullptr;

  // The selected header element, the depth it opened at, and its text so far.
  Field selected_ = Field::None;
  int depth_ = 0;
  int selectedDepth_ = 0;
  std::string selectedName_;
  std::string text_;

  // The side file: in use, open, its size and the 1-based byte of its next value.
  bool useBinFile_ = false;
  std::unique_ptr<InputFile> binFile_;
  std::string binPath_;
  uint64_t binSize_ = 0;
  uint64_t readPosition_ = 1;

  // Events of one day share the date text; its day count is worked out once.
  std::string lastDateText_;
  double lastDateValue_ = 0;
};

// What a converter gets from reading a QX-XML file: the series that ended before any error,
// and the error that ended the parse, if one did.
struct QXReadResult {
  std::shared_ptr<SeriesCollection> series;
  std::optional<Error> error;
  std::size_t ranges = 0;  // the ranges read on several threads; 0 for the serial read
};

// Whether the QX-XML file at path has a side file that holds its values: one of more than 0
// bytes beside it.
bool HasSideFile(const std::string& path);

// "the first series of <path> has no events", and, when its header gives a regular time step as
// the binary form does but there is no side file, ", and its side file <path.bin> is missing".
std::string NoEventsText(const std::string& path, const clsSeries& first);

// How a QX-XML file is read: on how many threads, and from which size on.
struct QXReadOptions {
  unsigned threads = 1;             // 1: the serial reader
  uint64_t parallelMinBytes = 0;    // smaller files are read serially
};

// Reads a QX-XML file the way every converter does: read-all on, the file as XMLFile and as
// the document parsed, parse errors reported through clsSAXErrorHandler. A regular file in
// XML form of parallelMinBytes or more is read in ranges on several threads, with exactly the
// serial reader's result; the options are the run's (RunQXReadOptions) unless given.
QXReadResult ReadQXFile(const std::string& path);
QXReadResult ReadQXFile(const std::string& path, const QXReadOptions& options);

}  // namespace tidemill
