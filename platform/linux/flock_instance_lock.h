#pragma once

#include <string>

#include "platform/instance_lock.h"

namespace ripwarden::linux_platform {

// An exclusive flock on a lock file. The kernel drops the lock when its holder
// ends in any way, so a crashed copy never blocks the next one. The file is
// opened close-on-exec, so that child processes do not keep it locked.
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

// $XDG_RUNTIME_DIR/ripwarden.lock when that folder is set (as an absolute
// path), else /tmp/ripwarden-<uid>.lock, one per user.
std::string InstanceLockPath(const char* runtime_folder, unsigned uid);
std::string DefaultInstanceLockPath();

}  // namespace ripwarden::linux_platform
