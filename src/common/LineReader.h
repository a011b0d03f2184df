// Lines of a text file, read block by block: only the current line is ever held.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tidemill {

class InputFile;

// Where a text splits into lines.
enum class LineEnds {
  CrLf,      // at CR LF only; a lone CR or LF is part of the line (run-simulation files)
  CrLfOrLf,  // at CR LF and at a lone LF; a lone CR is part of the line (ABR files)
  Any,       // at CR LF, a lone CR and a lone LF (conversion tables)
};

class LineReader {
 public:
  LineReader(InputFile& file, LineEnds ends, std::size_t blockSize = 64 * 1024);
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // The next line without its line end, valid until the next call; false at the end of the
  // file. A line end as the file's last bytes does not start another line.
  bool Next(std::string_view& line);
  // Whether a line end followed the line that Next gave last.
  bool Ended() const { return ended_; }
  // The 1-based number of the line that Next gave last.
  uint64_t LineNumber() const { return lineNumber_; }

 private:
  // Keeps the unfinished line, reads the next block behind it.
  void Fill();
  // Hands out the line from start_ to end; the next begins at after (past its line end, if any).
  bool Hand(std::string_view& line, std::size_t end, std::size_t after);
  // Where the line end at or after from lies (its first byte), or size_ when none is known yet.
  std::size_t FindEnd(std::size_t from) const;

  InputFile& file_;
  LineEnds ends_;
  std::size_t blockSize_;
  // Grown with realloc: a large buffer grows in place without a copy, and the pages not yet
  // read into take no memory, so a line of a gigabyte needs about a gigabyte.
  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
  std::size_t start_ = 0;    // where the next line begins
  std::size_t scanned_ = 0;  // bytes after start_ already known to hold no line end
  bool atEnd_ = false;
  bool ended_ = false;
  uint64_t lineNumber_ = 0;
};

}  // namespace tidemill
