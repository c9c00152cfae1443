#include "platform/linux/flock_instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/linux/user_home.h"

namespace ripwarden::linux_platform {

FlockInstanceLock::FlockInstanceLock(std::string path) : path_(std::move(path)) {}

FlockInstanceLock::~FlockInstanceLock() { Release(); }

bool FlockInstanceLock::Acquire() {
  if (fd_ >= 0) return true;
  // A copy that cannot lock cannot know it is alone, and a second copy would
  // take the first one's running rip for a dead run's leftovers.
  const auto slash = path_.rfind('/');
  if (slash != std::string::npos && slash > 0 && !MakeFolders(path_.substr(0, slash))) return false;
  // O_NOFOLLOW: a link planted by that name must not lead the lock elsewhere.
  const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  int locked;
  do {
    locked = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0) {
    ::close(fd);
    return false;
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

std::string InstanceLockPath(const std::string& state_folder) { return state_folder + "/ripwarden.lock"; }

}  // namespace ripwarden::linux_platform
