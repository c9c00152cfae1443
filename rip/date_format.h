#pragma once

#include <string>
#include <string_view>

#include "platform/calendar.h"

namespace ripwarden {

// Copies mask with each of the tokens %yyyy, %yy, %mm, %dd, %hh, %ii and %ss
// (any letter case) replaced by the date's fields; a "%" that starts none of
// them is copied as it stands.
std::string FormatDate(std::string_view mask, const LocalDateTime& date);

}  // namespace ripwarden
