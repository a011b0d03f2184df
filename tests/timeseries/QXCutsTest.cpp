// The cut finder's rules: what head it understands, and which tags start a series.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "timeseries/QXCuts.h"

namespace tidemill {
namespace {

TEST(QXCutsTest, HeadUpToTheFirstSeries) {
  const std::string d = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
  const struct {
    std::string head;
    std::string found;  // "root@offset of the first series", or "" when not understood
  } rows[] = {
      {d + "<TimeSeries xmlns=\"urn:q\">\r\n\t<series>", "TimeSeries@69"},
      {"\xEF\xBB\xBF<!-- <series> --><?pi <series>?><q:r a='>' xmlns:q=\"u\"><!-- c --><?p?> <q:SERIES/>", "q:r@74"},
      {"<!DOCTYPE r [<!ATTLIST r a CDATA \"]>\"><!-- ]> --><?p ]>?>]>\n<r><series>", "r@63"},
      {"<!DOCTYPE r [<!ENTITY e \"x\">]><r><series>", ""},                // entities: the serial bounds
      {"<?xml version='1.0' encoding='windows-1252'?><r><Series>", "r@48"},
      {"<r>\n<seriesx/><series>", ""},                                       // another element first
      {"<r>text<series>", ""},                                              // text first
      {"<r><![CDATA[x]]><series>", ""},
      {"<r/><series>", ""},                                                 // an empty root
      {"<?xml version=\"1.0\" encoding=\"UTF-16\"?><r><series>", ""},      // not ASCII-compatible
      {std::string("<r>\0<series>", 12), ""},
      {"<!DOCTYPE r [<!ENTITY e \"x\">", ""},                               // cut off
      {"<r><!-- <series> ", ""},
      {"<r><series", ""},
  };
  for (const auto& row : rows) {
    const auto head = FindQXHead(row.head);
    EXPECT_EQ(head ? head->rootName + "@" + std::to_string(head->firstSeries) : "", row.found) << row.head;
  }
}

TEST(QXCutsTest, SeriesStartTags) {
  const struct {
    std::string window;
    std::size_t at;
  } rows[] = {
      {"x</series><series>", 10}, {"<series/>", 0}, {"<a:Series\t", 0}, {"<seriesA><:series><series ", 18},
      {"</series><q:series", std::string::npos}, {"<event/>", std::string::npos},
  };
  for (const auto& row : rows) EXPECT_EQ(FindSeriesStart(row.window), row.at) << row.window;
}

// Files of filler with series tags at given offsets, read in windows of 32 bytes.
TEST(QXCutsTest, NearestSeriesStart) {
  const struct {
    std::vector<std::size_t> tags;
    uint64_t target, low, reach;
    std::optional<uint64_t> found;
  } rows[] = {
      {{100}, 100, 0, 1000, 100},
      {{10, 200}, 40, 0, 1000, 10},            // behind is nearer, in the first window behind
      {{10, 60}, 50, 0, 1000, 60},             // ahead is nearer
      {{20, 80}, 50, 0, 1000, 20},             // as near: the one behind
      {{10, 300}, 150, 11, 1000, 300},         // the one behind lies below low
      {{60, 290}, 160, 0, 1000, 60},           // several windows back
      {{20, 290}, 160, 0, 1000, 290},          // several windows ahead
      {{155}, 160, 0, 1000, 155},              // a tag across the end of the window behind
      {{10, 330}, 170, 0, 100, std::nullopt},  // out of reach both ways
      {{}, 170, 0, 1000, std::nullopt},
  };
  for (const auto& row : rows) {
    std::string file(340, 'x');
    for (const std::size_t at : row.tags) file.replace(at, 8, "<series>");
    const auto read = [&file](uint64_t at, std::size_t size) { return file.substr(at, size); };
    EXPECT_EQ(NearestSeriesStart(read, row.target, row.low, file.size(), row.reach, 32), row.found) << row.target;
  }
}

}  // namespace
}  // namespace tidemill
