#include "platform/linux/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

namespace ripwarden::linux_platform {

namespace {

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

std::string ResolveLinks(const std::string& path) {
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) != nullptr) return resolved;
  return path;
}

std::string TemporaryPrefix(const std::string& base) { return "." + base + ".new-"; }

std::string UniqueName(const std::string& base) {
  static std::atomic<unsigned> counter{0};
  return TemporaryPrefix(base) + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

// A writer killed between naming its new file and renaming it leaves that
// file behind; its name carries the writer's process id.
void RemoveLeftovers(int dir_fd, const std::string& base) {
  const int scan_fd = ::openat(dir_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (scan_fd < 0) return;
  DIR* dir = ::fdopendir(scan_fd);
  if (dir == nullptr) {
    ::close(scan_fd);
    return;
  }
  const std::string prefix = TemporaryPrefix(base);
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.rfind(prefix, 0) != 0) continue;
    const long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
    if (pid > 0 && pid != ::getpid() && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
      ::unlinkat(dir_fd, name.c_str(), 0);
    }
  }
  ::closedir(dir);
}

// Creates the temporary file and returns its descriptor and (for the fallback
// path) its name. With O_TMPFILE the file has no name until it is complete,
// so a process killed while writing leaves nothing behind.
int CreateTemporary(int dir_fd, const std::string& base, mode_t mode, std::string& named) {
  int fd = ::openat(dir_fd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
  if (fd >= 0) return fd;
  for (int attempt = 0; attempt < 100; ++attempt) {
    named = UniqueName(base);
    fd = ::openat(dir_fd, named.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool GiveName(int fd, int dir_fd, const std::string& base, std::string& named) {
  const std::string proc_path = "/proc/self/fd/" + std::to_string(fd);
  for (int attempt = 0; attempt < 100; ++attempt) {
    named = UniqueName(base);
    if (::linkat(AT_FDCWD, proc_path.c_str(), dir_fd, named.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
    if (errno != EEXIST) break;
  }
  named.clear();
  return false;
}

}  // namespace

bool WriteAll(int fd, std::string_view content) {
  while (!content.empty()) {
    const ssize_t written = ::write(fd, content.data(), content.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    content.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

namespace {

bool Store(const std::string& path, std::string_view content, mode_t mode, uid_t owner, gid_t group,
           bool replace) {
  const std::string target = ResolveLinks(path);
  const auto slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);

  const Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() < 0) return false;
  std::string named;
  const Fd file(CreateTemporary(dir.get(), base, mode, named));
  if (file.get() < 0) return false;

  bool ok = ::fchmod(file.get(), mode) == 0;
  if (ok && (owner != static_cast<uid_t>(-1) || group != static_cast<gid_t>(-1))) {
    // Only a privileged process may give a file away; keeping the mode matters more.
    (void)::fchown(file.get(), owner, group);
  }
  ok = ok && WriteAll(file.get(), content) && ::fsync(file.get()) == 0;
  if (ok && named.empty()) ok = GiveName(file.get(), dir.get(), base, named);
  ok = ok &&
       ::renameat2(dir.get(), named.c_str(), dir.get(), base.c_str(), replace ? 0 : RENAME_NOREPLACE) == 0;
  if (!ok) {
    if (!named.empty()) ::unlinkat(dir.get(), named.c_str(), 0);
    return false;
  }
  ::fsync(dir.get());
  RemoveLeftovers(dir.get(), base);
  return true;
}

}  // namespace

bool ReplaceFileAtomically(const std::string& path, std::string_view content, mode_t mode, uid_t owner,
                           gid_t group) {
  return Store(path, content, mode, owner, group, true);
}

bool CreateFileAtomically(const std::string& path, std::string_view content, mode_t mode) {
  return Store(path, content, mode, static_cast<uid_t>(-1), static_cast<gid_t>(-1), false);
}

}  // namespace ripwarden::linux_platform
