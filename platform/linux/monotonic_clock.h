#pragma once

#include "platform/clock.h"

namespace ripwarden::linux_platform {

// Milliseconds of CLOCK_MONOTONIC cut to 32 bits: like the Windows tick count
// it counts from an arbitrary start, never jumps with the wall clock, and wraps.
class MonotonicClock final : public Clock {
 public:
  std::uint32_t TickCount() override;
  void Sleep(std::uint32_t milliseconds) override;
};

}  // namespace ripwarden::linux_platform
