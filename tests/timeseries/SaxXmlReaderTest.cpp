#include "timeseries/SaxXmlReader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <functional>
#include <string>
#include <vector>

#include "common/Error.h"
#include "support/ReaderSupport.h"

namespace tidemill {
namespace {

// Records every callback as a line; hooks let a test look at attributes or throw.
class Recorder : public SaxContentHandler, public SaxErrorHandler {
 public:
  std::vector<std::string> events;
  std::string text;  // all character data, joined
  std::function<void(std::string_view local, const SaxAttributes&)> onStart;

  void startDocument() override { events.push_back("startDocument"); }
  void endDocument() override { events.push_back("endDocument"); }
  void startElement(std::string_view ns, std::string_view local, std::string_view qname,
                    const SaxAttributes& attributes) override {
    events.push_back("start " + std::string(local) + " " + std::string(qname) + " {" + std::string(ns) + "} " +
                     std::to_string(attributes.length()));
    if (onStart) onStart(local, attributes);
  }
  void endElement(std::string_view ns, std::string_view local, std::string_view qname) override {
    events.push_back("end " + std::string(local) + " " + std::string(qname) + " {" + std::string(ns) + "}");
  }
  void characters(std::string_view chars) override { text += chars; }
  void error(const SaxLocator&, std::string_view message, int32_t code) override { Log("error", message, code); }
  void fatalError(const SaxLocator&, std::string_view message, int32_t code) override { Log("fatal", message, code); }
  void ignorableWarning(const SaxLocator&, std::string_view message, int32_t code) override {
    Log("warning", message, code);
  }
  void Log(const char* kind, std::string_view message, int32_t code) {
    events.push_back(std::string(kind) + " " + std::to_string(code) + " " + std::string(message));
  }

  int Count(std::string_view prefix) const {
    int n = 0;
    for (const auto& e : events) n += e.rfind(prefix, 0) == 0;
    return n;
  }
};

// Parses from memory; gives the error that ended the parse, if any.
std::optional<Error> Parse(Recorder& r, std::string_view xml) {
  SaxXmlReader reader;
  reader.contentHandler(&r);
  reader.errorHandler(&r);
  try {
    reader.parse(xml, "in.xml");
  } catch (const Error& e) {
    return e;
  }
  return std::nullopt;
}

TEST(SaxXmlReaderTest, CallbacksInDocumentOrderWithLocalNames) {
  Recorder r;
  auto failure = Parse(r, "<?xml version=\"1.0\"?>\n<q:TimeSeries xmlns:q=\"urn:qx\"><q:series a=\"1\">x</q:series>"
                          "<plain/></q:TimeSeries>");
  ASSERT_FALSE(failure) << failure->Description();
  const std::vector<std::string> expected = {
      "startDocument",
      "start TimeSeries q:TimeSeries {urn:qx} 0",
      "start series q:series {urn:qx} 1",
      "end series q:series {urn:qx}",
      "start plain plain {} 0",
      "end plain plain {}",
      "end TimeSeries q:TimeSeries {urn:qx}",
      "endDocument",
  };
  EXPECT_EQ(r.events, expected);
  EXPECT_EQ(r.text, "x");
}

TEST(SaxXmlReaderTest, AttributesByQualifiedNameWithoutNamespaceDeclarations) {
  Recorder r;
  int32_t length = -1;
  std::vector<std::string> found;
  std::optional<Error> missing;
  r.onStart = [&](std::string_view, const SaxAttributes& a) {
    length = a.length();
    static constexpr std::string_view kNames[] = {"x", "p:y", "y", "X", "xmlns", "xmlns:p", "p", "date"};
    std::string_view values[std::size(kNames)];
    const uint32_t all = a.FindValues(kNames, values);
    for (std::size_t i = 0; i < std::size(kNames); ++i) {
      std::string_view value;
      const bool one = a.FindValue(kNames[i], value);
      // The one-pass lookup finds the same as the lookups one by one.
      EXPECT_EQ((all >> i & 1) != 0, one) << kNames[i];
      if (one) {
        EXPECT_EQ(values[i], value) << kNames[i];
      }
      found.push_back(one ? std::string(kNames[i]) + "=" + std::string(value) : "-");
    }
    try {
      a.getValueFromQName("Date");
    } catch (const Error& e) {
      missing = e;
    }
  };
  ASSERT_FALSE(Parse(r, "<a xmlns=\"urn:d\" xmlns:p=\"urn:p\" x=\"1\" p:y=\"2\" date=\"3\"/>"));
  EXPECT_EQ(length, 3);
  EXPECT_EQ(found, (std::vector<std::string>{"x=1", "p:y=2", "-", "-", "-", "-", "-", "date=3"}));
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->Number(), kErrInvalidCall);
  EXPECT_EQ(missing->Description(), "Invalid procedure call or argument: no attribute \"Date\"");
}

TEST(SaxXmlReaderTest, EscapesEntitiesAndEncodingsAreResolved) {
  Recorder r;
  std::string value;
  r.onStart = [&](std::string_view local, const SaxAttributes& a) {
    if (local == "r") value = std::string(a.getValueFromQName("v"));
  };
  ASSERT_FALSE(Parse(r, "<!DOCTYPE r [<!ENTITY e \"hello\">]>"
                        "<r v=\"a&amp;b&lt;&#65;&e;\">x &amp; y &#x263A; &e;<![CDATA[<raw>]]></r>"));
  EXPECT_EQ(value, "a&b<Ahello");
  EXPECT_EQ(r.text, "x & y \xE2\x98\xBA hello<raw>");
  Recorder latin;
  ASSERT_FALSE(Parse(latin, "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r>Gr\xFCn</r>"));
  EXPECT_EQ(latin.text, "Gr\xC3\xBCn");
}

TEST(SaxXmlReaderTest, NothingOutsideTheDocumentIsLoaded) {
  testing::TempDir dir;
  const std::string secret = dir.Write("secret.txt", "SECRET");
  const std::string dtd = dir.Write("evil.dtd", "<!ENTITY y \"SECRET\">");
  // Each document, and whether the parser tries (and is refused) a load.
  const std::pair<std::string, bool> documents[] = {
      {"<!DOCTYPE r [<!ENTITY x SYSTEM \"file://" + secret + "\">]><r>&x;</r>", true},
      {"<!DOCTYPE r [<!ENTITY x SYSTEM \"file://" + secret + "\">]><r a=\"&x;\"/>", false},
      {"<!DOCTYPE r [<!ENTITY % p SYSTEM \"file://" + dtd + "\"> %p;]><r>&y;</r>", true},
      {"<!DOCTYPE r SYSTEM \"file://" + dtd + "\"><r>&y;</r>", false},
  };
  for (const auto& [xml, refused] : documents) {
    SCOPED_TRACE(xml);
    Recorder r;
    std::string attribute;
    r.onStart = [&](std::string_view, const SaxAttributes& a) {
      std::string_view v;
      if (a.FindValue("a", v)) attribute = v;
    };
    Parse(r, xml);
    EXPECT_EQ(r.Count("warning 1549 failed to load external entity \"file://"), refused ? 1 : 0);
    EXPECT_EQ(r.text.find("SECRET"), std::string::npos);
    EXPECT_EQ(attribute.find("SECRET"), std::string::npos);
  }
}

TEST(SaxXmlReaderTest, EntityExpansionBombFailsQuickly) {
  std::string xml = "<!DOCTYPE r [<!ENTITY a0 \"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\">";
  for (int i = 1; i <= 12; ++i) {
    xml += "<!ENTITY a" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k) xml += "&a" + std::to_string(i - 1) + ";";
    xml += "\">";
  }
  xml += "]><r>&a12;</r>";
  Recorder r;
  const auto start = std::chrono::steady_clock::now();
  auto failure = Parse(r, xml);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  ASSERT_TRUE(failure);
  EXPECT_LT(r.text.size(), 100u * 1000 * 1000);
  EXPECT_EQ(r.Count("endDocument"), 0);
}

TEST(SaxXmlReaderTest, FatalErrorReachesTheErrorHandlerAndFailsTheParse) {
  struct Case {
    const char* xml;
    int32_t code;
    const char* message;
  };
  const Case cases[] = {
      {"<a>\n<b>\n</a>", 76, "Opening and ending tag mismatch: b line 2 and a at line 3, column 5 of in.xml"},
      {"", 4, "Document is empty at line 1, column 1 of in.xml"},
      {"<a>\n<b>", 77, "Premature end of data in tag b line 2 at line 2, column 4 of in.xml"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.xml);
    Recorder r;
    auto failure = Parse(r, c.xml);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->Number(), c.code);
    EXPECT_EQ(failure->Description(), c.message);
    EXPECT_EQ(r.events.front(), "startDocument");
    EXPECT_EQ(r.events.back(), "fatal " + std::to_string(c.code) + " " + c.message);
    EXPECT_EQ(r.Count("fatal"), 1);
  }
}

TEST(SaxXmlReaderTest, RecoverableErrorsAndWarningsDoNotEndTheParse) {
  Recorder r;
  auto failure = Parse(r, "<a xmlns=\"relative\"><q:b/></a>");
  EXPECT_FALSE(failure);
  EXPECT_EQ(r.Count("warning"), 1);
  EXPECT_EQ(r.Count("error"), 1);
  EXPECT_EQ(r.Count("end a"), 1);
  EXPECT_EQ(r.events.back(), "endDocument");
}

TEST(SaxXmlReaderTest, HandlerExceptionEndsTheParseAndPassesOn) {
  Recorder r;
  r.onStart = [&](std::string_view local, const SaxAttributes&) {
    if (local == "b") throw Error(kErrQXFile, "stop here");
  };
  auto failure = Parse(r, "<a><b>text</b><c/></a>");
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->Number(), kErrQXFile);
  EXPECT_EQ(failure->Description(), "stop here");
  EXPECT_EQ(r.events.back(), "start b b {} 0");
  EXPECT_EQ(r.text, "");
  EXPECT_EQ(r.Count("fatal"), 0);
}

TEST(SaxXmlReaderTest, TextAcrossBlockBoundariesArrivesWhole) {
  // Two-byte characters from an odd offset put block boundaries inside characters.
  std::string body;
  while (body.size() < 3 * SaxXmlReader::kBlockSize) body += "\xC3\xA4-";
  const std::string xml = "<r>x" + body + "</r>";
  Recorder r;
  ASSERT_FALSE(Parse(r, xml));
  EXPECT_EQ(r.text, "x" + body);
}

TEST(SaxXmlReaderTest, ParseUrlReadsTheFileInBlocksAndPassesReadErrorsOn) {
  testing::TempDir dir;
  std::string xml = "<r>";
  while (xml.size() < 2 * SaxXmlReader::kBlockSize) xml += "<e/>";
  const std::string path = dir.Write("in.xml", xml + "</r>");
  const auto read = [&](std::optional<Error>& failure) {
    Recorder r;
    SaxXmlReader reader;
    reader.contentHandler(&r);
    reader.errorHandler(&r);
    try {
      reader.parseURL(path);
    } catch (const Error& e) {
      failure = e;
    }
    EXPECT_EQ(r.Count("fatal"), 0);
    return r.Count("start e");
  };
  std::optional<Error> failure;
  EXPECT_EQ(read(failure), static_cast<int>(xml.size() - 3) / 4);
  EXPECT_FALSE(failure);

  testing::FailingReadFileSystem fs(path, SaxXmlReader::kBlockSize);
  ScopedFileSystem scope(fs);
  EXPECT_GT(read(failure), 1000);
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->Description(), "Device I/O error: " + path + " (Input/output error)");
}

}  // namespace
}  // namespace tidemill
