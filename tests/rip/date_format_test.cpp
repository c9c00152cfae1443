#include "rip/date_format.h"

#include <gtest/gtest.h>

#include <limits>

namespace ripwarden {
namespace {

constexpr LocalDateTime kDate{2009, 3, 14, 15, 9, 26};

TEST(FormatDate, ReplacesEveryTokenWhateverItsCase) {
  EXPECT_EQ(FormatDate("_(%yyyy-%mm-%dd_%hh-%ii-%ss)", kDate), "_(2009-03-14_15-09-26)");
  EXPECT_EQ(FormatDate("%YYYY %Yy %MM %dD %HH %Ii %sS", kDate), "2009 09 03 14 15 09 26");
  EXPECT_EQ(FormatDate("%yyy", kDate), "09y");  // the longest token that matches first
}

TEST(FormatDate, CopiesEverythingElse) {
  EXPECT_EQ(FormatDate("100% %x %", kDate), "100% %x %");
  EXPECT_EQ(FormatDate("%%yyyy", kDate), "%2009");
  EXPECT_EQ(FormatDate("", kDate), "");
  EXPECT_EQ(FormatDate("%y", kDate), "%y");
}

TEST(FormatDate, PadsSmallValues) {
  EXPECT_EQ(FormatDate("%yyyy/%yy", {0, 1, 2, 3, 4, 5}), "0000/00");
  EXPECT_EQ(FormatDate("%yyyy/%yy", {987, 1, 2, 3, 4, 5}), "0987/87");
  EXPECT_EQ(FormatDate("%mm%dd%hh%ii%ss", {2000, 1, 2, 3, 4, 5}), "0102030405");
  EXPECT_EQ(FormatDate("%yyyy", {12345, 1, 1, 0, 0, 0}), "12345");
  constexpr int kLeast = std::numeric_limits<int>::min();
  EXPECT_EQ(FormatDate("%yyyy %yy %mm %ss", {kLeast, -1, 1, 0, 0, kLeast}), "-2147483648 48 -01 -2147483648");
}

}  // namespace
}  // namespace ripwarden
