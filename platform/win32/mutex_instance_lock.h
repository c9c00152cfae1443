#pragma once

#include <string>

#include "platform/instance_lock.h"

namespace ripwarden::win32_platform {

// The named mutex "Ripwarden" in the session's namespace, created owned. The
// system closes it when its holder ends in any way, so a crashed copy never
// blocks the next one. Unlike a lock that cannot be set up at all, a mutex
// that cannot be created reads as another copy running, as the program has
// always treated it on Windows.
class MutexInstanceLock final : public InstanceLock {
 public:
  explicit MutexInstanceLock(std::string name = "Ripwarden");
  ~MutexInstanceLock() override;
  MutexInstanceLock(const MutexInstanceLock&) = delete;
  MutexInstanceLock& operator=(const MutexInstanceLock&) = delete;

  bool Acquire() override;
  void Release() override;

 private:
  std::string name_;
  void* mutex_ = nullptr;
};

}  // namespace ripwarden::win32_platform
