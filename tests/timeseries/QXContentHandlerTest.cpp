#include "timeseries/QXContentHandler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "common/DateTime.h"
#include "support/FaultyFileSystem.h"

namespace tidemill {
namespace {

constexpr const char* kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
                              "<TimeSeries xmlns=\"http://www.orva.example/orva/QX\" version=\"1.2\">\r\n";
constexpr const char* kTail = "</TimeSeries>\r\n";

// A series element with the given header content and events.
std::string Series(const std::string& header, const std::string& events = "") {
  return "\t<series>\r\n\t\t<header>" + header + "</header>\r\n" + events + "\t</series>\r\n";
}

std::string Event(const char* date, const char* time, const char* value, const char* flag = nullptr) {
  std::string e = std::string("\t\t<event date=\"") + date + "\" time=\"" + time + "\" value=\"" + value + "\"";
  if (flag != nullptr) e += std::string(" flag=\"") + flag + "\"";
  return e + "/>\r\n";
}

std::string Document(const std::string& body) { return kHead + body + kTail; }

std::string Floats(const std::vector<float>& values) {
  std::string bytes;
  for (float v : values) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    for (int k = 0; k < 4; ++k) bytes += static_cast<char>((bits >> (8 * k)) & 0xFF);
  }
  return bytes;
}

double At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) { return DateSerial(y, mo, d) + TimeSerial(h, mi, s); }

class QXContentHandlerTest : public ::testing::Test {
 protected:
  QXReadResult Read(const std::string& xml, const char* name = "in.xml") {
    return ReadQXFile(dir_.Write(name, xml));
  }

  // The one series of a document that must read without error.
  std::shared_ptr<clsSeries> ReadOne(const std::string& xml) {
    QXReadResult r = Read(xml);
    if (r.error) ADD_FAILURE() << r.error->Description();
    if (r.series->Count() != 1) {
      ADD_FAILURE() << r.series->Count() << " series";
      return std::make_shared<clsSeries>();
    }
    return r.series->Item(1);
  }

  testing::TempDir dir_;
  testing::BoxRecorder boxes_;
};

TEST_F(QXContentHandlerTest, HeaderFieldsAndEventsOfAWrittenFile) {
  const std::pair<std::string, std::string clsSeries::*> texts[] = {
      {"type", &clsSeries::sType},         {"locationId", &clsSeries::sLocationID},
      {"parameterId", &clsSeries::sParameterID}, {"longName", &clsSeries::sLongName},
      {"stationName", &clsSeries::sStationName}, {"units", &clsSeries::sUnits},
      {"sourceOrganisation", &clsSeries::sSourceOrganisation}, {"sourceSystem", &clsSeries::sSourceSystem},
      {"fileDescription", &clsSeries::sFileDescription}, {"region", &clsSeries::sRegion}};
  std::string header =
      "\r\n\t\t\t<timeStep unit=\"second\" multiplier=\"3600\"/>\r\n\t\t\t<startDate date=\"2004-03-07\" "
      "time=\"06:00:00\"/>\r\n\t\t\t<endDate date=\"2004-03-07\" time=\"07:00:00\"/>\r\n\t\t\t<missVal>-999.99</missVal>";
  for (const auto& [name, field] : texts) header += "\r\n\t\t\t<" + name + ">" + name + " text</" + name + ">";
  auto s = ReadOne(Document(Series(header + "\r\n\t\t", Event("2004-03-07", "06:00:00", "1.5", "0") +
                                                            Event("2004-03-07", "07:00:00", "-.25", "3"))));
  for (const auto& [name, field] : texts) EXPECT_EQ((*s).*field, name + " text");
  EXPECT_EQ(s->sTimeStepUnit, "second");
  EXPECT_EQ(s->lTimeStepMultiplier, 3600);
  EXPECT_EQ(s->dtStartDate, DateSerial(2004, 3, 7));
  EXPECT_EQ(s->dtStartTime, 0.25);
  EXPECT_EQ(s->dtEndDate + s->dtEndTime, At(2004, 3, 7, 7));
  EXPECT_EQ(s->sngMissingValue, -999.99f);
  ASSERT_EQ(s->lValCounter(), 2);
  EXPECT_EQ(s->dtEventDate(1), At(2004, 3, 7, 6));
  EXPECT_EQ(s->sngValues(1), 1.5f);
  EXPECT_EQ(s->dtEventDate(2), At(2004, 3, 7, 7));
  EXPECT_EQ(s->sngValues(2), -0.25f);
  EXPECT_EQ(s->lFlag(2), 3.0);
  EXPECT_TRUE(boxes_.boxes.empty());
}

TEST_F(QXContentHandlerTest, ElementNamesInAnyCaseAndWithAPrefix) {
  auto s = ReadOne(Document("<q:SERIES xmlns:q=\"urn:q\"><q:HEADER><q:LOCATIONID>A</q:LOCATIONID><LocationId>B</LocationId>"
                            "<PARAMETERID>Q</PARAMETERID></q:HEADER><q:Event date=\"2004-03-07\" time=\"00:00:00\" "
                            "value=\"2\"/></q:SERIES>"));
  EXPECT_EQ(s->sLocationID, "B");
  EXPECT_EQ(s->sParameterID, "Q");
  EXPECT_EQ(s->lValCounter(), 1);
}

TEST_F(QXContentHandlerTest, TimeStepAttributes) {
  struct Case {
    const char* element;
    const char* unit;
    int32_t multiplier;
  };
  const Case cases[] = {
      {"<timeStep unit=\"hour\"/>", "", 0},
      {"<timeStep unit=\"second\" multiplier=\"3600\"/>", "second", 3600},
      {"<timeStep unit=\"Hour\" multiplier=\"2.5\"/>", "Hour", 2},
      {"<timeStep multiplier=\" 3.5e0 \" unit=\"day\"/>", "day", 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.element);
    auto s = ReadOne(Document(Series(c.element)));
    EXPECT_EQ(s->sTimeStepUnit, c.unit);
    EXPECT_EQ(s->lTimeStepMultiplier, c.multiplier);
  }
}

TEST_F(QXContentHandlerTest, EventValuesAndFlags) {
  struct Case {
    const char* value;
    const char* flag;  // null: no flag attribute
    float expectedValue;
    double expectedFlag;
  };
  const Case cases[] = {
      {"1.5", "0", 1.5f, 0},       {"1,5", "1", 1.0f, 1},       {"nan", "2.5", -999.99f, 2},
      {"NaN", "3.5", -999.99f, 4}, {"abc", nullptr, 0.0f, 0},   {" -2.5E+2x", "-0.5", -250.0f, 0},
      {"1D3", "1e20", 1000.0f, 0}, {"7", "many", 7.0f, 0},      {"", "1e400", 0.0f, 0},
  };
  std::string events;
  for (const Case& c : cases) events += Event("2004-03-07", "00:00:00", c.value, c.flag);
  auto s = ReadOne(Document(Series("<missVal> \r\n -999.99x </missVal>", events)));
  ASSERT_EQ(s->lValCounter(), static_cast<int32_t>(std::size(cases)));
  for (int32_t i = 1; i <= s->lValCounter(); ++i) {
    const Case& c = cases[i - 1];
    SCOPED_TRACE(std::string(c.value) + " / " + (c.flag ? c.flag : "no flag"));
    EXPECT_EQ(s->sngValues(i), c.expectedValue);
    EXPECT_EQ(s->lFlag(i), c.expectedFlag);
  }
}

TEST_F(QXContentHandlerTest, EventsWithTooFewAttributesAreSkipped) {
  auto s = ReadOne(Document(Series("", "<event date=\"2004-03-07\" time=\"06:00:00\"/>" +
                                           Event("2004-03-08", "00:00:00", "4") + "<event/>")));
  ASSERT_EQ(s->lValCounter(), 1);
  EXPECT_EQ(s->dtEventDate(1), At(2004, 3, 8));
}

TEST_F(QXContentHandlerTest, TextIsKeptAsDeliveredWithControlsAsBlanks) {
  struct Case {
    const char* element;
    const char* expected;
  };
  const Case cases[] = {
      {"<locationId>  A  </locationId>", "  A  "},
      {"<locationId>Lock\r\n7</locationId>", "Lock 7"},
      {"<locationId>a\tb</locationId>", "a b"},
      {"<locationId>A&amp;B<![CDATA[<C>]]>&#x44;</locationId>", "A&B<C>D"},
      {"<locationId>\xC3\xA4</locationId>", "\xC3\xA4"},
      {"<locationId>A</locationId><locationId>  \r\n </locationId>", "A"},
      {"<locationId>A</locationId><x>junk</x>", "A"},
      {"<locationId>A<b>c</b>d</locationId>", "Acd"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.element);
    EXPECT_EQ(ReadOne(Document(Series(c.element)))->sLocationID, c.expected);
  }
}

TEST_F(QXContentHandlerTest, SeriesInFileOrderUnderKeysOneTwoThree) {
  // Text of blanks and events outside a series are no error.
  QXReadResult none = Read(Document("<locationId>  </locationId><timeStep unit=\"day\"/><event date=\"x\" time=\"y\"/>"));
  ASSERT_FALSE(none.error);
  EXPECT_EQ(none.series->Count(), 0);

  QXReadResult r = Read(Document(Series("<locationId>A</locationId>") + Series("<locationId>B</locationId>") +
                                 Series("<locationId>C</locationId>")));
  ASSERT_FALSE(r.error);
  ASSERT_EQ(r.series->Count(), 3);
  EXPECT_EQ(r.series->Item("1")->sLocationID, "A");
  EXPECT_EQ(r.series->Item("2")->sLocationID, "B");
  EXPECT_EQ(r.series->Item("3")->sLocationID, "C");
  EXPECT_EQ(r.series->Item(2), r.series->Item("2"));
}

TEST_F(QXContentHandlerTest, WithoutReadAllEventsAreIgnored) {
  const std::string path =
      dir_.Write("in.xml", Document(Series("<locationId>A</locationId>", Event("2004-03-07", "00:00:00", "1")) +
                                    "<event date=\"bad\" time=\"bad\" value=\"1\"/>"));
  clsQXContentHandler handler;
  SaxXmlReader reader;
  reader.contentHandler(&handler);
  handler.XMLFile(path);
  reader.parseURL(path);
  ASSERT_EQ(handler.collSeries()->Count(), 1);
  EXPECT_EQ(handler.collSeries()->Item(1)->sLocationID, "A");
  EXPECT_EQ(handler.collSeries()->Item(1)->lValCounter(), 0);
}

TEST_F(QXContentHandlerTest, FileChecksAtTheStartOfTheDocument) {
  clsQXContentHandler handler;
  SaxXmlReader reader;
  reader.contentHandler(&handler);
  try {
    reader.parse("<TimeSeries/>", "in.xml");
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), kErrQXFile);
    EXPECT_EQ(e.Description(), "QX XML Filename not defined in class clsQXContentHandler");
  }
  const std::string missing = dir_.File("missing.xml");
  QXReadResult r = ReadQXFile(missing);
  ASSERT_TRUE(r.error);
  EXPECT_EQ(r.error->Number(), kErrQXFile);
  EXPECT_EQ(r.error->Description(), "File does not exist: " + missing);
  EXPECT_EQ(r.series->Count(), 0);
}

TEST_F(QXContentHandlerTest, ContentErrorsNameTheElementLineAndFile) {
  struct Case {
    std::string body;
    int32_t number;
    std::string description;
  };
  const std::string file = dir_.File("in.xml");
  const Case cases[] = {
      {"<locationId>A</locationId>", kErrObjectNotSet,
       "Object variable or With block variable not set: no \"series\" element has started (element \"locationId\", "
       "line 3 of " + file + ")"},
      {"<event date=\"2004-03-07\" time=\"00:00:00\" value=\"1\"/>", kErrObjectNotSet,
       "Object variable or With block variable not set: no \"series\" element has started (element \"event\", line 3 "
       "of " + file + ")"},
      {"<series>\r\n<event Date=\"2004-03-07\" time=\"00:00:00\" value=\"1\"/></series>", kErrInvalidCall,
       "Invalid procedure call or argument: no attribute \"date\" (element \"event\", line 4 of " + file + ")"},
      {"<series><event date=\"2004-xx-07\" time=\"00:00:00\" value=\"1\"/></series>", kErrTypeMismatch,
       "Type mismatch: characters 6 to 7 of \"date\" value \"2004-xx-07\" are not a number (element \"event\", line 3 "
       "of " + file + ")"},
      {"<series><timeStep unit=\"day\" other=\"1\"/></series>", kErrInvalidCall,
       "Invalid procedure call or argument: no attribute \"multiplier\" (element \"timeStep\", line 3 of " + file + ")"},
      {"<series><event date=\"2004-03-07\" time=\"00:00:00\" value=\"1e39\"/></series>", kErrOverflow,
       "Overflow: attribute \"value\" = \"1e39\" (element \"event\", line 3 of " + file + ")"},
      {"<series><timeStep unit=\"day\" multiplier=\"3e9\"/></series>", kErrOverflow,
       "Overflow: attribute \"multiplier\" = \"3e9\" (element \"timeStep\", line 3 of " + file + ")"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    QXReadResult r = Read(Document(c.body));
    ASSERT_TRUE(r.error);
    EXPECT_EQ(r.error->Number(), c.number);
    EXPECT_EQ(r.error->Description(), c.description);
  }
}

TEST_F(QXContentHandlerTest, ParseErrorKeepsTheSeriesEndedBeforeItAndIsReported) {
  const std::string xml = Document(Series("<locationId>A</locationId>") + Series("<locationId>B</locationId>")) ;
  const std::string truncated = xml.substr(0, xml.find("<locationId>B"));
  QXReadResult r = Read(truncated);
  ASSERT_TRUE(r.error);
  EXPECT_EQ(r.error->Number(), 77);
  ASSERT_EQ(r.series->Count(), 1);
  EXPECT_EQ(r.series->Item(1)->sLocationID, "A");
  EXPECT_EQ(boxes_.boxes, std::vector<std::string>{"64||" + r.error->Description() + "\r\nErrorCode = 77"});
  EXPECT_EQ(r.error->Description(), "Premature end of data in tag header line 7 at line 7, column 11 of " + dir_.File("in.xml"));
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

TEST(QXValueRulesTest, DateAtFixedPositions) {
  struct Case {
    const char* text;
    double expected;
  };
  const Case cases[] = {
      {"2004-03-07", DateSerial(2004, 3, 7)},   {"2004/03/07T12:00", DateSerial(2004, 3, 7)},
      {"2004-13-01", DateSerial(2005, 1, 1)},   {"2004-02-30", DateSerial(2004, 3, 1)},
      {"2004-03-00", DateSerial(2004, 2, 29)},  {"1899-12-30", 0.0},
      {" 204-03-07", DateSerial(204, 3, 7)},    {"2004-03- 7", DateSerial(2004, 3, 7)},
      {"0099-01-01", DateSerial(99, 1, 1)},     {"2004\xC3\xA4" "03-07", DateSerial(2004, 3, 7)},
      {"2004\xE2\x82\xAC" "03107", DateSerial(2004, 3, 7)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(QXDateValue(c.text), c.expected);
  }
  for (const char* bad : {"", "2004", "2004-3-7", "2004-03-", "20O4-03-07", "2004-+-07", "2004-03-0x", "----------"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(QXDateValue(bad), Error);
  }
}

TEST(QXValueRulesTest, TimeAtFixedPositions) {
  struct Case {
    const char* text;
    double expected;
  };
  const Case cases[] = {
      {"06:00:00", 0.25},
      {"24:00:00", 1.0},
      {"12:30:15.750+01:00", (12 * 3600 + 30 * 60 + 15) / 86400.0},
      {"00:90:00", 1.5 / 24},
      {"00:00:00", 0.0},
      {"-1:00:00", -1.0 / 24},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_DOUBLE_EQ(QXTimeValue(c.text), c.expected);
  }
  for (const char* bad : {"", "6:00:00", "06:00", "06-00-0x", "ab:cd:ef"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(QXTimeValue(bad), Error);
  }
}

// Two hourly series over one day, 25 values each.
std::string TwoDays(const std::string& firstEvents = "") {
  const std::string header =
      "<timeStep unit=\"second\" multiplier=\"3600\"/><startDate date=\"2004-03-07\" time=\"00:00:00\"/>"
      "<endDate date=\"2004-03-08\" time=\"00:00:00\"/>";
  return Document(Series("<locationId>A</locationId>" + header, firstEvents) + Series("<locationId>B</locationId>" + header));
}

// count values first, first + .5, first + 1, ...
std::vector<float> Values(int count, float first) {
  std::vector<float> v;
  for (int i = 0; i < count; ++i) v.push_back(first + static_cast<float>(i) * 0.5f);
  return v;
}

TEST_F(QXContentHandlerTest, SideFileGivesValuesAndRebuiltInstants) {
  const std::vector<float> values = Values(50, 1.0f);
  dir_.Write("in.bin", Floats(values));
  QXReadResult r = Read(TwoDays(Event("2004-03-07", "00:00:00", "-5", "9") + Event("2004-03-09", "00:00:00", "-6")));
  ASSERT_FALSE(r.error) << r.error->Description();
  ASSERT_EQ(r.series->Count(), 2);
  for (int k = 1; k <= 2; ++k) {
    SCOPED_TRACE(k);
    auto s = r.series->Item(k);
    ASSERT_EQ(s->lValCounter(), 25);
    for (int32_t i = 1; i <= 25; ++i) {
      ASSERT_EQ(s->sngValues(i), values[static_cast<std::size_t>(25 * (k - 1) + i - 1)]);
      ASSERT_NEAR(s->dtEventDate(i), At(2004, 3, 7, i - 1), 1e-9);
    }
    EXPECT_EQ(s->dtEventDate(25), At(2004, 3, 8));
  }
  // The XML's own events are overwritten, their flags kept.
  EXPECT_EQ(r.series->Item(1)->lFlag(1), 9.0);

  dir_.Write("in.bin", "");  // an empty side file is ignored
  auto s = ReadOne(Document(Series("<timeStep unit=\"nonequidistant\"/>", Event("2004-03-07", "00:00:00", "3"))));
  ASSERT_EQ(s->lValCounter(), 1);
  EXPECT_EQ(s->sngValues(1), 3.0f);
}

TEST_F(QXContentHandlerTest, SideFileFailuresAreError1002WithTheCause) {
  const std::string file = dir_.File("in.xml");
  const std::string bin = dir_.File("in.bin");
  struct Case {
    std::string header;
    std::size_t values;
    std::string description;
  };
  const std::string period = "<startDate date=\"2004-03-07\" time=\"00:00:00\"/><endDate date=\"2004-03-08\" time=\"00:00:00\"/>";
  const Case cases[] = {
      {"<timeStep unit=\"nonequidistant\"/>" + period, 25,
       "Error 11 (Division by zero: series 1 in " + file + ", ending at line 3, has a time step of 0 seconds)"},
      {"<timeStep unit=\"hour\" multiplier=\"1\"/>" + period, 24,
       "Error 62 (Input past end of file: " + bin + " holds 96 bytes; series 1 in " + file +
           ", ending at line 3, needs 100 from byte 1)"},
      {"<timeStep unit=\"hour\" multiplier=\"-1\"/>" + period, 25,
       "Error 9 (Subscript out of range: series 1 in " + file + ", ending at line 3, would hold -23 values: its end "
       "lies before its start)"},
      {"<timeStep unit=\"second\" multiplier=\"1\"/><startDate date=\"1000-01-01\" time=\"00:00:00\"/>"
       "<endDate date=\"9000-01-01\" time=\"00:00:00\"/>", 1,
       "Error 6 (Overflow: series 1 in " + file + ", ending at line 3, would hold 2.524556E+11 values)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.header);
    dir_.Write("in.bin", Floats(Values(static_cast<int>(c.values), 1.0f)));
    QXReadResult r = Read(Document("<series>" + c.header + "</series>\r\n"));
    ASSERT_TRUE(r.error);
    EXPECT_EQ(r.error->Number(), kErrBinFile);
    EXPECT_EQ(r.error->Source(), "clsQXContentHandler.fillSeriesFromBinFile");
    EXPECT_EQ(r.error->Description(), c.description);
    EXPECT_EQ(r.series->Count(), 0);
  }
  // A read error after the first series.
  dir_.Write("in.bin", Floats(Values(50, 1.0f)));
  const std::string xml = dir_.Write("in.xml", TwoDays());
  testing::FaultyFileSystem fs;
  fs.only = bin;
  fs.failReadAfter = 100;
  ScopedFileSystem scope(fs);
  QXReadResult r = ReadQXFile(xml);
  ASSERT_TRUE(r.error);
  EXPECT_EQ(r.error->Number(), kErrBinFile);
  EXPECT_EQ(r.error->Description(), "Error 57 (Device I/O error: " + bin + " (Input/output error))");
  ASSERT_EQ(r.series->Count(), 1);
  EXPECT_EQ(r.series->Item(1)->lValCounter(), 25);
}

}  // namespace
}  // namespace tidemill
