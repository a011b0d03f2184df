#include "common/Text.h"

#include <gtest/gtest.h>

#include "common/Error.h"

namespace tidemill {
namespace {

TEST(Text, LegacyTextBecomesUtf8) {
  EXPECT_EQ(LegacyToUtf8("Zw\xC3\xA4rd"), "Zw\xC3\xA4rd");  // valid UTF-8 stays
  EXPECT_EQ(LegacyToUtf8("\x80"), "\xE2\x82\xAC");          // euro sign
  EXPECT_EQ(LegacyToUtf8("\x81"), "\xC2\x81");              // undefined byte kept as C1
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));                    // overlong
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));                // surrogate
  EXPECT_FALSE(IsValidUtf8("\xE2\x82"));                    // truncated
  EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x8C\x8A"));
  EXPECT_EQ(CutToChars("\xF0\x9F\x8C\x8Ax", 1), "\xF0\x9F\x8C\x8A");
}

TEST(ErrorText, ReportsInTheProgramsForms) {
  try {
    throw std::bad_alloc();
  } catch (...) {
    EXPECT_EQ(ErrorSummary(CurrentError()), "Error 7 (Out of memory)");
  }
}

}  // namespace
}  // namespace tidemill
