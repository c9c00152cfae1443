#pragma once

#include <cstdint>

namespace ripwarden {

// The system's millisecond tick count. It is 32 bits wide and wraps about
// every 49.7 days, so elapsed times must go through IsDue.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::uint32_t TickCount() = 0;
  virtual void Sleep(std::uint32_t milliseconds) = 0;
};

// True once at least interval ms have passed since tick. The difference is
// taken modulo 2^32 and read as signed, so a timer keeps working when the tick
// count wraps between tick and now.
inline bool IsDue(std::uint32_t now, std::uint32_t tick, std::int32_t interval) {
  return static_cast<std::int32_t>(now - tick) >= interval;
}

}  // namespace ripwarden
