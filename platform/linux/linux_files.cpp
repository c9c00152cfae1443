#include "platform/linux/linux_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/linux/atomic_file.h"
#include "platform/linux/program_search.h"
#include "platform/linux/user_home.h"

namespace ripwarden::linux_platform {

namespace {

class LinuxOpenFile final : public OpenFile {
 public:
  LinuxOpenFile(std::string path, int fd, bool writable)
      : path_(std::move(path)), fd_(fd), writable_(writable) {}
  ~LinuxOpenFile() override { ::close(fd_); }
  LinuxOpenFile(const LinuxOpenFile&) = delete;
  LinuxOpenFile& operator=(const LinuxOpenFile&) = delete;

  bool Writable() const override { return writable_; }

  std::optional<std::string> ReadAll() override {
    std::string content;
    char buffer[8192];
    off_t offset = 0;
    while (true) {
      const ssize_t got = ::pread(fd_, buffer, sizeof buffer, offset);
      if (got < 0) {
        if (errno == EINTR) continue;
        return std::nullopt;
      }
      if (got == 0) return content;
      content.append(buffer, static_cast<std::size_t>(got));
      offset += got;
    }
  }

  bool ReplaceContent(std::string_view content) override {
    if (!writable_) return false;
    struct stat info {};
    if (::fstat(fd_, &info) != 0) return false;
    if (!ReplaceFileAtomically(path_, content, info.st_mode & 07777, info.st_uid, info.st_gid)) return false;
    // Follow the path to the new file so that this handle reads what was written.
    const int fresh = ::open(path_.c_str(), O_RDWR | O_CLOEXEC);
    if (fresh >= 0) {
      ::close(fd_);
      fd_ = fresh;
    }
    return true;
  }

 private:
  std::string path_;
  int fd_;
  bool writable_;
};

bool IsRegularFile(int fd) {
  struct stat info {};
  return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

// The entry of a renamed file lives in its folder: until the folder is
// flushed, a power cut can bring back the old name.
void SyncFolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

SystemResult Failure(int error) { return SystemResult::Failed(std::strerror(error)); }

bool HasWriteBit(int fd) {
  struct stat info {};
  return ::fstat(fd, &info) == 0 && (info.st_mode & 0222) != 0;
}

}  // namespace

std::unique_ptr<OpenFile> LinuxFiles::Open(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY);
  if (fd >= 0 && IsRegularFile(fd) && HasWriteBit(fd)) return std::make_unique<LinuxOpenFile>(path, fd, true);
  if (fd >= 0) ::close(fd);
  return OpenForReading(path);
}

std::unique_ptr<OpenFile> LinuxFiles::OpenForReading(const std::string& path) {
  // Without O_NONBLOCK a named pipe put in a file's place would hold the
  // program until something writes to it; only regular files are kept.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return nullptr;
  if (!IsRegularFile(fd)) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<LinuxOpenFile>(path, fd, false);
}

std::optional<FileStamp> LinuxFiles::ProgramStamp(const std::string& program) {
  if (program.empty() || program.find('/') != std::string::npos) return Stamp(program);
  const auto found = FindProgram(program, std::getenv("PATH"), CurrentFolder());
  return found ? Stamp(*found) : std::nullopt;
}

std::optional<FileStamp> LinuxFiles::Stamp(const std::string& path) {
  struct stat info {};
  if (path.empty() || ::stat(path.c_str(), &info) != 0) return std::nullopt;
  FileStamp stamp;
  stamp.is_folder = S_ISDIR(info.st_mode);
  stamp.size = static_cast<std::uint64_t>(info.st_size);
  stamp.modified_ns = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
  return stamp;
}

bool LinuxFiles::CreateEmptyFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0644);
  if (fd >= 0) {
    ::close(fd);
    return true;
  }
  return errno == EEXIST;
}

bool LinuxFiles::CreateFile(const std::string& path, std::string_view content) {
  const auto slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0 && !MakeFolders(path.substr(0, slash))) return false;
  return CreateFileAtomically(path, content, 0644);
}

SystemResult LinuxFiles::RemoveFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0) return Failure(errno);
  return {};
}

SystemResult LinuxFiles::RenameFile(const std::string& from, const std::string& to) {
  if (from.empty() || to.empty()) return Failure(ENOENT);
  // RENAME_NOREPLACE makes "never over an existing file" one step. File
  // systems without it (some network ones) fall back to link and unlink,
  // which refuses an existing target too.
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
    if (errno != EINVAL && errno != ENOSYS) return Failure(errno);
    if (::link(from.c_str(), to.c_str()) != 0) return Failure(errno);
    ::unlink(from.c_str());
  }
  SyncFolderOf(to);
  return {};
}

SystemResult LinuxFiles::FlushFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return Failure(errno);
  int synced;
  do {
    synced = ::fsync(fd);
  } while (synced != 0 && errno == EINTR);
  const int error = errno;
  ::close(fd);
  if (synced != 0) return Failure(error);
  return {};
}

SystemResult LinuxFiles::MakeFolders(const std::string& path) { return linux_platform::MakeFolders(path); }

bool LinuxFiles::RemoveTree(const std::string& path) {
  struct stat info {};
  if (path.empty() || ::lstat(path.c_str(), &info) != 0) return errno == ENOENT;
  if (!S_ISDIR(info.st_mode)) return ::unlink(path.c_str()) == 0;
  // Depth first, not following links, not leaving the file system.
  ::nftw(
      path.c_str(),
      [](const char* entry, const struct stat*, int kind, FTW*) {
        (kind == FTW_DP ? ::rmdir(entry) : ::unlink(entry));
        return 0;
      },
      16, FTW_DEPTH | FTW_PHYS | FTW_MOUNT);
  return ::lstat(path.c_str(), &info) != 0 && errno == ENOENT;
}

std::vector<std::string> LinuxFiles::ListFolder(const std::string& path) {
  std::vector<std::string> names;
  DIR* folder = ::opendir(path.c_str());
  if (folder == nullptr) return names;
  while (const dirent* entry = ::readdir(folder)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(folder);
  return names;
}

}  // namespace ripwarden::linux_platform
