#pragma once

#include <string>

#include "platform/instance_lock.h"

namespace ripwarden::linux_platform {

// An exclusive flock on a lock file, made with its folder when missing. The kernel drops the lock when its
// holder ends in any way, so a crashed copy never blocks the next one. The file is opened close-on-exec, so
// that child processes do not keep it locked.
class FlockInstanceLock final : public InstanceLock {
 public:
  explicit FlockInstanceLock(std::string path);
  ~FlockInstanceLock() override;
  FlockInstanceLock(const FlockInstanceLock&) = delete;
  FlockInstanceLock& operator=(const FlockInstanceLock&) = delete;

  bool Acquire() override;
  void Release() override;

 private:
  std::string path_;
  int fd_ = -1;
};

// The lock of the copy that keeps its rips' records in state_folder: one per
// user and data folder, whatever else the environment says (a copy started
// by cron, su or a service manager has no runtime folder, or another one).
std::string InstanceLockPath(const std::string& state_folder);

}  // namespace ripwarden::linux_platform
