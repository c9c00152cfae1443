#include "config/text_helpers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <limits>

namespace ripwarden {
namespace {

TEST(Trim, RemovesOnlySpacesAtBothEnds) {
  EXPECT_EQ(Trim("  D  "), "D");
  EXPECT_EQ(Trim("\tD\t"), "\tD\t");
  EXPECT_EQ(Trim(" a b "), "a b");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(Trim(""), "");
}

TEST(TextField, CountsPiecesFromOneAndRunsTheLastToTheEnd) {
  EXPECT_EQ(TextField("x264/1500/aac/160", 1, '/'), "x264");
  EXPECT_EQ(TextField("x264/1500/aac/160", 4, '/'), "160");
  EXPECT_EQ(TextField("x264/1500/aac/160/extra", 4, '/'), "160");
  EXPECT_EQ(TextField("x264/1500", 3, '/'), "");
  EXPECT_EQ(TextField("x264/1500", 0, '/'), "x264");
  EXPECT_EQ(TextField("x264/1500", -5, '/'), "x264");
  EXPECT_EQ(TextField("a//b", 2, '/'), "");
  EXPECT_EQ(TextField("a//b", 3, '/'), "b");
  EXPECT_EQ(TextField("", 1, '/'), "");
}

TEST(TextToInteger, ReadsDecimalHexAndBinaryWithSign) {
  EXPECT_EQ(TextToInteger("1"), 1);
  EXPECT_EQ(TextToInteger("+1"), 1);
  EXPECT_EQ(TextToInteger("01"), 1);
  EXPECT_EQ(TextToInteger(" \t 42abc"), 42);
  EXPECT_EQ(TextToInteger("-17"), -17);
  EXPECT_EQ(TextToInteger("$1"), 1);
  EXPECT_EQ(TextToInteger("$fF"), 255);
  EXPECT_EQ(TextToInteger("-$10"), -16);
  EXPECT_EQ(TextToInteger("%101"), 5);
  EXPECT_EQ(TextToInteger("%102"), 2);
}

TEST(TextToInteger, GivesZeroWithoutDigits) {
  EXPECT_EQ(TextToInteger(""), 0);
  EXPECT_EQ(TextToInteger("x1"), 0);
  EXPECT_EQ(TextToInteger("$"), 0);
  EXPECT_EQ(TextToInteger("$g"), 0);
  EXPECT_EQ(TextToInteger("- 1"), 0);
  EXPECT_EQ(TextToInteger("\n1"), 0);  // only spaces and tabs are skipped
}

TEST(TextToInteger, WrapsLikeASigned32BitNumber) {
  EXPECT_EQ(TextToInteger("2147483647"), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(TextToInteger("2147483648"), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(TextToInteger("4294967297"), 1);
  EXPECT_EQ(TextToInteger("$FFFFFFFF"), -1);
  EXPECT_EQ(TextToInteger("$1FFFFFFFF"), -1);
  EXPECT_EQ(TextToInteger("-2147483648"), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(TextToInteger("99999999999999999999"), 1661992959);
}

TEST(TextToFloat, ReadsDecimalTextRoundedToAFloat) {
  EXPECT_EQ(TextToFloat("99.90"), 99.90f);
  EXPECT_EQ(TextToFloat("  33.33 %"), 33.33f);
  EXPECT_EQ(TextToFloat("-.5"), -0.5f);
  EXPECT_EQ(TextToFloat("+2"), 2.0f);
  EXPECT_EQ(TextToFloat("1e3x"), 1000.0f);
  EXPECT_EQ(TextToFloat("2.5e"), 2.5f);
  EXPECT_EQ(TextToFloat("7."), 7.0f);
  // The threshold and a parsed percentage must compare equal as floats even
  // though the doubles differ.
  EXPECT_NE(static_cast<double>(TextToFloat("99.90")), 99.90);
}

TEST(TextToFloat, GivesZeroForTextThatIsNoNumber) {
  EXPECT_EQ(TextToFloat(""), 0.0f);
  EXPECT_EQ(TextToFloat("Encoding"), 0.0f);
  EXPECT_EQ(TextToFloat("."), 0.0f);
  EXPECT_EQ(TextToFloat("-"), 0.0f);
  EXPECT_EQ(TextToFloat(",5"), 0.0f);
  EXPECT_EQ(TextToFloat("inf"), 0.0f);
  EXPECT_EQ(TextToFloat("0x10"), 0.0f);
}

TEST(TextToFloat, HandlesOutOfRangeAndIgnoresTheLocale) {
  EXPECT_EQ(TextToFloat("1e400"), std::numeric_limits<float>::infinity());
  EXPECT_EQ(TextToFloat("-1e400"), -std::numeric_limits<float>::infinity());
  EXPECT_EQ(TextToFloat("1e-400"), 0.0f);
  EXPECT_EQ(TextToFloat("1e39"), std::numeric_limits<float>::infinity());
  // A desktop toolkit sets the user's locale, where "," may be the decimal point.
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous != nullptr ? previous : "C";
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr || std::setlocale(LC_NUMERIC, "fr_FR.UTF-8")) {
    EXPECT_EQ(TextToFloat("12.75"), 12.75f);
    EXPECT_EQ(TextToFloat("12,75"), 12.0f);
  }
  std::setlocale(LC_NUMERIC, saved.c_str());
}

}  // namespace
}  // namespace ripwarden
