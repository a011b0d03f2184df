#include "common/Numbers.h"

#include <gtest/gtest.h>

namespace tidemill {
namespace {

TEST(NumberTextTest, GeneralFormWithSevenDigits) {
  struct Case {
    float value;
    const char* text;
  };
  const Case cases[] = {
      {0.5f, ".5"},         {-0.25f, "-.25"},        {12.25f, "12.25"},        {-999.0f, "-999"},
      {-999.99f, "-999.99"}, {1e20f, "1E+20"},        {1.5e-7f, "1.5E-07"},     {0.001f, ".001"},
      {1234567.0f, "1234567"}, {12345678.0f, "1.234568E+07"}, {-3.4028235e38f, "-3.402823E+38"},
      {0.0f, "0"},          {1.0f / 3.0f, ".3333333"},
  };
  for (const Case& c : cases) EXPECT_EQ(NumberText(c.value), c.text) << c.value;
}

}  // namespace
}  // namespace tidemill
