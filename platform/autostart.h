#pragma once

namespace ripwarden {

// Starting the program when the current user logs on to the desktop.
class Autostart {
 public:
  virtual ~Autostart() = default;
  // Registers the running program's own path, replacing an earlier entry.
  virtual void Register() = 0;
  // Removes the registration; nothing happens when there is none.
  virtual void Unregister() = 0;
};

}  // namespace ripwarden
