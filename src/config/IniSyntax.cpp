#include "config/IniSyntax.h"

#include "common/FileSystem.h"
#include "common/Text.h"

namespace tidemill {

IniLineReader::IniLineReader(InputFile& file, std::size_t blockSize)
    : file_(file), blockSize_(blockSize == 0 ? 1 : blockSize) {}

void IniLineReader::Fill() {
  // Lines already handed out are dropped; what remains is at most one unfinished line.
  buffer_.erase(0, start_);
  start_ = 0;
  const std::size_t kept = buffer_.size();
  buffer_.resize(kept + blockSize_);
  const std::size_t n = file_.Read(buffer_.data() + kept, blockSize_);
  buffer_.resize(kept + n);
  if (n < blockSize_) atEnd_ = true;
}

bool IniLineReader::Next(std::string_view& line) {
  for (;;) {
    const char* data = buffer_.data();
    const std::size_t size = buffer_.size();
    std::size_t i = start_ + scanned_;
    while (i < size && data[i] != '\r' && data[i] != '\n') ++i;
    if (i < size) {
      if (data[i] == '\r' && i + 1 == size && !atEnd_) {
        // The LF of a CR LF may lie in the next block.
        scanned_ = i - start_;
        Fill();
        continue;
      }
      line = std::string_view(data + start_, i - start_);
      std::size_t next = i + 1;
      if (data[i] == '\r' && next < size && data[next] == '\n') ++next;
      start_ = next;
      scanned_ = 0;
      return true;
    }
    if (atEnd_) {
      if (start_ >= size) return false;
      line = std::string_view(data + start_, size - start_);
      start_ = size;
      scanned_ = 0;
      return true;
    }
    scanned_ = size - start_;
    Fill();
  }
}

std::optional<std::string_view> IniHeaderName(std::string_view line) {
  const std::string_view trimmed = TrimBlanks(line);
  if (trimmed.size() < 2 || trimmed.front() != '[' || trimmed.back() != ']') return std::nullopt;
  return trimmed.substr(1, trimmed.size() - 2);
}

bool EndsIniSection(std::string_view line) {
  const std::string_view trimmed = TrimBlanks(line);
  return !trimmed.empty() && trimmed.front() == '[';
}

std::optional<IniKeyLine> SplitIniKeyLine(std::string_view line) {
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  const std::string_view key = TrimBlanks(line.substr(0, equals));
  if (key.empty()) return std::nullopt;
  return IniKeyLine{key, line.substr(equals + 1)};
}

namespace {

// The text as UTF-8; storage holds the conversion when one is needed.
std::string_view AsUtf8(std::string_view text, std::string& storage) {
  if (IsValidUtf8(text)) return text;
  storage = LegacyToUtf8(text);
  return storage;
}

}  // namespace

bool ScanIniSection(const std::string& file, std::string_view section, const IniKeyVisitor& visit) {
  const auto input = Fs().OpenRead(file);
  IniLineReader reader(*input);
  std::string storage;
  std::string_view line;
  bool firstLine = true;
  bool found = false;
  while (!found && reader.Next(line)) {
    if (firstLine && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
    firstLine = false;
    const auto name = IniHeaderName(line);
    found = name && EqualsNoCase(AsUtf8(*name, storage), section);
  }
  // A header on the file's last line counts as a section not read.
  if (!found || !reader.Next(line)) return false;
  do {
    if (EndsIniSection(line)) break;
    const auto keyLine = SplitIniKeyLine(AsUtf8(line, storage));
    if (keyLine && !visit(*keyLine)) break;
  } while (reader.Next(line));
  return true;
}

}  // namespace tidemill
