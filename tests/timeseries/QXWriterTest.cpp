#include "timeseries/QXWriter.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <vector>

#include "common/DateTime.h"
#include "common/Error.h"
#include "common/FileSystem.h"
#include "diagnostics/MessageBox.h"
#include "diagnostics/XMLOrvaDiagnostics.h"
#include "driver/RunState.h"
#include "timeseries/QXContentHandler.h"
#include "timeseries/SeriesCollection.h"
#include "support/FaultyFileSystem.h"

namespace tidemill {
namespace {

namespace fs = std::filesystem;
using testing::Slurp;

constexpr const char* kToXml = "DebugMode is true, so writing QX file without binary data section";
constexpr const char* kToBinary = "Not in debugMode, so writing QX file with binary data section";
constexpr const char* kRoot =
    "<TimeSeries xmlns=\"http://www.orva.example/orva/QX\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
    "xsi:schemaLocation=\"http://www.orva.example/orva/QX "
    "HTTP://www.orva.example/schemas/version1.0/qx-schemas/qx_timeseries.xsd\" version=\"1.2\"";

// Lines joined with CR LF, the last one ended too.
std::string Lines(std::initializer_list<std::string_view> lines) {
  std::string text;
  for (const auto line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

std::vector<float> Singles(const std::string& bytes) {
  std::vector<float> values(bytes.size() / 4);
  for (std::size_t i = 0; i < values.size(); ++i) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data() + 4 * i);
    const uint32_t u = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
    std::memcpy(&values[i], &u, 4);
  }
  return values;
}

// The document parsed without network; null when it is not well-formed.
struct XmlDoc {
  explicit XmlDoc(const std::string& text)
      : doc(xmlReadMemory(text.data(), static_cast<int>(text.size()), "out.xml", nullptr,
                          XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING)) {}
  ~XmlDoc() { xmlFreeDoc(doc); }
  xmlDocPtr doc;
};

// Texts of every element of that name, in document order.
std::vector<std::string> ElementTexts(const std::string& text, const char* name) {
  XmlDoc parsed(text);
  std::vector<std::string> texts;
  if (parsed.doc == nullptr) return texts;
  std::function<void(xmlNodePtr)> walk = [&](xmlNodePtr node) {
    for (; node != nullptr; node = node->next) {
      if (node->type != XML_ELEMENT_NODE) continue;
      if (std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0) {
        xmlChar* content = xmlNodeGetContent(node);
        texts.emplace_back(reinterpret_cast<const char*>(content));
        xmlFree(content);
      }
      walk(node->children);
    }
  };
  walk(xmlDocGetRootElement(parsed.doc));
  return texts;
}

std::size_t Count(const std::string& text, std::string_view what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

double At(int day, int hour, int minute = 0, int second = 0) {
  return DateSerial(2004, 3, day) + TimeSerial(hour, minute, second);
}

// Hourly times from 2004-03-07 06:00, computed the way converters do (not exact in binary).
std::vector<double> Hourly(int count) {
  std::vector<double> times;
  for (int k = 0; k < count; ++k) times.push_back(At(7, 6) + k / 24.0);
  return times;
}

// A block whose value (l, p, t) is 100 l + 10 p + t.
SeriesBlock NumberedBlock(int32_t L, int32_t P, std::vector<double> times) {
  SeriesBlock block(L, P, static_cast<int32_t>(times.size()));
  for (int32_t l = 1; l <= L; ++l) (block.LocationID(l) = "L") += std::to_string(l);
  for (int32_t p = 1; p <= P; ++p) (block.ParameterID(p) = "P") += std::to_string(p);
  block.dtTimes = std::move(times);
  for (int32_t l = 1; l <= L; ++l) {
    for (int32_t p = 1; p <= P; ++p) {
      for (int32_t t = 1; t <= block.lTimeCount; ++t) block.Value(l, p, t) = static_cast<float>(100 * l + 10 * p + t);
    }
  }
  return block;
}

// The small block of the golden files: one location, two parameters, three hours.
SeriesBlock GoldenBlock() {
  SeriesBlock block(1, 2, 3);
  block.LocationID(1) = "Lobith";
  block.ParameterID(1) = "Q";
  block.ParameterID(2) = "H";
  block.dtTimes = Hourly(3);
  const float values[] = {0.5f, -999.0f, 12.25f, 1e20f, 1.5e-7f, -999.99f};
  block.sngValues.assign(std::begin(values), std::end(values));
  return block;
}

struct Message {
  std::string text;
  int32_t style;
  std::string title;
};

class QXWriterTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetRunState(); }
  void TearDown() override { ResetRunState(); }

  // Runs the writer on dir/name, capturing its messages.
  bool Write(const SeriesBlock& block, bool& binary, int32_t seriesType = kSeriesTypeInstantaneous,
             const Selection* selection = nullptr, const std::string& name = "out.xml") {
    ScopedMessageBoxHandler capture([this](std::string_view text, int32_t style, std::string_view title) {
      messages_.push_back({std::string(text), style, std::string(title)});
    });
    error_ = "not set";
    return clsOrvaQXTimeSeries().Write_QX_XML_File(dir_.File(name), block, seriesType, binary, selection,
                                                   error_);
  }

  testing::TempDir dir_;
  std::vector<Message> messages_;
  std::string error_;
};

// The document of GoldenBlock in XML form, hand-checked.
std::string GoldenXml() {
  return Lines({
      R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)",
      std::string(kRoot) + ">",
      "\t<series>",
      "\t\t<header>",
      "\t\t\t<type>instantaneous</type>",
      "\t\t\t<locationId>Lobith</locationId>",
      "\t\t\t<parameterId>Q</parameterId>",
      R"(			<timeStep unit="second" multiplier="3600"/>)",
      R"(			<startDate date="2004-03-07" time="06:00:00"/>)",
      R"(			<endDate date="2004-03-07" time="08:00:00"/>)",
      "\t\t\t<missVal>-999.99</missVal>",
      "\t\t</header>",
      R"(		<event date="2004-03-07" time="06:00:00" value=".5"/>)",
      R"(		<event date="2004-03-07" time="07:00:00" value="-999"/>)",
      R"(		<event date="2004-03-07" time="08:00:00" value="12.25"/>)",
      "\t</series>",
      "\t<series>",
      "\t\t<header>",
      "\t\t\t<type>instantaneous</type>",
      "\t\t\t<locationId>Lobith</locationId>",
      "\t\t\t<parameterId>H</parameterId>",
      R"(			<timeStep unit="second" multiplier="3600"/>)",
      R"(			<startDate date="2004-03-07" time="06:00:00"/>)",
      R"(			<endDate date="2004-03-07" time="08:00:00"/>)",
      "\t\t\t<missVal>-999.99</missVal>",
      "\t\t</header>",
      R"(		<event date="2004-03-07" time="06:00:00" value="1E+20"/>)",
      R"(		<event date="2004-03-07" time="07:00:00" value="1.5E-07"/>)",
      R"(		<event date="2004-03-07" time="08:00:00" value="-999.99"/>)",
      "\t</series>",
      "</TimeSeries>",
  });
}

// A document without its event lines.
std::string WithoutEvents(const std::string& document) {
  std::string kept;
  for (std::size_t at = 0; at < document.size();) {
    const std::size_t end = document.find("\r\n", at) + 2;
    if (document.compare(at, 8, "\t\t<event") != 0) kept.append(document, at, end - at);
    at = end;
  }
  return kept;
}

TEST_F(QXWriterTest, GoldenXmlForm) {
  bool binary = false;
  ASSERT_TRUE(Write(GoldenBlock(), binary));
  EXPECT_EQ(error_, "");
  EXPECT_FALSE(binary);
  const std::string written = Slurp(dir_.File("out.xml"));
  EXPECT_EQ(written, GoldenXml());
  EXPECT_NE(XmlDoc(written).doc, nullptr);
  EXPECT_EQ(dir_.Listing(), "out.xml");
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].text, kToXml);
  EXPECT_EQ(messages_[0].style, 64);
  EXPECT_EQ(messages_[0].title, "");
}

TEST_F(QXWriterTest, GoldenBinaryForm) {
  bool binary = true;
  ASSERT_TRUE(Write(GoldenBlock(), binary));
  EXPECT_TRUE(binary);
  const std::string written = Slurp(dir_.File("out.xml"));
  EXPECT_EQ(written, WithoutEvents(GoldenXml()));
  EXPECT_NE(XmlDoc(written).doc, nullptr);
  // Little-endian singles, series (Lobith, Q) then (Lobith, H), each in time order.
  const unsigned char side[] = {
      0x00, 0x00, 0x00, 0x3F,  // .5
      0x00, 0xC0, 0x79, 0xC4,  // -999
      0x00, 0x00, 0x44, 0x41,  // 12.25
      0xEC, 0x78, 0xAD, 0x60,  // 1E+20
      0xB0, 0x0F, 0x21, 0x34,  // 1.5E-07
      0x5C, 0xFF, 0x79, 0xC4,  // -999.99
  };
  EXPECT_EQ(Slurp(dir_.File("out.bin")), std::string(reinterpret_cast<const char*>(side), sizeof side));
  EXPECT_EQ(dir_.Listing(), "out.bin out.xml");
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].text, kToBinary);
  EXPECT_EQ(messages_[0].style, 64);
  EXPECT_EQ(messages_[0].title, "");
}

TEST_F(QXWriterTest, FormMessageIsADetailLineInBatchMode) {
  BatchMode = true;
  DiagLog = std::make_unique<clsXMLOrvaDiagnostics>();
  ASSERT_TRUE(DiagLog->Start(dir_.File("diag.xml")));
  bool binary = true;
  ASSERT_TRUE(Write(GoldenBlock(), binary));
  ASSERT_TRUE(DiagLog->Flush());
  EXPECT_TRUE(messages_.empty());
  const std::string diag = Slurp(dir_.File("diag.xml"));
  EXPECT_NE(diag.find(std::string("<line level=\"4\" description=\"")), std::string::npos) << diag;
  EXPECT_NE(diag.find(std::string(" : ") + kToBinary + "\"/>"), std::string::npos) << diag;
}

TEST_F(QXWriterTest, TimeStepAndForm) {
  struct Case {
    const char* name;
    std::vector<double> times;
    const char* timeStep;  // the written element
    bool binary;           // the form taken when binary was asked for
  };
  const Case cases[] = {
      {"single time", {At(7, 6)}, R"(<timeStep unit="nonequidistant"/>)", false},
      {"gap", {At(7, 0), At(7, 1), At(7, 2), At(7, 4)}, R"(<timeStep unit="nonequidistant"/>)", false},
      {"hourly", Hourly(25), R"(<timeStep unit="second" multiplier="3600"/>)", true},
      {"two times", {At(7, 0), At(8, 0)}, R"(<timeStep unit="second" multiplier="86400"/>)", true},
      // Each time is rounded to the whole second before the differences are taken.
      {"jitter rounds away", {At(7, 0), At(7, 1) + 0.4 / 86400, At(7, 2) - 0.4 / 86400},
       R"(<timeStep unit="second" multiplier="3600"/>)", true},
      {"jitter rounds to a second", {At(7, 0), At(7, 1) + 0.6 / 86400, At(7, 2)},
       R"(<timeStep unit="nonequidistant"/>)", false},
      {"one second off at the end", {At(7, 0), At(7, 0, 0, 10), At(7, 0, 0, 20), At(7, 0, 0, 31)},
       R"(<timeStep unit="nonequidistant"/>)", false},
      // Instants that a zero step could not rebuild.
      {"repeated time", {At(7, 6), At(7, 6)}, R"(<timeStep unit="nonequidistant"/>)", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    messages_.clear();
    fs::remove(dir_.File("out.bin"));
    const SeriesBlock block = NumberedBlock(1, 1, c.times);
    bool binary = true;
    ASSERT_TRUE(Write(block, binary)) << error_;
    EXPECT_EQ(binary, c.binary);
    const std::string xml = Slurp(dir_.File("out.xml"));
    EXPECT_EQ(Count(xml, c.timeStep), 1u) << xml;
    EXPECT_EQ(Count(xml, "<event "), c.binary ? 0u : c.times.size());
    EXPECT_EQ(fs::exists(dir_.File("out.bin")), c.binary);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].text, c.binary ? kToBinary : kToXml);
  }
}

TEST_F(QXWriterTest, HourlyBinarySideFileHoldsEverySeriesInOrder) {
  const SeriesBlock block = NumberedBlock(2, 3, Hourly(48));
  bool binary = true;
  ASSERT_TRUE(Write(block, binary)) << error_;
  const std::string xml = Slurp(dir_.File("out.xml"));
  EXPECT_EQ(Count(xml, "<series>"), 6u);
  EXPECT_EQ(Count(xml, R"(<timeStep unit="second" multiplier="3600"/>)"), 6u);
  EXPECT_EQ(Count(xml, R"(<endDate date="2004-03-09" time="05:00:00"/>)"), 6u);
  EXPECT_EQ(Count(xml, "<event"), 0u);
  const std::string side = Slurp(dir_.File("out.bin"));
  ASSERT_EQ(side.size(), 4u * 48 * 2 * 3);
  EXPECT_EQ(Singles(side), block.sngValues);
  // The headers name the series in the same order as their values.
  EXPECT_EQ(ElementTexts(xml, "locationId"), (std::vector<std::string>{"L1", "L1", "L1", "L2", "L2", "L2"}));
  EXPECT_EQ(ElementTexts(xml, "parameterId"), (std::vector<std::string>{"P1", "P2", "P3", "P1", "P2", "P3"}));
}

TEST_F(QXWriterTest, SelectionOfOnePair) {
  const SeriesBlock block = NumberedBlock(2, 2, Hourly(5));
  Selection selection;
  selection.AddPair("l2", "P1");  // keys ignore letter case
  for (const bool asked : {false, true}) {
    SCOPED_TRACE(asked ? "binary" : "xml");
    bool binary = asked;
    ASSERT_TRUE(Write(block, binary, kSeriesTypeInstantaneous, &selection)) << error_;
    const std::string xml = Slurp(dir_.File("out.xml"));
    EXPECT_EQ(Count(xml, "<series>"), 1u);
    EXPECT_EQ(ElementTexts(xml, "locationId"), std::vector<std::string>{"L2"});
    EXPECT_EQ(ElementTexts(xml, "parameterId"), std::vector<std::string>{"P1"});
    if (asked) {
      EXPECT_EQ(Singles(Slurp(dir_.File("out.bin"))), (std::vector<float>{211, 212, 213, 214, 215}));
    } else {
      EXPECT_EQ(Count(xml, R"(value="211")"), 1u);
      EXPECT_EQ(Count(xml, R"(value="215")"), 1u);
      EXPECT_EQ(Count(xml, "<event "), 5u);
      EXPECT_FALSE(fs::exists(dir_.File("out.bin")));
    }
  }
}

TEST_F(QXWriterTest, SkippedPairsLeaveTheOthersInOrder) {
  const SeriesBlock block = NumberedBlock(2, 2, Hourly(3));
  Selection selection;
  selection.AddPair("L1", "P2");
  selection.AddPair("L2", "P2");
  bool binary = true;
  ASSERT_TRUE(Write(block, binary, kSeriesTypeInstantaneous, &selection)) << error_;
  EXPECT_EQ(Singles(Slurp(dir_.File("out.bin"))), (std::vector<float>{121, 122, 123, 221, 222, 223}));
}

TEST_F(QXWriterTest, SelectionWithoutAnyPairWritesNoSeries) {
  Selection selection;
  selection.AddPair("elsewhere", "P1");
  bool binary = true;
  ASSERT_TRUE(Write(NumberedBlock(1, 1, Hourly(3)), binary, kSeriesTypeInstantaneous, &selection));
  EXPECT_EQ(Slurp(dir_.File("out.xml")), Lines({R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)",
                                               std::string(kRoot) + "/>"}));
  EXPECT_EQ(Slurp(dir_.File("out.bin")), "");
}

TEST_F(QXWriterTest, TypeElementFollowsSeriesType) {
  struct Case {
    int32_t seriesType;
    std::vector<std::string> types;
  };
  const Case cases[] = {{0, {"Accumulative"}}, {1, {"instantaneous"}}, {2, {}}, {-1, {}}};
  for (const Case& c : cases) {
    bool binary = false;
    ASSERT_TRUE(Write(NumberedBlock(1, 1, Hourly(2)), binary, c.seriesType));
    const std::string xml = Slurp(dir_.File("out.xml"));
    EXPECT_EQ(ElementTexts(xml, "type"), c.types) << c.seriesType;
    if (c.types.empty()) {
      EXPECT_NE(xml.find("<header>\r\n\t\t\t<locationId>"), std::string::npos);
    }
  }
}

TEST_F(QXWriterTest, SpecialCharactersInIdsAreEscaped) {
  SeriesBlock block = NumberedBlock(2, 1, Hourly(2));
  block.LocationID(1) = "A&B <\"x\"> 'y'";
  block.LocationID(2) = "Caf\xE9";  // Windows-1252 from an 8-bit file
  block.ParameterID(1) = "Q]]>";
  bool binary = false;
  ASSERT_TRUE(Write(block, binary));
  const std::string xml = Slurp(dir_.File("out.xml"));
  EXPECT_EQ(Count(xml, "<locationId>A&amp;B &lt;\"x\"&gt; 'y'</locationId>"), 1u);
  EXPECT_EQ(Count(xml, "<parameterId>Q]]&gt;</parameterId>"), 2u);
  EXPECT_EQ(ElementTexts(xml, "locationId"), (std::vector<std::string>{"A&B <\"x\"> 'y'", "Caf\xC3\xA9"}));
  EXPECT_EQ(ElementTexts(xml, "parameterId"), (std::vector<std::string>{"Q]]>", "Q]]>"}));
}

TEST_F(QXWriterTest, OldSideFileGoesInEveryForm) {
  for (const bool asked : {false, true}) {
    SCOPED_TRACE(asked ? "binary" : "xml");
    dir_.Write("out.bin", "old values");
    bool binary = asked;
    ASSERT_TRUE(Write(NumberedBlock(1, 1, Hourly(2)), binary));
    if (asked) {
      EXPECT_EQ(Singles(Slurp(dir_.File("out.bin"))), (std::vector<float>{111, 112}));
    } else {
      EXPECT_FALSE(fs::exists(dir_.File("out.bin")));
    }
  }
}

TEST_F(QXWriterTest, SideFileTakesTheBaseNameBeforeTheFirstDot) {
  dir_.Write("out.bin", "old values");
  bool binary = true;
  ASSERT_TRUE(Write(NumberedBlock(1, 1, Hourly(2)), binary, 1, nullptr, "out.day1.xml"));
  EXPECT_EQ(dir_.Listing(), "out.bin out.day1.xml");
  EXPECT_EQ(Slurp(dir_.File("out.bin")).size(), 8u);
}

TEST_F(QXWriterTest, NameWithoutDirectoryWritesInTheCurrentDirectory) {
  const fs::path previous = fs::current_path();
  fs::current_path(dir_.Path());
  bool binary = true;
  std::string error;
  ScopedMessageBoxHandler quiet([](std::string_view, int32_t, std::string_view) {});
  const bool ok =
      clsOrvaQXTimeSeries().Write_QX_XML_File("result.xml", NumberedBlock(1, 1, Hourly(2)), 1, binary, nullptr, error);
  fs::current_path(previous);
  ASSERT_TRUE(ok) << error;
  EXPECT_EQ(dir_.Listing(), "result.bin result.xml");
}

TEST_F(QXWriterTest, EmptyBlockWritesARootWithoutSeries) {
  for (const auto& [L, P] : {std::pair{0, 3}, std::pair{2, 0}}) {
    SeriesBlock block = NumberedBlock(L, P, Hourly(4));
    bool binary = true;
    ASSERT_TRUE(Write(block, binary)) << error_;
    EXPECT_TRUE(binary);
    const std::string xml = Slurp(dir_.File("out.xml"));
    EXPECT_EQ(xml, Lines({R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)", std::string(kRoot) + "/>"}));
    EXPECT_NE(XmlDoc(xml).doc, nullptr);
    EXPECT_EQ(Slurp(dir_.File("out.bin")), "");
  }
}

TEST_F(QXWriterTest, DatesOfAnyYearKeepTheirEvents) {
  // Years of five, ten and (before the epoch) eleven characters make longer event heads than
  // the usual four digits.
  const std::vector<double> times = {At(7, 6), DateSerial(12345, 6, 7) + TimeSerial(1, 2, 3), 1e12, -1e12};
  bool binary = false;
  ASSERT_TRUE(Write(NumberedBlock(1, 1, times), binary)) << error_;
  const std::string xml = Slurp(dir_.File("out.xml"));
  EXPECT_NE(XmlDoc(xml).doc, nullptr);
  EXPECT_EQ(Count(xml, R"(<event date="2004-03-07" time="06:00:00" value="111"/>)"), 1u);
  EXPECT_EQ(Count(xml, R"(<event date="12345-06-07" time="01:02:03" value="112"/>)"), 1u);
  const auto midnightEvent = [](double day, std::string_view value) {
    std::string e = "<event date=\"";
    e += DateText(day);
    e += "\" time=\"00:00:00\" value=\"";
    e += value;
    e += "\"/>";
    return e;
  };
  EXPECT_EQ(Count(xml, midnightEvent(1e12, "113")), 1u);
  EXPECT_EQ(Count(xml, midnightEvent(-1e12, "114")), 1u);
  EXPECT_EQ(DateText(-1e12).size(), 17u);
}

TEST_F(QXWriterTest, BadBlocksFailWithoutTouchingFiles) {
  struct Case {
    const char* name;
    std::function<void(SeriesBlock&)> damage;
    std::string error;
  };
  const Case cases[] = {
      {"location IDs", [](SeriesBlock& b) { b.sLocationIDs.pop_back(); },
       "Error 9 (Subscript out of range: the block holds 1 location IDs for a count of 2) in procedure "
       "Write_QX_XML_File of Class Module clsWriteOrvaQXTimeSeries"},
      {"values", [](SeriesBlock& b) { b.sngValues.resize(5); },
       "Error 9 (Subscript out of range: the block holds 5 values for 2 x 1 x 3) in procedure Write_QX_XML_File "
       "of Class Module clsWriteOrvaQXTimeSeries"},
      {"no times", [](SeriesBlock& b) { b.lTimeCount = 0; },
       "Error 9 (Subscript out of range: time 1 outside 1 to 0) in procedure Write_QX_XML_File of Class Module "
       "clsWriteOrvaQXTimeSeries"},
      {"time without date", [](SeriesBlock& b) { b.Time(2) = std::numeric_limits<double>::quiet_NaN(); },
       "Error 6 (Overflow) in procedure Write_QX_XML_File of Class Module clsWriteOrvaQXTimeSeries"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dir_.Write("out.xml", "old xml");
    dir_.Write("out.bin", "old bin");
    SeriesBlock block = NumberedBlock(2, 1, Hourly(3));
    c.damage(block);
    bool binary = true;
    EXPECT_FALSE(Write(block, binary));
    EXPECT_EQ(error_, c.error);
    EXPECT_EQ(Slurp(dir_.File("out.xml")), "old xml");
    EXPECT_EQ(Slurp(dir_.File("out.bin")), "old bin");
    EXPECT_EQ(dir_.Listing(), "out.bin out.xml");
  }
}

TEST_F(QXWriterTest, BadFileNamesFail) {
  const SeriesBlock block = NumberedBlock(1, 1, Hourly(2));
  struct Case {
    std::string name;
    std::string error;
  };
  const std::string missing = dir_.File("missing/out.xml");
  const std::string own = dir_.File("out.bin");
  const Case cases[] = {
      {"", "Error 52 (Bad file name or number: no output file name)"},
      {missing, "Error 76 (Path not found: " + dir_.File("missing") + ")"},
      {own, "Error 75 (Path/File access error: " + own + " is its own side file)"},
  };
  for (const Case& c : cases) {
    bool binary = true;
    std::string error;
    ScopedMessageBoxHandler quiet([](std::string_view, int32_t, std::string_view) {});
    EXPECT_FALSE(clsOrvaQXTimeSeries().Write_QX_XML_File(c.name, block, 1, binary, nullptr, error));
    EXPECT_EQ(error, c.error + " in procedure Write_QX_XML_File of Class Module clsWriteOrvaQXTimeSeries");
  }
  EXPECT_EQ(dir_.Listing(), "");
}

// The real file system with chosen operations failing.
class FailingFileSystem : public FileSystem {
 public:
  std::string failWriteTo;   // target whose temporary file cannot be written
  std::string failCloseOf;   // target whose temporary file cannot be made durable
  std::string failRenameTo;  // target that cannot be replaced

  std::unique_ptr<InputFile> OpenRead(const std::string& path) override { return real_.OpenRead(path); }
  std::unique_ptr<OutputFile> CreateTemporary(const std::string& target, std::string& temporaryPath) override {
    return std::make_unique<Output>(real_.CreateTemporary(target, temporaryPath), target, *this);
  }
  void Rename(const std::string& from, const std::string& to) override {
    if (to == failRenameTo) throw FileError(EACCES, to);
    real_.Rename(from, to);
  }
  bool Remove(const std::string& path) override { return real_.Remove(path); }
  std::optional<uint64_t> FileSize(const std::string& path) override { return real_.FileSize(path); }
  std::string CurrentDirectory() override { return real_.CurrentDirectory(); }

 private:
  class Output : public OutputFile {
   public:
    Output(std::unique_ptr<OutputFile> file, std::string target, FailingFileSystem& fs)
        : file_(std::move(file)), target_(std::move(target)), fs_(fs) {}
    void Write(const void* data, std::size_t size) override {
      if (target_ == fs_.failWriteTo) throw FileError(ENOSPC, target_);
      file_->Write(data, size);
    }
    void Close() override {
      file_->Close();
      if (target_ == fs_.failCloseOf) throw FileError(EIO, target_);
    }

   private:
    std::unique_ptr<OutputFile> file_;
    std::string target_;
    FailingFileSystem& fs_;
  };
  FileSystem& real_ = RealFileSystem();
};

TEST_F(QXWriterTest, FailedWritesLeaveTheOldFiles) {
  const std::string xml = dir_.File("out.xml");
  const std::string bin = dir_.File("out.bin");
  struct Case {
    const char* name;
    bool binary;
    std::function<void(FailingFileSystem&)> arm;
    std::string error;
    const char* binAfter;  // the side file's contents afterwards, null when it is gone
  };
  const Case cases[] = {
      {"xml cannot be written, xml form", false, [&](FailingFileSystem& f) { f.failWriteTo = xml; },
       "Error 61 (Disk full: " + xml + ")", "old bin"},
      {"xml cannot be written, binary form", true, [&](FailingFileSystem& f) { f.failWriteTo = xml; },
       "Error 61 (Disk full: " + xml + ")", "old bin"},
      {"side file cannot be written", true, [&](FailingFileSystem& f) { f.failWriteTo = bin; },
       "Error 61 (Disk full: " + bin + ")", "old bin"},
      {"xml not durable", true, [&](FailingFileSystem& f) { f.failCloseOf = xml; },
       "Error 57 (Device I/O error: " + xml + " (Input/output error))", "old bin"},
      {"side file cannot replace the old one", true, [&](FailingFileSystem& f) { f.failRenameTo = bin; },
       "Error 70 (Permission denied: " + bin + ")", "old bin"},
      // The new side file was in place already; it must not stay beside the old XML.
      {"xml cannot replace the old one, binary form", true, [&](FailingFileSystem& f) { f.failRenameTo = xml; },
       "Error 70 (Permission denied: " + xml + ")", nullptr},
      {"xml cannot replace the old one, xml form", false, [&](FailingFileSystem& f) { f.failRenameTo = xml; },
       "Error 70 (Permission denied: " + xml + ")", "old bin"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dir_.Write("out.xml", "old xml");
    dir_.Write("out.bin", "old bin");
    FailingFileSystem failing;
    c.arm(failing);
    ScopedFileSystem scoped(failing);
    bool binary = c.binary;
    EXPECT_FALSE(Write(NumberedBlock(1, 2, Hourly(3)), binary));
    EXPECT_EQ(error_, c.error + " in procedure Write_QX_XML_File of Class Module clsWriteOrvaQXTimeSeries");
    EXPECT_EQ(Slurp(xml), "old xml");
    if (c.binAfter != nullptr) {
      EXPECT_EQ(Slurp(bin), c.binAfter);
      EXPECT_EQ(dir_.Listing(), "out.bin out.xml");
    } else {
      EXPECT_EQ(dir_.Listing(), "out.xml");
    }
  }
}

TEST_F(QXWriterTest, FailedSideFileRemovalIsNoFailure) {
  // A directory in the side file's place cannot be removed as a file.
  fs::create_directory(dir_.File("out.bin"));
  bool binary = false;
  ASSERT_TRUE(Write(NumberedBlock(1, 1, Hourly(2)), binary));
  EXPECT_EQ(error_, "");
  EXPECT_TRUE(fs::is_directory(dir_.File("out.bin")));
}

// Blocks written and read back through the reader, as the converters that take QX-XML do.
class QXRoundTripTest : public QXWriterTest {
 protected:
  // Writes the block in the form asked for and reads it back; the form taken is in binary.
  std::shared_ptr<SeriesCollection> RoundTrip(const SeriesBlock& block, bool& binary,
                                              const Selection* selection = nullptr) {
    EXPECT_TRUE(Write(block, binary, kSeriesTypeInstantaneous, selection)) << error_;
    ScopedMessageBoxHandler quiet([](std::string_view, int32_t, std::string_view) {});
    QXReadResult read = ReadQXFile(dir_.File("out.xml"));
    EXPECT_FALSE(read.error.has_value()) << (read.error ? ErrorSummary(*read.error) : "");
    return read.series;
  }
};

// Every pair of the block that the selection takes, in the order the writer writes them.
std::vector<std::pair<int32_t, int32_t>> WrittenPairs(const SeriesBlock& block, const Selection* selection) {
  std::vector<std::pair<int32_t, int32_t>> pairs;
  for (int32_t l = 1; l <= block.lLocationCount; ++l) {
    for (int32_t p = 1; p <= block.lParameterCount; ++p) {
      if (selection == nullptr || selection->HasPair(block.LocationID(l), block.ParameterID(p))) pairs.emplace_back(l, p);
    }
  }
  return pairs;
}

TEST_F(QXRoundTripTest, IdsInstantsAndValuesComeBack) {
  // Values of at most 7 significant digits, plain and in exponent form, and one that needs more.
  const float values[] = {0.5f, -999.99f, 12.25f, 1e20f, 1.5e-7f, -3.402823e38f, 1.401298e-45f, 1234567.0f,
                          0.0001234f, -0.1f, 0.0f, 1.0f / 3.0f};
  const std::size_t kValues = std::size(values);
  struct Case {
    const char* name;
    std::vector<double> times;
    bool selectSome;
  };
  std::vector<double> uneven = {At(7, 0), At(7, 1), At(7, 2), At(7, 4), At(8, 0, 0, 1)};
  const Case cases[] = {
      {"one time", {At(7, 6)}, false},
      {"hourly", Hourly(static_cast<int>(kValues)), false},
      {"uneven", uneven, false},
      {"every ten minutes, pairs skipped", [] {
         std::vector<double> t;
         for (int k = 0; k < 30; ++k) t.push_back(At(29, 23, 0) + k * 600.0 / 86400);
         return t;
       }(), true},
  };
  for (const Case& c : cases) {
    for (const bool asked : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (asked ? ", binary asked" : ", xml"));
      SeriesBlock block(2, 3, static_cast<int32_t>(c.times.size()));
      block.dtTimes = c.times;
      const char* locations[] = {"Lobith & Tiel <1>", "K\xC3\xB6ln \"Pegel\""};
      const char* parameters[] = {"Q", "H.meting", "T'"};
      for (int32_t l = 1; l <= 2; ++l) block.LocationID(l) = std::string(locations[l - 1]);
      for (int32_t p = 1; p <= 3; ++p) block.ParameterID(p) = std::string(parameters[p - 1]);
      for (std::size_t i = 0; i < block.sngValues.size(); ++i) block.sngValues[i] = values[i % kValues];
      Selection selection;
      selection.AddPair(locations[0], parameters[1]);
      selection.AddPair(locations[1], parameters[0]);
      selection.AddPair(locations[1], parameters[2]);
      const Selection* chosen = c.selectSome ? &selection : nullptr;

      bool binary = asked;
      const auto series = RoundTrip(block, binary, chosen);
      ASSERT_NE(series, nullptr);
      const auto pairs = WrittenPairs(block, chosen);
      ASSERT_EQ(series->Count(), static_cast<int32_t>(pairs.size()));
      for (std::size_t k = 0; k < pairs.size(); ++k) {
        const auto [l, p] = pairs[k];
        const clsSeries& s = *series->Item(static_cast<int32_t>(k + 1));
        EXPECT_EQ(s.sLocationID, block.LocationID(l));
        EXPECT_EQ(s.sParameterID, block.ParameterID(p));
        EXPECT_EQ(s.sngMissingValue, kMissingValue);
        ASSERT_EQ(s.lValCounter(), block.lTimeCount);
        const auto run = block.Series(l, p);
        for (int32_t t = 1; t <= block.lTimeCount; ++t) {
          EXPECT_EQ(ToWholeSeconds(s.dtEventDate(t)), ToWholeSeconds(block.Time(t))) << t;
          const float written = run[static_cast<std::size_t>(t - 1)];
          if (binary) {
            EXPECT_EQ(std::bit_cast<uint32_t>(s.sngValues(t)), std::bit_cast<uint32_t>(written)) << t;
          } else if (written == 1.0f / 3.0f) {
            // More digits than the text keeps: the nearest single to its 7 digits.
            EXPECT_EQ(s.sngValues(t), 0.3333333f);
          } else {
            EXPECT_EQ(s.sngValues(t), written) << t;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace tidemill
