// Hostile QX-XML, made on the fly rather than stored: each must end in a clear error after
// reading little of it, never in a hang or in memory that grows with the attack.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "common/Error.h"
#include "common/FileSystem.h"
#include "support/FaultyFileSystem.h"
#include "timeseries/QXContentHandler.h"

namespace tidemill {
namespace {

// A file system whose files are generated: a head, then piece(0), piece(1), ... up to the
// count; the side file does not exist. Counts the bytes handed out.
class GeneratedFileSystem : public FileSystem {
 public:
  std::string head;
  std::function<std::string(uint64_t)> piece;
  uint64_t pieces = 0;
  uint64_t bytesRead = 0;

  std::unique_ptr<InputFile> OpenRead(const std::string& path) override {
    if (!path.ends_with(".xml")) throw FileError(ENOENT, path);
    return std::make_unique<Input>(*this);
  }
  std::unique_ptr<OutputFile> CreateTemporary(const std::string& target, std::string&) override {
    throw FileError(EACCES, target);
  }
  void Rename(const std::string&, const std::string& to) override { throw FileError(EACCES, to); }
  bool Remove(const std::string&) override { return false; }
  std::optional<uint64_t> FileSize(const std::string& path) override {
    return path.ends_with(".xml") ? std::optional<uint64_t>(1) : std::nullopt;
  }
  std::string CurrentDirectory() override { return "/"; }

 private:
  struct Input : InputFile {
    explicit Input(GeneratedFileSystem& fs) : fs(fs), pending(fs.head) {}
    std::size_t Read(void* data, std::size_t size) override {
      std::size_t n = 0;
      while (n < size) {
        if (offset == pending.size()) {
          if (next == fs.pieces) break;
          pending = fs.piece(next++);
          offset = 0;
        }
        const std::size_t k = std::min(size - n, pending.size() - offset);
        std::memcpy(static_cast<char*>(data) + n, pending.data() + offset, k);
        offset += k;
        n += k;
      }
      fs.bytesRead += n;
      return n;
    }
    uint64_t Size() override { return 1; }
    GeneratedFileSystem& fs;
    std::string pending;
    std::size_t offset = 0;
    uint64_t next = 0;
  };
};

TEST(HostileInputTest, EndsEarlyWithAClearError) {
  const struct {
    const char* name;
    std::string head;
    std::function<std::string(uint64_t)> piece;
    uint64_t pieces;
    std::string error;  // the start of the error's summary
    std::size_t boxes;  // the parser's own reports
  } cases[] = {
      {"100,000 elements deep", "<TimeSeries>", [](uint64_t) { return std::string("<a>"); }, 100000,
       "Error 1 (Excessive depth in document: 256", 1},
      {"10 million attributes on one element", "<TimeSeries><series",
       [](uint64_t i) { return " a" + std::to_string(i) + "=\"1\""; }, 10000000,
       "Error 6 (Overflow: the element at byte 13 of /hostile.xml has more than 10000 attributes)", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    GeneratedFileSystem fs;
    fs.head = c.head;
    fs.piece = c.piece;
    fs.pieces = c.pieces;
    ScopedFileSystem scoped(fs);
    testing::BoxRecorder recorder;
    const QXReadResult read = ReadQXFile("/hostile.xml");
    ASSERT_TRUE(read.error.has_value());
    EXPECT_TRUE(ErrorSummary(*read.error).starts_with(c.error)) << ErrorSummary(*read.error);
    EXPECT_LT(fs.bytesRead, 1u << 20);
    EXPECT_EQ(recorder.boxes.size(), c.boxes);
  }
}

}  // namespace
}  // namespace tidemill
