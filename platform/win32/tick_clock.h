#pragma once

#include "platform/clock.h"

namespace ripwarden::win32_platform {

// GetTickCount: milliseconds since the system started, wrapping at 2^32.
class TickClock final : public Clock {
 public:
  std::uint32_t TickCount() override;
  void Sleep(std::uint32_t milliseconds) override;
};

}  // namespace ripwarden::win32_platform
