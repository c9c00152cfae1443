#include "config/start_with_windows.h"

namespace ripwarden {

void SetStartWithWindows(Autostart& autostart, std::int32_t state) {
  if (state == 1) {
    autostart.Register();
  } else {
    autostart.Unregister();
  }
}

}  // namespace ripwarden
