#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace ripwarden::testing {

// A tick count that moves only when told to; sleeping moves it too.
class FakeClock final : public Clock {
 public:
  explicit FakeClock(std::uint32_t start = 0) : now_(start) {}

  std::uint32_t TickCount() override { return now_; }
  void Sleep(std::uint32_t milliseconds) override {
    slept_ += milliseconds;
    now_ += milliseconds;
  }

  void Set(std::uint32_t now) { now_ = now; }
  // Wraps past 2^32 like the real tick count.
  void Advance(std::uint32_t milliseconds) { now_ += milliseconds; }
  std::uint64_t TotalSlept() const { return slept_; }

 private:
  std::uint32_t now_;
  std::uint64_t slept_ = 0;
};

}  // namespace ripwarden::testing
