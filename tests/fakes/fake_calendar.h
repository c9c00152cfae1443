#pragma once

#include "platform/calendar.h"

namespace ripwarden::testing {

class FakeCalendar final : public Calendar {
 public:
  LocalDateTime CurrentDate() override { return now; }
  LocalDateTime now{2009, 3, 14, 15, 9, 26};
};

}  // namespace ripwarden::testing
