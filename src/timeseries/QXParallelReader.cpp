#include "timeseries/QXParallelReader.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <optional>
#include <vector>

#include "common/Error.h"
#include "common/Numbers.h"
#include "common/Parallel.h"
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

// The bytes one range's parser reads: the file's head, the range read from the file in blocks,
// and the root's end tag (empty for the last range, which holds the file's own).
class RangeSource {
 public:
  RangeSource(std::string_view head, InputFile& file, uint64_t begin, uint64_t end, std::string_view tail,
              const std::atomic<bool>& abandoned)
      : head_(head), file_(file), at_(begin), end_(end), tail_(tail), abandoned_(abandoned),
        block_(SaxXmlReader::kBlockSize) {}

  std::size_t operator()(char* out, std::size_t size) {
    // Another range has failed: this one's result is not wanted either.
    if (abandoned_.load(std::memory_order_relaxed)) throw Error(kErrInvalidCall);
    if (!head_.empty()) return Take(head_, out, size);
    if (position_ == filled_ && at_ < end_) {
      filled_ = file_.ReadAt(at_, block_.data(), static_cast<std::size_t>(std::min<uint64_t>(block_.size(), end_ - at_)));
      if (filled_ == 0) throw Error(kErrPastEndOfFile);  // the file has become shorter
      at_ += filled_;
      position_ = 0;
    }
    if (position_ < filled_) {
      const std::size_t n = std::min(size, filled_ - position_);
      std::memcpy(out, block_.data() + position_, n);
      position_ += n;
      return n;
    }
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
  InputFile& file_;
  uint64_t at_;
  uint64_t end_;
  std::string_view tail_;
  const std::atomic<bool>& abandoned_;
  std::vector<char> block_;
  std::size_t position_ = 0;
  std::size_t filled_ = 0;
};

// Any report of a range's parse ends it: the serial read makes the reports.
class Refusal : public SaxErrorHandler {
 public:
  void error(const SaxLocator&, std::string_view, int32_t) override { throw Error(kErrInvalidCall); }
  void fatalError(const SaxLocator&, std::string_view, int32_t) override { throw Error(kErrInvalidCall); }
  void ignorableWarning(const SaxLocator&, std::string_view, int32_t) override { throw Error(kErrInvalidCall); }
};

struct Range {
  uint64_t begin = 0;
  uint64_t end = 0;
  std::shared_ptr<SeriesCollection> series;  // set when the range read cleanly
  std::size_t dictionaryBytes = 0;
};

// libxml2 bounds the names of one document (XML_MAX_DICTIONARY_LIMIT, 10 MB): ranges whose
// dictionaries come near it together are read serially, where the one bound applies.
constexpr std::size_t kDictionaryShare = 10000000 / 4;

void ReadRange(Range& range, std::string_view head, std::string_view tail, InputFile& file, const std::string& path,
               std::atomic<bool>& abandoned) noexcept {
  try {
    clsQXContentHandler handler;
    handler.ReadAllSeries(true);
    handler.XMLFile(path);
    handler.RangeReader(true);
    Refusal refusal;
    SaxXmlReader reader;
    reader.contentHandler(&handler);
    reader.errorHandler(&refusal);
    RangeSource source(head, file, range.begin, range.end, tail, abandoned);
    reader.parse(SaxXmlReader::ByteSource(std::ref(source)), path);
    range.series = handler.collSeries();
    range.dictionaryBytes = reader.DictionaryBytes();
  } catch (...) {
    abandoned.store(true);
  }
}

}  // namespace

QXReadOptions QXReadOptionsFromEnvironment() {
  QXReadOptions options;
  options.threads = RunThreads();
  options.parallelMinBytes = EnvironmentCount("TIDEMILL_PARALLEL_MIN_BYTES").value_or(kParallelMinBytes);
  return options;
}

std::shared_ptr<SeriesCollection> ReadQXRanges(InputFile& file, uint64_t size, const std::string& path,
                                               unsigned threads) {
  if (threads < 2 || size == 0) return nullptr;
  const std::string headBytes = ReadBytes(file, 0, std::min<uint64_t>(size, kHeadBytes));
  const std::optional<QXHead> head = FindQXHead(headBytes);
  if (!head) return nullptr;

  // One range per thread, each cut at the series start tag nearest to the end of an equal
  // share; the searches of two neighbouring shares meet halfway.
  std::vector<uint64_t> cuts{head->firstSeries};
  const uint64_t share = (size - head->firstSeries) / threads;
  for (unsigned i = 1; i < threads && share > 0; ++i) {
    const uint64_t target = std::max(head->firstSeries + share * i, cuts.back() + 1);
    const auto read = [&file](uint64_t at, std::size_t bytes) { return ReadBytes(file, at, bytes); };
    if (const std::optional<uint64_t> cut = NearestSeriesStart(read, target, cuts.back() + 1, size, share / 2 + kCutWindow))
      cuts.push_back(*cut);
  }
  if (cuts.size() < 2) return nullptr;
  cuts.push_back(size);
  std::vector<Range> ranges(cuts.size() - 1);
  for (std::size_t r = 0; r < ranges.size(); ++r) ranges[r] = {cuts[r], cuts[r + 1], nullptr};

  const std::string_view headView(headBytes.data(), head->firstSeries);
  const std::string rootEnd = "</" + head->rootName + ">";
  std::atomic<bool> abandoned{false};
  SaxXmlReader::Initialise();
  // A range that fails abandons the others: they stop at their next block.
  ParallelFor(ranges.size(), threads, [&](std::size_t r) {
    const std::string_view tail = r + 1 < ranges.size() ? std::string_view(rootEnd) : std::string_view();
    ReadRange(ranges[r], headView, tail, file, path, abandoned);
  });
  if (abandoned.load()) return nullptr;
  std::size_t dictionaryBytes = 0;
  for (const Range& range : ranges) dictionaryBytes += range.dictionaryBytes;
  if (dictionaryBytes > kDictionaryShare) return nullptr;

  // Joined in document order; the records themselves are not copied.
  auto all = std::make_shared<SeriesCollection>();
  for (const Range& range : ranges) {
    for (const SeriesCollection::Record& record : *range.series) all->Add(record, IntegerText(all->Count() + 1));
  }
  return all;
}

}  // namespace tidemill
