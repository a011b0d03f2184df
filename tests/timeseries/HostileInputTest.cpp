// Hostile QX-XML: each must end in a clear error after reading little of it, never in a hang
// or in memory that grows with the attack. Entity attacks are in QXContentHandlerTest's table.
#include <gtest/gtest.h>

#include <functional>

#include "common/FileSystem.h"
#include "support/FaultyFileSystem.h"
#include "timeseries/QXContentHandler.h"

namespace tidemill {
namespace {

TEST(HostileInputTest, EndsEarlyWithAClearError) {
  const struct {
    const char* name;
    std::string head;
    std::function<std::string(uint64_t)> piece;
    uint64_t pieces;
    std::string error;  // the start of the error's summary
    std::size_t boxes;  // the parser's own reports
  } cases[] = {
      {"a million elements deep", "<TimeSeries>", [](uint64_t) { return std::string("<a>"); }, 1000000,
       "Error 1 (Excessive depth in document: 256", 1},
      {"400,000 attributes on one element", "<TimeSeries><series",
       [](uint64_t i) { return " a" + std::to_string(i) + "=\"1\""; }, 400000,
       "Error 6 (Overflow: the element at byte 13 of @/hostile.xml has more than 10000 attributes)", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testing::TempDir dir;
    std::string bytes = c.head;
    for (uint64_t i = 0; i < c.pieces; ++i) bytes += c.piece(i);
    const std::string path = dir.Write("hostile.xml", bytes);
    testing::FaultyFileSystem fs;
    ScopedFileSystem scoped(fs);
    testing::BoxRecorder recorder;
    // On one thread: a parallel read would first look for cuts a few MiB into the file.
    const QXReadResult read = ReadQXFile(path, {1, 0});
    ASSERT_TRUE(read.error.has_value());
    const std::string summary = testing::ReplaceAll(ErrorSummary(*read.error), dir.Path(), "@");
    EXPECT_TRUE(summary.starts_with(c.error)) << summary;
    EXPECT_LT(fs.bytesRead, 1u << 20);
    EXPECT_EQ(recorder.boxes.size(), c.boxes);
  }
}

}  // namespace
}  // namespace tidemill
