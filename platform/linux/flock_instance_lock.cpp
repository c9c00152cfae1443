#include "platform/linux/flock_instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace ripwarden::linux_platform {

FlockInstanceLock::FlockInstanceLock(std::string path) : path_(std::move(path)) {}

FlockInstanceLock::~FlockInstanceLock() { Release(); }

bool FlockInstanceLock::Acquire() {
  if (fd_ >= 0) return true;
  // O_NOFOLLOW: in /tmp another user could plant a symbolic link by that name.
  const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return true;
  int locked;
  do {
    locked = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0) {
    const bool held_elsewhere = errno == EWOULDBLOCK;
    ::close(fd);
    return !held_elsewhere;
  }
  fd_ = fd;
  return true;
}

void FlockInstanceLock::Release() {
  if (fd_ < 0) return;
  // The file stays: removing it could let two copies lock two different files.
  ::close(fd_);
  fd_ = -1;
}

std::string InstanceLockPath(const char* runtime_folder, unsigned uid) {
  if (runtime_folder != nullptr && runtime_folder[0] == '/')
    return std::string(runtime_folder) + "/ripwarden.lock";
  return "/tmp/ripwarden-" + std::to_string(uid) + ".lock";
}

std::string DefaultInstanceLockPath() { return InstanceLockPath(std::getenv("XDG_RUNTIME_DIR"), ::getuid()); }

}  // namespace ripwarden::linux_platform
