#include "platform/linux/linux_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

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

bool LinuxFiles::RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

}  // namespace ripwarden::linux_platform
