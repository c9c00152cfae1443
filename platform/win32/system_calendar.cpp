#include "platform/win32/system_calendar.h"

#include <windows.h>

namespace ripwarden::win32_platform {

LocalDateTime SystemCalendar::CurrentDate() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

}  // namespace ripwarden::win32_platform
