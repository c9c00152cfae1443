#pragma once

#include "platform/calendar.h"

namespace ripwarden::win32_platform {

// GetLocalTime: the date and time in the user's time zone.
class SystemCalendar final : public Calendar {
 public:
  LocalDateTime CurrentDate() override;
};

}  // namespace ripwarden::win32_platform
