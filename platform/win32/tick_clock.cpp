#include "platform/win32/tick_clock.h"

#include <windows.h>

namespace ripwarden::win32_platform {

std::uint32_t TickClock::TickCount() { return ::GetTickCount(); }

void TickClock::Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

}  // namespace ripwarden::win32_platform
