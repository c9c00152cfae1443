#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "helper/output_file.h"

namespace ripwarden::helper {

namespace {

class PosixOutputFile : public OutputFile {
 public:
  explicit PosixOutputFile(int fd) : fd_(fd) {}
  ~PosixOutputFile() override {
    if (fd_ >= 0) ::close(fd_);
  }
  PosixOutputFile(const PosixOutputFile&) = delete;
  PosixOutputFile& operator=(const PosixOutputFile&) = delete;

  bool Write(const unsigned char* data, std::size_t bytes, std::string& why) override {
    while (bytes > 0) {
      const ssize_t written = ::write(fd_, data, bytes);
      if (written < 0) {
        if (errno == EINTR) continue;
        why = std::strerror(errno);
        return false;
      }
      data += written;
      bytes -= static_cast<std::size_t>(written);
    }
    return true;
  }

  bool Close(std::string& why) override {
    const int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0) why = std::strerror(errno);
    return closed == 0;
  }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<OutputFile> CreateOutputFile(const std::filesystem::path& path, std::string& why) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    why = std::strerror(errno);
    return nullptr;
  }
  return std::make_unique<PosixOutputFile>(fd);
}

bool SyncCopy(const std::filesystem::path& folder, const std::vector<std::filesystem::path>&,
              std::string& why) {
  // The whole file system at once: the files, their folders and the entry in the parent.
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const bool synced = fd >= 0 && ::syncfs(fd) == 0;
  if (!synced) why = std::strerror(errno);
  if (fd >= 0) ::close(fd);
  return synced;
}

void RestoreStopSignals() {
  ::signal(SIGINT, SIG_DFL);
  ::signal(SIGTERM, SIG_DFL);
}

}  // namespace ripwarden::helper
