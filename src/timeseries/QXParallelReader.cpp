#include "timeseries/QXParallelReader.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "common/Error.h"
#include "common/Numbers.h"
#include "common/Parallel.h"
#include "common/Text.h"
#include "diagnostics/RunState.h"
#include "timeseries/QXCuts.h"
#include "timeseries/SaxXmlReader.h"

namespace tidemill {

namespace {

// How much of the file's start is looked at for its head.
constexpr std::size_t kHeadBytes = 256 << 10;

std::string ReadBytes(InputFile& file, uint64_t at, uint64_t size) {
  std::string bytes(static_cast<std::size_t>(size), '\0');
  bytes.resize(file.ReadAt(at, bytes.data(), bytes.size()));
  return bytes;
}

// Raised where a range meets what it cannot read alone: the serial read makes the reports.
[[noreturn]] void GiveUp(std::string_view why, const std::string& path) {
  throw DetailedError(kErrInvalidCall, std::string(why) + " in a range of " + path + ": read serially");
}

// The bytes one range's parser reads: the file's head, the range itself, and the root's end tag
// (empty for the last range, which holds the file's own).
class RangeSource {
 public:
  RangeSource(std::string_view head, InputFile& file, uint64_t begin, uint64_t end, std::string_view tail,
              const std::atomic<bool>& abandoned)
      : head_(head), range_(file, begin, end - begin), tail_(tail), abandoned_(abandoned) {}

  std::size_t operator()(char* out, std::size_t size) {
    // Another range has failed: this one's result is not wanted either.
    if (abandoned_.load(std::memory_order_relaxed)) throw Error(kErrInvalidCall);
    if (!head_.empty()) return Take(head_, out, size);
    if (const std::size_t n = range_(out, size)) return n;
    return Take(tail_, out, size);
  }

 private:
  static std::size_t Take(std::string_view& from, char* out, std::size_t size) {
    const std::size_t n = std::min(size, from.size());
    if (n == 0) return 0;  // an empty tail may have no data pointer at all
    std::memcpy(out, from.data(), n);
    from.remove_prefix(n);
    return n;
  }

  std::string_view head_;
  BlockSource range_;
  std::string_view tail_;
  const std::atomic<bool>& abandoned_;
};

// Passes every event of a range's parse on to its content handler, and gives up on what a range
// cannot read alone, since its reading could depend on what came before the range: a recognised
// root, an element other than a series under the root, text between series. The file's checks
// and its side file (startDocument) are the serial reader's: a file read in ranges has none.
class RangeHandler : public SaxContentHandler {
 public:
  RangeHandler(clsQXContentHandler& handler, const std::string& path) : handler_(handler), path_(path) {}

  void documentLocator(const SaxLocator& oLocator) override { handler_.documentLocator(oLocator); }
  void startElement(std::string_view strNamespaceURI, std::string_view strLocalName, std::string_view strQName,
                    const SaxAttributes& oAttributes) override {
    ++depth_;
    if (depth_ == 1 && QXRecognisedElement(strLocalName)) GiveUp("a recognised root element", path_);
    if (depth_ == 2 && !EqualsNoCase(strLocalName, "series"))
      GiveUp("an element other than a series under the root", path_);
    handler_.startElement(strNamespaceURI, strLocalName, strQName, oAttributes);
  }
  void characters(std::string_view strChars) override {
    if (depth_ == 1 && !AllXmlBlanks(strChars)) GiveUp("text between series", path_);
    handler_.characters(strChars);
  }
  void endElement(std::string_view strNamespaceURI, std::string_view strLocalName,
                  std::string_view strQName) override {
    --depth_;
    handler_.endElement(strNamespaceURI, strLocalName, strQName);
  }
  void endDocument() override { handler_.endDocument(); }

 private:
  clsQXContentHandler& handler_;
  const std::string& path_;
  int depth_ = 0;
};

// Any report of a range's parse ends it.
class Refusal : public SaxErrorHandler {
 public:
  void error(const SaxLocator&, std::string_view, int32_t) override { throw Error(kErrInvalidCall); }
  void fatalError(const SaxLocator&, std::string_view, int32_t) override { throw Error(kErrInvalidCall); }
  void ignorableWarning(const SaxLocator&, std::string_view, int32_t) override { throw Error(kErrInvalidCall); }
};

struct Range {
  uint64_t begin = 0;
  uint64_t end = 0;
  std::shared_ptr<SeriesCollection> series;
  std::size_t dictionaryBytes = 0;
};

// libxml2 bounds the names of one document (XML_MAX_DICTIONARY_LIMIT, 10 MB): ranges whose
// dictionaries come near it together are read serially, where the one bound applies.
constexpr std::size_t kDictionaryShare = 10000000 / 4;

void ReadRange(Range& range, std::string_view head, std::string_view tail, InputFile& file, const std::string& path,
               const std::atomic<bool>& abandoned) {
  clsQXContentHandler handler;
  handler.ReadAllSeries(true);
  handler.XMLFile(path);
  RangeHandler guard(handler, path);
  Refusal refusal;
  SaxXmlReader reader;
  reader.contentHandler(&guard);
  reader.errorHandler(&refusal);
  RangeSource source(head, file, range.begin, range.end, tail, abandoned);
  reader.parse(SaxXmlReader::ByteSource(std::ref(source)), path);
  range.series = handler.collSeries();
  range.dictionaryBytes = reader.DictionaryBytes();
}

// The ranges of the open file: one per thread, each cut at the series start tag nearest to the
// end of an equal share (the searches of two neighbouring shares meet halfway); none where the
// file cannot be cut.
std::vector<Range> CutRanges(InputFile& file, uint64_t size, uint64_t firstSeries, unsigned threads) {
  std::vector<uint64_t> cuts{firstSeries};
  const uint64_t share = (size - firstSeries) / threads;
  const auto read = [&file](uint64_t at, std::size_t bytes) { return ReadBytes(file, at, bytes); };
  for (unsigned i = 1; i < threads && share > 0; ++i) {
    const uint64_t target = std::max(firstSeries + share * i, cuts.back() + 1);
    if (const std::optional<uint64_t> cut = NearestSeriesStart(read, target, cuts.back() + 1, size, share / 2 + kCutWindow))
      cuts.push_back(*cut);
  }
  std::vector<Range> ranges;
  if (cuts.size() < 2) return ranges;
  cuts.push_back(size);
  for (std::size_t r = 0; r + 1 < cuts.size(); ++r) ranges.push_back({cuts[r], cuts[r + 1], nullptr, 0});
  return ranges;
}

// The series of the open file read in ranges, and their count; nothing where the file cannot be
// cut or the ranges' names together come near the bound of one document. Raises what any range
// reported or met.
std::optional<QXRangesRead> ReadRanges(InputFile& file, const std::string& path, unsigned threads) {
  const uint64_t size = file.Size();
  const std::string headBytes = ReadBytes(file, 0, std::min<uint64_t>(size, kHeadBytes));
  const std::optional<QXHead> head = FindQXHead(headBytes);
  if (!head) return std::nullopt;
  std::vector<Range> ranges = CutRanges(file, size, head->firstSeries, threads);
  if (ranges.empty()) return std::nullopt;

  const std::string_view headView(headBytes.data(), head->firstSeries);
  const std::string rootEnd = "</" + head->rootName + ">";
  std::atomic<bool> abandoned{false};
  SaxXmlReader::Initialise();
  ParallelFor(ranges.size(), threads, [&](std::size_t r) {
    const std::string_view tail = r + 1 < ranges.size() ? std::string_view(rootEnd) : std::string_view();
    try {
      ReadRange(ranges[r], headView, tail, file, path, abandoned);
    } catch (...) {
      // The others stop at their next block.
      abandoned.store(true);
      throw;
    }
  });
  std::size_t dictionaryBytes = 0;
  for (const Range& range : ranges) dictionaryBytes += range.dictionaryBytes;
  if (dictionaryBytes > kDictionaryShare) return std::nullopt;

  // Joined in document order; the records themselves are not copied.
  QXRangesRead read;
  read.series = std::make_shared<SeriesCollection>();
  read.count = ranges.size();
  for (const Range& range : ranges) {
    for (const SeriesCollection::Record& record : *range.series) read.series->Add(record, IntegerText(read.series->Count() + 1));
  }
  return read;
}

}  // namespace

QXReadOptions RunQXReadOptions() {
  QXReadOptions options;
  options.threads = ThreadCount;
  options.parallelMinBytes = EnvironmentWholeNumber("TIDEMILL_PARALLEL_MIN_BYTES").value_or(kParallelMinBytes);
  return options;
}

QXRangesRead ReadQXRanges(const std::string& path, const QXReadOptions& options) {
  QXRangesRead read;
  if (options.threads < 2 || Fs().FileSize(path).value_or(0) < std::max<uint64_t>(options.parallelMinBytes, 1) ||
      HasSideFile(path))
    return read;
  // The file is opened once: where ranges give up, the serial read takes it, still at its start.
  try {
    read.file = Fs().OpenRead(path);
    if (!read.file->Positional()) return read;
    if (std::optional<QXRangesRead> ranges = ReadRanges(*read.file, path, options.threads)) return std::move(*ranges);
  } catch (...) {
    // Whatever a range reported or met (a read error, an open that failed), the serial read
    // meets again and reports.
  }
  return read;
}

}  // namespace tidemill
