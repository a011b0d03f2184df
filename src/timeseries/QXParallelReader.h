// Reading a QX-XML file on several threads: ranges of whole top-level series, each parsed by a
// parser of its own behind the file's head, joined in document order.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "common/FileSystem.h"
#include "timeseries/QXContentHandler.h"
#include "timeseries/SeriesCollection.h"

namespace tidemill {

// Files below this size are read serially unless TIDEMILL_PARALLEL_MIN_BYTES says otherwise.
inline constexpr uint64_t kParallelMinBytes = uint64_t{4} << 20;

// TIDEMILL_THREADS (a whole number from 1; otherwise one thread per core) and
// TIDEMILL_PARALLEL_MIN_BYTES (a whole number; otherwise kParallelMinBytes).
QXReadOptions QXReadOptionsFromEnvironment();

// The series of file (open, regular, of size bytes, named path) read in ranges on up to
// threads threads; nothing when the file cannot be cut or any range reports anything or does
// not read cleanly: the serial reader then reads it and makes its reports.
std::shared_ptr<SeriesCollection> ReadQXRanges(InputFile& file, uint64_t size, const std::string& path,
                                               unsigned threads);

}  // namespace tidemill
