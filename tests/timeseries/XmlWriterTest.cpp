#include "timeseries/XmlWriter.h"

#include <gtest/gtest.h>

namespace tidemill {
namespace {

TEST(XmlWriter, IndentsOneElementPerLine) {
  std::string out;
  XmlWriter w(out);
  w.StartDocument();
  w.StartElement("Diag");
  w.Attribute("version", "1.2");
  w.StartElement("line");
  w.RawAttribute("level", "3");
  w.Attribute("description", "a<b & \"c\"");
  w.EndElement();
  w.StartElement("header");
  w.SimpleElement("locationId", "Lobith");
  w.SimpleElement("missVal", "-999.99");
  w.EndElement();
  w.SimpleElement("empty", "");
  w.EndDocument();
  EXPECT_EQ(out,
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
            "<Diag version=\"1.2\">\r\n"
            "\t<line level=\"3\" description=\"a&lt;b &amp; &quot;c&quot;\"/>\r\n"
            "\t<header>\r\n"
            "\t\t<locationId>Lobith</locationId>\r\n"
            "\t\t<missVal>-999.99</missVal>\r\n"
            "\t</header>\r\n"
            "\t<empty/>\r\n"
            "</Diag>\r\n");
}

TEST(XmlWriter, RawElementLaysOutLikeAnyOther) {
  // The same document built both ways, at depths where the indentation differs.
  std::string built, raw;
  XmlWriter a(built), b(raw);
  for (XmlWriter* w : {&a, &b}) {
    w->StartElement("TimeSeries");
    w->StartElement("series");
  }
  for (int i = 0; i < 2; ++i) {
    a.StartElement("event");
    a.RawAttribute("value", "1.5");
    a.EndElement();
    b.RawElement(XmlWriter::LineStart(b.Depth()) + "<event value=\"1.5\"/>");
  }
  for (XmlWriter* w : {&a, &b}) {
    w->EndElement();
    w->SimpleElement("note", "x");
    w->EndDocument();
  }
  EXPECT_EQ(raw, built);
  EXPECT_EQ(XmlWriter::LineStart(0), "\r\n");
  EXPECT_EQ(XmlWriter::LineStart(12), "\r\n" + std::string(12, '\t'));
}

TEST(XmlWriter, EscapesWhatXmlCannotHoldAsItStands) {
  const struct {
    const char* in;
    bool attribute;
    const char* out;
  } cases[] = {
      {"a\tb\nc", true, "a&#9;b&#10;c"},
      {"a\tb\nc", false, "a\tb\nc"},
      {"cr\rhere", false, "cr&#13;here"},
      {"x\x01y", true, "x\xEF\xBF\xBDy"},        // control character
      {"Zw\xE4rd", false, "Zw\xC3\xA4rd"},       // Windows-1252 turned into UTF-8
      {"\xC3\xA4 > 1", false, "\xC3\xA4 &gt; 1"},
      {"plain", true, "plain"},
  };
  for (const auto& c : cases) {
    std::string out;
    AppendEscaped(out, c.in, c.attribute);
    EXPECT_EQ(out, c.out) << c.in;
  }
}

TEST(XmlWriter, MisuseIsAnErrorNotBrokenXml) {
  std::string out;
  XmlWriter w(out);
  EXPECT_ANY_THROW(w.EndElement());
  w.StartElement("a");
  w.Text("t");
  EXPECT_ANY_THROW(w.Attribute("late", "x"));
}

}  // namespace
}  // namespace tidemill
