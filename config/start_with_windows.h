#pragma once

#include <cstdint>

#include "platform/autostart.h"

namespace ripwarden {

// State 1 registers the program to start at logon; any other state removes
// the registration. Failures are not reported.
void SetStartWithWindows(Autostart& autostart, std::int32_t state);

}  // namespace ripwarden
