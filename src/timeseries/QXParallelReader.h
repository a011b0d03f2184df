// Reading a QX-XML file on several threads: ranges of whole top-level series, each parsed by a
// parser of its own behind the file's head, joined in document order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "common/FileSystem.h"
#include "timeseries/QXContentHandler.h"
#include "timeseries/SeriesCollection.h"

namespace tidemill {

// Files below this size are read serially unless TIDEMILL_PARALLEL_MIN_BYTES says otherwise.
inline constexpr uint64_t kParallelMinBytes = uint64_t{4} << 20;

// The run's threads (ThreadCount) and TIDEMILL_PARALLEL_MIN_BYTES (a whole number; otherwise
// kParallelMinBytes).
QXReadOptions RunQXReadOptions();

// What the read in ranges leaves: the series and how many ranges they were read in; or no
// series and, for the serial read, the file still at its start (nothing where it was not opened).
struct QXRangesRead {
  std::shared_ptr<SeriesCollection> series;
  std::size_t count = 0;
  std::unique_ptr<InputFile> file;
};

// Reads the file at path in ranges where they apply: a regular file in XML form, without a side
// file, of options.parallelMinBytes or more, on two threads or more, whose head and cuts are
// understood. Any report of any range, and any failure on the way, gives the file back to the
// serial read instead, which then makes the reports.
QXRangesRead ReadQXRanges(const std::string& path, const QXReadOptions& options);

}  // namespace tidemill
