#pragma once

#include "platform/calendar.h"

namespace ripwarden::linux_platform {

// The system's local time in the time zone the environment sets.
class LocalCalendar final : public Calendar {
 public:
  LocalDateTime CurrentDate() override;
};

}  // namespace ripwarden::linux_platform
