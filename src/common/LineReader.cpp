#include "common/LineReader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/Error.h"
#include "common/FileSystem.h"

namespace tidemill {

namespace {

constexpr std::size_t kMaxWindow = std::size_t{1} << 16;

}  // namespace

LineReader::LineReader(InputFile& file, LineEnds ends, std::size_t blockSize)
    : file_(file), ends_(ends), blockSize_(blockSize == 0 ? 1 : blockSize) {}

LineReader::~LineReader() { std::free(data_); }

void LineReader::Fill() {
  if (start_ > 0) {
    std::memmove(data_, data_ + start_, size_ - start_);
    size_ -= start_;
    start_ = 0;
  }
  if (capacity_ - size_ < blockSize_) {
    const std::size_t capacity = std::max(capacity_ * 2, size_ + blockSize_);
    char* grown = static_cast<char*>(std::realloc(data_, capacity));
    if (grown == nullptr) {
      throw DetailedError(kErrOutOfMemory, "line " + std::to_string(lineNumber_ + 1) + " is longer than " +
                                               std::to_string(size_) + " bytes");
    }
    data_ = grown;
    capacity_ = capacity;
  }
  const std::size_t n = file_.Read(data_ + size_, blockSize_);
  size_ += n;
  if (n < blockSize_) atEnd_ = true;
}

std::size_t LineReader::FindEnd(std::size_t from) const {
  if (ends_ == LineEnds::Any) {
    // Both ends are searched with memchr in windows that double from a short line's length up, so
    // a long line costs two fast scans and a short one no scan past its end.
    for (std::size_t i = from, window = 64; i < size_; i += window, window = std::min(window * 2, kMaxWindow)) {
      const std::size_t n = std::min(window, size_ - i);
      const void* cr = std::memchr(data_ + i, '\r', n);
      const void* lf = std::memchr(data_ + i, '\n', n);
      if (cr != nullptr || lf != nullptr) {
        const char* end = cr == nullptr ? static_cast<const char*>(lf)
                          : lf == nullptr ? static_cast<const char*>(cr)
                                          : std::min(static_cast<const char*>(cr), static_cast<const char*>(lf));
        return static_cast<std::size_t>(end - data_);
      }
    }
    return size_;
  }
  // Both other rules end a line at a LF, taking a CR before it (within the line) along.
  for (std::size_t i = from; i < size_;) {
    const void* lf = std::memchr(data_ + i, '\n', size_ - i);
    if (lf == nullptr) break;
    const auto j = static_cast<std::size_t>(static_cast<const char*>(lf) - data_);
    if (j > start_ && data_[j - 1] == '\r') return j - 1;
    if (ends_ == LineEnds::CrLfOrLf) return j;
    i = j + 1;
  }
  return size_;
}

bool LineReader::Hand(std::string_view& line, std::size_t end, std::size_t after) {
  line = std::string_view(data_ + start_, end - start_);
  ended_ = after > end;
  start_ = after;
  scanned_ = 0;
  ++lineNumber_;
  return true;
}

bool LineReader::Next(std::string_view& line) {
  for (;;) {
    const std::size_t end = FindEnd(start_ + scanned_);
    if (end < size_) {
      std::size_t after = end + 1;
      if (data_[end] == '\r') {
        if (end + 1 < size_ && data_[end + 1] == '\n') {
          after = end + 2;
        } else if (end + 1 == size_ && !atEnd_) {
          // The LF of a CR LF may lie in the next block.
          scanned_ = end - start_;
          Fill();
          continue;
        }
      }
      return Hand(line, end, after);
    }
    if (atEnd_) return start_ < size_ && Hand(line, size_, size_);
    scanned_ = size_ - start_;
    Fill();
  }
}

}  // namespace tidemill
