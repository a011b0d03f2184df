// QX-XML input through the built executable: a named pipe reads as the file of the same bytes,
// the parser's warnings stay out of the log, and a file read in ranges on several threads gives
// exactly what the serial reader gives, log included.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <thread>

#include "support/RunTidemill.h"

namespace tidemill {
namespace {

using namespace testing;

struct Result {
  std::vector<DiagLine> log;
  std::string kel;      // out.kel, or empty when none was written
  std::string listing;
  bool operator==(const Result&) const = default;
};

enum class Feed { File, Pipe, PipeOpenedLate };

// Converts in.xml (a named pipe fed with xml unless a file) of dir to out.kel, then clears dir.
// A late writer opens the pipe only once the program holds it open for reading.
Result ToKel(const TempDir& dir, const std::string& xml, Feed feed = Feed::File) {
  const bool fifo = feed != Feed::File;
  std::thread writer;
  std::atomic<bool> done = false;
  if (fifo) {
    EXPECT_TRUE(MakeNamedPipe(dir.File("in.xml")));
    writer = std::thread([&] { FeedNamedPipe(dir.File("in.xml"), xml, feed == Feed::PipeOpenedLate, done); });
  } else {
    dir.Write("in.xml", xml);
  }
  const Outcome o = RunTidemill(dir.Path(), {"in.xml", "out.kel", "/batch", "/diagfile", "diag.xml"});
  done = true;
  if (fifo) {
    // A reader that never came would leave the writer waiting.
    ReleaseNamedPipe(dir.File("in.xml"));
    writer.join();
  }
  EXPECT_EQ(o.err, "");
  Result r{LoggedAfterStart(dir), Slurp(dir.File("out.kel")), dir.Listing()};
  for (const char* name : {"in.xml", "out.kel", "diag.xml"}) std::remove(dir.File(name).c_str());
  return r;
}

// A series of events on 2006-04-10, 11, 12 ..., inner placed after its header.
std::string Series(const std::string& location, int events, const std::string& inner = "", const std::string& q = "") {
  std::string s = "\r\n\t<" + q + "series><" + q + "header><" + q + "locationId>" + location + "</" + q + "locationId><" +
                  q + "parameterId>Q</" + q + "parameterId></" + q + "header>" + inner;
  for (int i = 0; i < events; ++i)
    s += "<" + q + "event date=\"2006-04-1" + std::to_string(i) + "\" time=\"00:00:00\" value=\"" + std::to_string(i + 1) +
         ".5\"/>";
  return s + "</" + q + "series>";
}

std::string Document(const std::string& series, const std::string& root = "<TimeSeries xmlns=\"urn:qx\">",
                     const std::string& end = "</TimeSeries>", const std::string& prolog = "") {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n" + prolog + root + series + "\r\n" + end + "\r\n";
}

// "L" and the number; GCC 12 warns wrongly about "L" + std::to_string(i).
std::string Name(int i) {
  std::string name = "L";
  return name += std::to_string(i);
}

std::string Many(int count, const std::function<std::string(int)>& one) {
  std::string s;
  for (int i = 1; i <= count; ++i) s += one(i);
  return s;
}

TEST(QXInputTest, NamedPipeAndRelativeNamespaceReadAsTheFile) {
  TempDir dir;
  // Larger than a pipe's buffer; a relative namespace name is legal and draws no report.
  const std::string xml = Document(Many(40, [](int i) { return Series(Name(i), 9, std::string(4000, ' ')); }),
                                   "<TimeSeries xmlns=\"orva/QX\">");
  const Result file = ToKel(dir, xml);
  EXPECT_EQ(file.log, std::vector<DiagLine>{kConvertedLine});
  TIDEMILL_POSIX_ONLY("Windows has no named pipes in its file system");
  EXPECT_EQ(ToKel(dir, xml, Feed::Pipe), file);
  EXPECT_EQ(ToKel(dir, xml, Feed::PipeOpenedLate), file);
}

// Every row read serially and in ranges (the size threshold lowered to a byte) on 2, 3 and 4
// threads: the same Kel file, the same log and the same files.
TEST(QXInputTest, RangesReadAsTheSerialReader) {
  const auto plain = [](int i) { return Series(Name(i), 3); };
  const std::string q = "q:";
  const std::string rows[] = {
      Document(Many(9, plain)), Document(plain(1)), Document(""),  // fewer series than threads
      Document(Many(9, [&](int i) { return Series(Name(i), 3, "", q); }),
               "<q:TimeSeries xmlns:q=\"urn:qx\" xmlns=\"urn:other\">", "</q:TimeSeries>"),
      // Comments, processing instructions and CDATA that look like series, between and inside them.
      Document(Many(9, [](int i) {
                 return "<!-- <series> -->\r\n<?keep <series>?>" +
                        Series(Name(i), 3, "<!-- <series> --><?pi <series>?><stationName><![CDATA[<series>]]></stationName>");
               }),
               "<!-- before --><TimeSeries xmlns=\"urn:qx\"><?pi?>"),
      // Character references, and a DOCTYPE that every range is given (its default attributes);
      // entities, bounded over the whole document, are read serially.
      Document(Many(9, [](int i) { return Series("&#x4C;&amp;" + std::to_string(i) + "&#x263A;", 3); }), "<TimeSeries>",
               "</TimeSeries>", "<!DOCTYPE TimeSeries [<!ATTLIST event flag CDATA \"7\"> <!-- ] > -->]>"),
      Document(Many(9, [](int i) { return Series("&loc;" + std::to_string(i), 3); }), "<TimeSeries>", "</TimeSeries>",
               "<!DOCTYPE TimeSeries [<!ENTITY loc \"Lo&#99;k]>\">]>"),
      // A parse error in the last range, a content error in the first, an error the parser
      // recovers from (an undeclared prefix) in the middle.
      Document(Many(9, plain) + "<series><locationId>X</series>"),
      Document(Many(4, plain) + Series("U", 2, "<u:flag/>") + Many(4, plain)),
      Document(Series("L0", 2, "<event date=\"2006-xx-01\" time=\"00:00:00\" value=\"1\"/>") + Many(9, plain)),
      // What a range cannot read alone: events and text between series, a recognised root.
      Document(Many(4, plain) + "<event date=\"2006-05-01\" time=\"00:00:00\" value=\"7\"/>" + Many(5, plain)),
      Document(Many(4, plain) + "text" + Many(5, plain)),
      Document(Many(9, plain), "<units>", "</units>"),
      // Series inside series; a document without a root's end.
      Document(Series("A", 2, Series("B", 2)) + Many(6, plain) + Series("C", 2, Series("D", 3))),
      Document(Many(9, plain), "<TimeSeries>", ""),
  };
  TempDir dir;
  SetEnvironment("TIDEMILL_PARALLEL_MIN_BYTES", "1");
  for (const std::string& xml : rows) {
    SCOPED_TRACE(xml.substr(0, 300));
    SetEnvironment("TIDEMILL_THREADS", "1");
    const Result serial = ToKel(dir, xml);
    for (const char* threads : {"2", "3", "4"}) {
      SetEnvironment("TIDEMILL_THREADS", threads);
      EXPECT_EQ(ToKel(dir, xml), serial) << threads << " threads";
    }
  }
  SetEnvironment("TIDEMILL_THREADS", nullptr);
  SetEnvironment("TIDEMILL_PARALLEL_MIN_BYTES", nullptr);
}

}  // namespace
}  // namespace tidemill
