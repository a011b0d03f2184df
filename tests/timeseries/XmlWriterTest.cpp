#include "timeseries/XmlWriter.h"

#include <gtest/gtest.h>

namespace tidemill {
namespace {

// The QX-XML and diagnostics golden files show the layout; these are the parts they do not reach.
TEST(XmlWriter, RawElementLaysOutLikeAnyOther) {
  // The same document built both ways, at depths where the indentation differs.
  std::string built, raw;
  XmlWriter a(built), b(raw);
  for (XmlWriter* w : {&a, &b}) {
    w->StartDocument();
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
    w->SimpleElement("empty", "");
    w->EndDocument();
  }
  EXPECT_EQ(raw, built);
  EXPECT_EQ(built, "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<TimeSeries>\r\n\t<series>\r\n\t\t<event value=\"1.5\"/>\r\n\t\t<event value=\"1.5\"/>\r\n"
                   "\t</series>\r\n\t<empty/>\r\n</TimeSeries>\r\n");
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
      {"<\"x\"> & 'y'", false, "&lt;\"x\"&gt; &amp; 'y'"},
      {"\"x\" 'y'", true, "&quot;x&quot; 'y'"},
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
