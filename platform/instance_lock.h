#pragma once

namespace ripwarden {

// Keeps a second copy of the program from running on the same desktop.
class InstanceLock {
 public:
  virtual ~InstanceLock() = default;
  // False only when another copy holds the lock. A lock that cannot be set up
  // at all does not stop the program: it then runs unguarded.
  virtual bool Acquire() = 0;
  // Lets the next copy start; nothing happens when the lock is not held.
  virtual void Release() = 0;
};

}  // namespace ripwarden
