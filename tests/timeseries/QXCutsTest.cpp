// The cut finder's rules: what head it understands, and which tags start a series.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tidemill
