#include "common/Numbers.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

#include "common/Error.h"

namespace tidemill {
namespace {

TEST(LeadingNumber, ReadsTheLeadingNumberOnly) {
  const struct {
    const char* text;
    double expected;
  } cases[] = {
      {"", 0},         {"abc", 0},      {"  -3.25", -3.25}, {"+7", 7},     {"1,5", 1},  // the comma ends the number
      {"1 2 3", 123},  {"\t4\n5", 45},  // blanks, tabs and line feeds anywhere are skipped
      {"1.5.6", 1.5},  {"-.25", -0.25}, {"5.", 5},          {"1e-2", 0.01}, {"2D2", 200},  // the old exponent letter
      {"3E+", 3},      {"3Ex", 3},      {"-", 0},           {"e5", 0},      {"1 E 2", 100}, {"1e-400", 0},
      {"0000000000000000000000000000000000000000000000001", 1},
      {"123456789012345678901234567890123456789012345678901234567890", 1.2345678901234568e59},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(LeadingNumber(c.text), c.expected) << '"' << c.text << '"';
  // Short decimals are exact, not merely close.
  EXPECT_EQ(static_cast<float>(LeadingNumber("-999.99")), -999.99f);
  // Just above the halfway point between two singles, by the 41st digit: cut there, the text
  // would round to even twice and give 8388608.
  for (const char* text : {"8388608.5000000009313225746154785156250001", " 8388608.5000000009313225746154785156250001"}) {
    EXPECT_EQ(static_cast<float>(LeadingNumber(text)), 8388609.0f) << '"' << text << '"';
  }
  EXPECT_EQ(LeadingNumber("1.7976931348623157e308"), std::numeric_limits<double>::max());
  EXPECT_THROW(LeadingNumber("1e400"), Error);
  EXPECT_THROW(LeadingNumber("-2e308"), Error);
}

// The result of one route: the value's bits (the sign of zero counts), or the error number.
std::pair<uint64_t, int> Outcome(double (*read)(std::string_view), std::string_view text) {
  try {
    return {std::bit_cast<uint64_t>(read(text)), 0};
  } catch (const Error& e) {
    return {0, e.Number()};
  }
}

TEST(LeadingNumber, ShortcutAgreesWithTheGeneralRule) {
  // Texts the shortcut takes, and texts at each of its edges that must go the general way.
  const char* const texts[] = {
      "-0", "+.5", "-999.99", "1e+2", "1.5E+07", "2d-2", "3E", "3e-", "1e 2", "1\r2", "12abc", "1e5.5", "1e5e5",
      "12 ", "+", "-.", "+-5", "--5", "inf", "nan", "0x1A", "1e400", "-2e308", "1e-330", "5e-324", "0e500", "-0.0e-999",
      // Halfway between two doubles, and just above it only after the 40th digit.
      "9007199254740993", "9007199254740993.00000000000000000000000000001",
      "12345678901234567890123456789012345678901", "1e00000000000000000000000000000000000005",
  };
  for (const char* text : texts) {
    EXPECT_EQ(Outcome(LeadingNumber, text), Outcome(LeadingNumberGeneral, text)) << '"' << text << '"';
  }
  // Every text the writers produce, over a wide sweep of magnitudes.
  char buffer[64];
  for (double magnitude = 1e-40; magnitude < 1e40; magnitude *= 3.7) {
    for (double v : {magnitude, -magnitude / 7}) {
      const std::string written[] = {NumberText(static_cast<float>(v)),
                                     std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, v).ptr)};
      for (const std::string& text : written) {
        ASSERT_EQ(Outcome(LeadingNumber, text), Outcome(LeadingNumberGeneral, text)) << text;
      }
    }
  }
}

TEST(RoundHalfEven32, RoundsHalfToEvenAndChecksRange) {
  const struct {
    double value;
    int32_t expected;
  } cases[] = {{2.5, 2},   {3.5, 4},   {-0.5, 0},         {-1.5, -2},         {0.49999, 0},
               {2.51, 3},  {-2.5, -2}, {2147483647.0, 2147483647}, {-2147483648.0, INT32_MIN},
               {2147483646.5, 2147483646}};
  for (const auto& c : cases) EXPECT_EQ(RoundHalfEven32(c.value), c.expected) << c.value;
  for (double bad : {2147483647.5, -2147483649.0, std::nan("")}) EXPECT_THROW(RoundHalfEven32(bad), Error) << bad;
  EXPECT_EQ(ToSingle(3.4028234e38), std::numeric_limits<float>::max());  // 1e39 is the reader's overflow row
}

TEST(NumberText, GeneralFormWithSevenSignificantDigits) {
  const struct {
    float value;
    const char* expected;
  } cases[] = {
      {0.0f, "0"},
      {-0.0f, "0"},
      {0.5f, ".5"},
      {-0.25f, "-.25"},
      {2.0f / 3.0f, ".6666667"},
      {9999999.0f, "9999999"},
      {12345678.0f, "1.234568E+07"},
      {10000000.0f, "1E+07"},
      {1.5e-7f, "1.5E-07"},
      {0.0001f, ".0001"},
      {0.00001f, "1E-05"},
      {-3.4028235e38f, "-3.402823E+38"},
      // Ties of the seventh digit go to even; rounding up may add a digit and change the form.
      {1234566.5f, "1234566"},
      {1234567.5f, "1234568"},
      {9999999.5f, "1E+07"},
      {0.000099999997f, ".0001"},
      {std::numeric_limits<float>::quiet_NaN(), "nan"},
      {-std::numeric_limits<float>::infinity(), "-inf"},
  };
  for (const auto& c : cases) {
    char buf[kMaxNumberText + 4];  // and nothing written past the limit
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(std::string(buf, AppendNumberText(c.value, buf)), c.expected) << c.value;
    EXPECT_EQ(std::string(buf + kMaxNumberText, 4), "####") << c.value;
  }
  EXPECT_EQ(IntegerText(-2147483648LL), "-2147483648");
}

// The shortcut gives the general text of the rounded value: every thousandth below 1000, the
// halves beside each, and magnitudes past the shortcut.
TEST(ThousandthsText, SameAsTheNumberTextOfTheRoundedValue) {
  char fast[kMaxNumberText], general[kMaxNumberText];
  const auto text = [&](float v) { return std::string_view(fast, AppendThousandthsText(v, fast)); };
  std::vector<float> values = {1e6f, -1.2345678e20f, 1e-7f, -0.0f, std::numeric_limits<float>::infinity(), std::nanf("")};
  for (int32_t k = -1000000; k <= 1000000; ++k) values.insert(values.end(), {k / 1000.0f, static_cast<float>((k + 0.5) / 1000)});
  for (const float v : values)
    if (text(v) != std::string_view(general, AppendNumberText(RoundToThousandths(v), general))) ADD_FAILURE() << v;
  EXPECT_EQ(text(2.0625f), "2.062");  // a true half, to even
  EXPECT_EQ(text(0.1875f), ".188");
}

}  // namespace
}  // namespace tidemill
