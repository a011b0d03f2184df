#include "common/XmlWriter.h"

#include <gtest/gtest.h>

namespace tidemill {
namespace {

// The QX-XML and diagnostics golden files show the layout and the usual escapes; these are the
// parts they do not reach.
TEST(XmlWriter, EscapesWhatXmlCannotHoldAsItStands) {
  const struct {
    const char* in;
    bool attribute;
    const char* out;
  } cases[] = {
      {"a\tb\nc", false, "a\tb\nc"},
      {"cr\rhere", false, "cr&#13;here"},
      {"x\x01y", true, "x\xEF\xBF\xBDy"},        // control character
      {"Zw\xE4rd", false, "Zw\xC3\xA4rd"},       // Windows-1252 turned into UTF-8
      {"1 > \xC3\xA4", false, "1 &gt; \xC3\xA4"},
  };
  for (const auto& c : cases) {
    std::string out;
    AppendEscaped(out, c.in, c.attribute);
    EXPECT_EQ(out, c.out) << c.in;
  }
}

}  // namespace
}  // namespace tidemill
