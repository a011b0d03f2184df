#include "timeseries/QXContentHandler.h"

#include <gtest/gtest.h>

#include <charconv>
#include <functional>

#include "common/DateTime.h"
#include "support/FaultyFileSystem.h"

namespace tidemill {
namespace {

constexpr const char* kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
                              "<TimeSeries xmlns=\"http://www.orva.example/orva/QX\" version=\"1.2\">\r\n";

// A document; a body that has its own prolog (or none at all) stands alone, any other goes inside TimeSeries.
std::string Document(const std::string& body) {
  const bool whole = body.empty() || body.starts_with("<?xml") || body.starts_with("<!DOCTYPE");
  return whole ? body : kHead + body + "</TimeSeries>\r\n";
}

// A series element with the given header content and events.
std::string Series(const std::string& header, const std::string& events = "") {
  return "\t<series>\r\n\t\t<header>" + header + "</header>\r\n" + events + "\t</series>\r\n";
}

std::string Event(const char* date, const char* time, const char* value, const char* flag = nullptr) {
  std::string e = std::string("\t\t<event date=\"") + date + "\" time=\"" + time + "\" value=\"" + value + "\"";
  if (flag != nullptr) e += std::string(" flag=\"") + flag + "\"";
  return e + "/>\r\n";
}

// Singles first, first + .5, first + 1, ... as side-file bytes (little-endian, as the host).
std::string Singles(int count, float first) {
  std::string bytes;
  for (int i = 0; i < count; ++i) {
    const float v = first + static_cast<float>(i) * 0.5f;
    bytes.append(reinterpret_cast<const char*>(&v), 4);
  }
  return bytes;
}

double At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) { return DateSerial(y, mo, d) + TimeSerial(h, mi, s); }

template <class Number>
std::string Text(Number n) {
  char buf[64];
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, n).ptr);
}

class QXContentHandlerTest : public ::testing::Test {
 protected:
  QXReadResult Read(const std::string& xml) { return ReadQXFile(dir_.Write("in.xml", xml)); }

  // The result as text: per series [location|parameter|unit*multiplier|missing value|events],
  // each event value/flag@instant with the parts at their defaults left out; then the error
  // and the message boxes. The directory is written "@".
  std::string Summary(const QXReadResult& r) {
    std::string out;
    for (const auto& s : *r.series) {
      out += "[" + s->sLocationID + "|" + s->sParameterID;
      if (s->lTimeStepMultiplier != 0) out += "|" + s->sTimeStepUnit + "*" + Text(s->lTimeStepMultiplier);
      if (s->sngMissingValue != 0) out += "|miss " + Text(s->sngMissingValue);
      for (int32_t i = 1; i <= s->lValCounter(); ++i) {
        (out += "|") += Text(s->sngValues(i));  // not "|" + : a false GCC 12 warning
        if (s->lFlag(i) != 0) out += "/" + Text(s->lFlag(i));
        if (s->dtEventDate(i) != At(2004, 3, 7)) out += "@" + DateTimeText(s->dtEventDate(i));
      }
      out += "]";
    }
    if (r.error) out += " E" + Text(r.error->Number()) + " " + r.error->Description();
    for (const auto& box : boxes_.boxes) out += " box " + box;
    return dir_.Masked(out, "@");
  }

  testing::TempDir dir_;
  testing::BoxRecorder boxes_;
};

TEST_F(QXContentHandlerTest, DocumentsAndWhatTheyGive) {
  dir_.Write("secret.txt", "SECRET");
  std::string wide;  // two-byte characters from an odd offset put block boundaries inside characters
  while (wide.size() < 3 * SaxXmlReader::kBlockSize) wide += "\xC3\xA4-";
  const std::pair<std::string, std::string> rows[] = {
      // Names in any case, with or without a prefix; the last text of a field counts.
      {"<q:SERIES xmlns:q=\"urn:q\"><q:HEADER><q:LOCATIONID>A</q:LOCATIONID><LocationId>B</LocationId><PARAMETERID>Q"
       "</PARAMETERID></q:HEADER><q:Event date=\"2004-03-07\" time=\"00:00:00\" value=\"2\"/></q:SERIES>", "[B|Q|2]"},
      // Text of blanks and events outside a series are no error.
      {"<locationId>  </locationId><timeStep unit=\"day\"/><event date=\"x\" time=\"y\"/>", ""},
      // Multipliers round half to even; a time step of one attribute is ignored.
      {Series("<timeStep unit=\"hour\"/>"), "[|]"},
      {Series("<timeStep multiplier=\" 3.5e0 \" unit=\"day\"/>"), "[||day*4]"},
      // Values and flags read as leading numbers; nan is the missing value; a flag that does not fit is 0.
      {Series("<missVal> \r\n -999.99x </missVal>",
              Event("2004-03-07", "00:00:00", "1,5", "1") + Event("2004-03-07", "00:00:00", "nan", "2.5") +
                  Event("2004-03-07", "00:00:00", "NaN", "3.5") + Event("2004-03-07", "00:00:00", "abc") +
                  Event("2004-03-07", "00:00:00", " -2.5E+2x", "-0.5") + Event("2004-03-07", "00:00:00", "1D3", "1e20") +
                  Event("2004-03-07", "00:00:00", "7", "many") + Event("2004-03-07", "00:00:00", "", "1e400")),
       "[||miss -999.99|1/1|-999.99/2|-999.99/4|0|-250|1000|7|0]"},
      // Infinities by name, as writers spell them; other words are no number.
      {Series("<missVal>-Infinity</missVal>", Event("2004-03-07", "00:00:00", "+INF") + Event("2004-03-07", "00:00:00", " Infinity\n") +
                  Event("2004-03-07", "00:00:00", "-inf") + Event("2004-03-07", "00:00:00", "infinite")),
       "[||miss -inf|inf|inf|-inf|0]"},
      // Events of fewer than three attributes are skipped; namespace declarations are not attributes,
      // and an attribute is found by its qualified name.
      {Series("", "<event date=\"2004-03-07\" time=\"06:00:00\"/><event xmlns:q=\"urn:q\" date=\"2004-03-07\" "
                  "time=\"06:00:00\"/><event/>" + Event("2004-03-08", "00:00:00", "4") +
                  "<event xmlns:q=\"urn:q\" date=\"2004-03-07\" time=\"00:00:00\" value=\"5\" q:flag=\"3\"/>"),
       "[||4@2004-03-08 00:00:00|5]"},
      // Instants on a step kept as a rule: one off the step and the rule going on after it; no
      // step, then one; a step back across midnight.
      {Series("", Event("2004-03-07", "00:00:00", "1") + Event("2004-03-07", "01:00:00", "2") +
                      Event("2004-03-07", "02:00:00", "3") + Event("2004-03-07", "03:30:00", "4") +
                      Event("2004-03-07", "04:00:00", "5") + Event("2004-03-07", "05:00:00", "6")),
       "[||1|2@2004-03-07 01:00:00|3@2004-03-07 02:00:00|4@2004-03-07 03:30:00|5@2004-03-07 04:00:00|"
       "6@2004-03-07 05:00:00]"},
      {Series("", Event("2004-03-07", "00:00:00", "1") + Event("2004-03-07", "00:00:00", "2") +
                      Event("2004-03-07", "00:00:00", "3") + Event("2004-03-07", "06:00:00", "4") +
                      Event("2004-03-07", "00:00:00", "5") + Event("2004-03-06", "18:00:00", "6")),
       "[||1|2|3|4@2004-03-07 06:00:00|5|6@2004-03-06 18:00:00]"},
      // Text as delivered, controls as blanks, entities and character sets resolved.
      {Series("<locationId>  Lock\r\n7\tb  </locationId>"), "[  Lock 7 b  |]"},
      {Series("<locationId>A&amp;B<![CDATA[<C>]]>&#x44;&#x263A;</locationId>"), "[A&B<C>D\xE2\x98\xBA|]"},
      {Series("<locationId>A<b>c</b>d</locationId><locationId>  \r\n </locationId><x>junk</x>"), "[Acd|]"},
      {Series("<locationId>x" + wide + "</locationId>"), "[x" + wide + "|]"},
      // Nothing outside the document is loaded.
      {"<!DOCTYPE r [<!ENTITY x SYSTEM \"secret.txt\">]><r><series><locationId>&x;</locationId></series></r>",
       "[|] box 64||failed to load external entity \"secret.txt\" at line 1, column 73 of @/in.xml\r\n"
       "ErrorCode = 1549"},
      // A fatal error ends the parse; the series ended before stay.
      {kHead + Series("<locationId>A</locationId>") + "\t<series>\r\n\t\t<header><locationId>B",
       "[A|] E77 Premature end of data in tag locationId line 7 at line 7, column 24 of @/in.xml box 64||Premature end "
       "of data in tag locationId line 7 at line 7, column 24 of @/in.xml\r\nErrorCode = 77"},
      // Content errors name the element, its line and the file, and are no message of their own.
      {"<locationId>A</locationId>", " E91 Object variable or With block variable not set: no \"series\" element has "
                                     "started, in element \"locationId\", line 3 of @/in.xml"},
      {"<series>\r\n<event Date=\"2004-03-07\" time=\"00:00:00\" value=\"1\"/></series>",
       " E5 Invalid procedure call or argument: no attribute \"date\", in element \"event\", line 4 of @/in.xml"},
      {"<series><event date=\"2004-xx-07\" time=\"00:00:00\" value=\"1\"/></series>",
       " E13 Type mismatch: characters 6 to 7 of \"date\" value \"2004-xx-07\" are not a number, in element \"event\", "
       "line 3 of @/in.xml"},
      {"<series><event date=\"2004-03-07\" time=\"00:00:00\" value=\"1e39\"/></series>",
       " E6 Overflow: attribute \"value\" = \"1e39\", in element \"event\", line 3 of @/in.xml"},
  };
  for (const auto& [body, summary] : rows) {
    SCOPED_TRACE(body.substr(0, 200));
    boxes_.boxes.clear();
    const QXReadResult r = Read(Document(body));
    EXPECT_EQ(Summary(r), summary);
    for (int32_t k = 1; k <= r.series->Count(); ++k) EXPECT_EQ(r.series->Item(std::to_string(k)), r.series->Item(k));
  }
}

TEST_F(QXContentHandlerTest, EveryTruncationGivesAnErrorOrTheWholeResult) {
  const std::string xml = Document(Series("<locationId>A</locationId><missVal>-1</missVal>",
                                          Event("2004-03-07", "00:00:00", "1", "2") + Event("2004-03-07", "01:00:00", "nan")) +
                                   Series("<locationId>B</locationId>"));
  for (std::size_t n = 0; n < xml.size(); ++n) {
    SCOPED_TRACE(n);
    QXReadResult r = Read(xml.substr(0, n));
    // The closing tag of the root may be cut with nothing lost but the final line end.
    const bool complete = n >= xml.size() - 2;
    EXPECT_EQ(!r.error, complete);
    EXPECT_LE(r.series->Count(), 2);
    if (r.series->Count() >= 1) {
      EXPECT_EQ(r.series->Item(1)->lValCounter(), 2);
      EXPECT_EQ(r.series->Item(1)->sngValues(2), -1.0f);
    }
  }
}

TEST(QXValueRulesTest, DateAndTimeAtFixedPositions) {
  const std::pair<const char*, double> dates[] = {
      {"2004-03-07", DateSerial(2004, 3, 7)},   {"2004/03/07T12:00", DateSerial(2004, 3, 7)},
      {"2004-13-01", DateSerial(2005, 1, 1)},   {"2004-02-30", DateSerial(2004, 3, 1)},
      {"2004-03-00", DateSerial(2004, 2, 29)},  {"1899-12-30", 0.0},
      {" 204-03-07", DateSerial(204, 3, 7)},    {"2004-03- 7", DateSerial(2004, 3, 7)},
      {"0099-01-01", DateSerial(99, 1, 1)},
  };
  for (const auto& [text, day] : dates) EXPECT_EQ(QXDateValue(text), day) << text;
  for (const char* bad : {"", "2004", "2004-3-7", "2004-03-", "20O4-03-07", "2004-+-07", "2004-03-0x", "----------"})
    EXPECT_THROW(QXDateValue(bad), Error) << bad;
  const std::pair<const char*, double> times[] = {
      {"06:00:00", 0.25}, {"24:00:00", 1.0}, {"12:30:15.750+01:00", (12 * 3600 + 30 * 60 + 15) / 86400.0},
      {"00:90:00", 1.5 / 24}, {"00:00:00", 0.0}, {"-1:00:00", -1.0 / 24},
  };
  for (const auto& [text, fraction] : times) EXPECT_DOUBLE_EQ(QXTimeValue(text), fraction) << text;
  for (const char* bad : {"", "6:00:00", "06:00", "06-00-0x", "ab:cd:ef"}) EXPECT_THROW(QXTimeValue(bad), Error) << bad;
}

// Two hourly series over one day, 25 values each.
std::string TwoDays(const std::string& firstEvents = "") {
  const std::string header =
      "<timeStep unit=\"second\" multiplier=\"3600\"/><startDate date=\"2004-03-07\" time=\"00:00:00\"/>"
      "<endDate date=\"2004-03-08\" time=\"00:00:00\"/>";
  return Document(Series("<locationId>A</locationId>" + header, firstEvents) + Series("<locationId>B</locationId>" + header));
}

TEST_F(QXContentHandlerTest, SideFileValuesReplaceTheEventsAndAnEmptyOneIsIgnored) {
  dir_.Write("in.bin", Singles(50, 1.0f));
  const QXReadResult r = Read(TwoDays(Event("2004-03-07", "00:00:00", "-5")));
  ASSERT_EQ(r.series->Count(), 2);
  EXPECT_EQ(r.series->Item(1)->sngValues(1), 1.0f);
  EXPECT_EQ(r.series->Item(2)->sngValues(25), 25.5f);
  EXPECT_EQ(r.series->Item(2)->dtEventDate(25), At(2004, 3, 8));
  dir_.Write("in.bin", "");
  EXPECT_EQ(Summary(Read(Document(Series("<timeStep unit=\"nonequidistant\"/>", Event("2004-03-07", "00:00:00", "3"))))),
            "[||3]");
}

TEST_F(QXContentHandlerTest, SideFileFailuresAreError1002WithTheCause) {
  const std::string period = "<startDate date=\"2004-03-07\" time=\"00:00:00\"/><endDate date=\"2004-03-08\" time=\"00:00:00\"/>";
  const std::tuple<std::string, int, std::string> cases[] = {
      {"<timeStep unit=\"nonequidistant\"/>" + period, 25,
       "Error 11 (Division by zero: series 1 in @/in.xml, ending at line 3, has a time step of 0 seconds)"},
      {"<timeStep unit=\"hour\" multiplier=\"1\"/>" + period, 24,
       "Error 62 (Input past end of file: @/in.bin holds 96 bytes; series 1 in @/in.xml, ending at line 3, needs 100 "
       "from byte 1)"},
      {"<timeStep unit=\"hour\" multiplier=\"-1\"/>" + period, 25,
       "Error 9 (Subscript out of range: series 1 in @/in.xml, ending at line 3, would hold -23 values: its end lies "
       "before its start)"},
      {"<timeStep unit=\"second\" multiplier=\"1\"/><startDate date=\"1000-01-01\" time=\"00:00:00\"/>"
       "<endDate date=\"9000-01-01\" time=\"00:00:00\"/>", 1,
       "Error 6 (Overflow: series 1 in @/in.xml, ending at line 3, would hold 2.524556E+11 values)"},
  };
  for (const auto& [header, values, description] : cases) {
    dir_.Write("in.bin", Singles(values, 1.0f));
    QXReadResult r = Read(Document("<series>" + header + "</series>\r\n"));
    EXPECT_EQ(Summary(r), " E1002 " + description);
    EXPECT_EQ(r.error->Source(), "clsQXContentHandler.fillSeriesFromBinFile");
  }
}

// A plain file of several series is read in one range per thread, with the serial result: the
// parallel path itself is taken, not only its way back to the serial read.
TEST_F(QXContentHandlerTest, PlainSeriesAreReadInOneRangePerThread) {
  std::string body;
  for (int i = 1; i <= 8; ++i) {
    body += Series("<locationId>L" + Text(i) + "</locationId>", Event("2004-03-07", "06:00:00", Text(i).c_str()));
  }
  const std::string path = dir_.Write("in.xml", Document(body));
  const QXReadResult serial = ReadQXFile(path, {1, 0});
  EXPECT_EQ(serial.ranges, 0u);
  for (const unsigned threads : {2u, 4u}) {
    const QXReadResult parallel = ReadQXFile(path, {threads, 1});
    EXPECT_EQ(parallel.ranges, threads);
    EXPECT_EQ(Summary(parallel), Summary(serial));
  }
}

// Hostile documents end in a clear error after reading little of them, never in a hang or in
// memory that grows with the attack.
TEST(QXHostileInputTest, EndsEarlyWithAClearError) {
  const struct {
    const char* name;
    std::string head;
    std::function<std::string(uint64_t)> piece;
    uint64_t pieces;
    std::string error;  // the start of the error's summary
    std::size_t boxes;  // the parser's own reports
    uint64_t mostRead = 1 << 20;
  } cases[] = {
      {"a million elements deep", "<TimeSeries>", [](uint64_t) { return std::string("<a>"); }, 1000000,
       "Error 1 (Excessive depth in document: 256", 1},
      {"400,000 attributes on one element", "<TimeSeries><series",
       [](uint64_t i) { return " a" + std::to_string(i) + "=\"1\""; }, 400000,
       "Error 6 (Overflow: the element at byte 13 of @/hostile.xml has more than 10000 attributes)", 0},
      // Each reference expands the entity again: quadratic in the file's size.
      {"a 10 KB entity referenced again and again",
       "<!DOCTYPE TimeSeries [<!ENTITY e \"" + std::string(10000, 'x') + "\">]>\n<TimeSeries><series>\n<locationId>",
       [](uint64_t) { return std::string("&e;"); }, 100000,
       "Error 6 (Overflow: entities expand to more than 1000000 bytes of text, in element \"locationId\", line 3 of "
       "@/hostile.xml)", 0},
      {"entities nested ten deep", [] {
         std::string dtd = "<!DOCTYPE TimeSeries [<!ENTITY e0 \"xxxxxxxxxx\">";
         for (int i = 1; i <= 9; ++i) {
           dtd += "<!ENTITY e" + std::to_string(i) + " \"";
           for (int r = 0; r < 10; ++r) dtd += "&e" + std::to_string(i - 1) + ";";
           dtd += "\">";
         }
         return dtd + "]><TimeSeries><series><locationId>";
       }(), [](uint64_t) { return std::string("&e9;"); }, 1, "Error 89 (Detected an entity reference loop", 1},
      // No entity at all: the text kept for one element is bounded too.
      {"10 MB of text in one element", "<TimeSeries><series><locationId>",
       [](uint64_t) { return std::string(1000, 'x'); }, 10001,
       "Error 6 (Overflow: the text is longer than 10000000 bytes, in element \"locationId\", line 1 of @/hostile.xml)",
       0, 11 << 20},
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
    const std::string summary = dir.Masked(ErrorSummary(*read.error), "@");
    EXPECT_TRUE(summary.starts_with(c.error)) << summary;
    EXPECT_LT(fs.bytesRead.load(), c.mostRead);
    EXPECT_EQ(recorder.boxes.size(), c.boxes);
  }
}

}  // namespace
}  // namespace tidemill
