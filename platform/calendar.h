#pragma once

namespace ripwarden {

// A local date and time, as the user's clock on the wall shows it.
struct LocalDateTime {
  int year = 0;
  int month = 1;   // 1 to 12
  int day = 1;     // 1 to 31
  int hour = 0;    // 0 to 23
  int minute = 0;  // 0 to 59
  int second = 0;  // 0 to 59
  bool operator==(const LocalDateTime&) const = default;
};

class Calendar {
 public:
  virtual ~Calendar() = default;
  virtual LocalDateTime CurrentDate() = 0;
};

}  // namespace ripwarden
