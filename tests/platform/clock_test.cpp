#include <gtest/gtest.h>

#include "fakes/fake_clock.h"
#include "helpers/native_platform.h"
#include "platform/clock.h"

namespace ripwarden::testing {
namespace {

TEST(IsDueTest, TimerKeepsWorkingAcrossTheWrap) {
  FakeClock clock(0xFFFFFF00u);
  const std::uint32_t tick = clock.TickCount();
  clock.Advance(0x1F3);  // past 2^32: now reads 0xF3
  ASSERT_LT(clock.TickCount(), tick);
  EXPECT_FALSE(IsDue(clock.TickCount(), tick, 500));
  clock.Sleep(1);
  EXPECT_TRUE(IsDue(clock.TickCount(), tick, 500));
  EXPECT_TRUE(IsDue(clock.TickCount(), tick, 2500 - 2000));
  EXPECT_FALSE(IsDue(clock.TickCount(), tick, 2500));
  clock.Advance(2000);
  EXPECT_TRUE(IsDue(clock.TickCount(), tick, 2500));
}

TEST(IsDueTest, DueExactlyAtTheInterval) {
  EXPECT_FALSE(IsDue(1999, 1000, 1000));
  EXPECT_TRUE(IsDue(2000, 1000, 1000));
  EXPECT_TRUE(IsDue(5, 5, 0));
}

TEST(IsDueTest, TickAheadOfNowIsNotDue) {
  // A difference of 2^31 or more reads as negative: the tick lies ahead.
  EXPECT_FALSE(IsDue(1000, 1001, 1000));
  EXPECT_FALSE(IsDue(0, 0x80000000u, 1000));
  EXPECT_TRUE(IsDue(0x7FFFFFFFu, 0, 1000));
}

TEST(NativeClockTest, CountsMillisecondsWhileSleeping) {
  NativeClock clock;
  const std::uint32_t start = clock.TickCount();
  clock.Sleep(60);
  const std::uint32_t end = clock.TickCount();
  // Windows' tick count moves in steps of up to 16 ms.
  EXPECT_TRUE(IsDue(end, start, 60 - 16));
  EXPECT_FALSE(IsDue(end, start, 5000));
}

}  // namespace
}  // namespace ripwarden::testing
