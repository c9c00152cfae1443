#include "helpers/sample_dvd.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "helpers/media_probe.h"

namespace ripwarden::testing {

namespace {

namespace fs = std::filesystem;

// Labels that differ must never share a cached image, so every byte that is
// not a letter or digit becomes _ and its hex code ("MY MOVIE" -> MY_20MOVIE).
std::string FileNameFor(const std::string& label) {
  std::string name;
  for (const unsigned char byte : label) {
    if ((byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z')) {
      name += static_cast<char>(byte);
    } else {
      char code[4];
      std::snprintf(code, sizeof code, "_%02X", byte);
      name += code;
    }
  }
  return name;
}

// Held while one program looks for an image and makes it if need be: the
// others wait instead of making the same image again.
class ExclusiveLock {
 public:
  explicit ExclusiveLock(const std::string& path)
      : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
    if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "cannot open " + path);
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        const int error = errno;
        ::close(fd_);
        throw std::system_error(error, std::generic_category(), "cannot lock " + path);
      }
    }
  }
  ~ExclusiveLock() { ::close(fd_); }
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;

 private:
  int fd_;
};

bool UpToDate(const fs::path& image, const fs::path& script) {
  std::error_code error;
  const auto made = fs::last_write_time(image, error);
  if (error) return false;
  return made >= fs::last_write_time(script);
}

// Makes the image `name`.iso with the script, the image's path standing
// between `options` and `arguments`, unless it is newer than the script.
std::string MadeOnce(const std::string& name, const std::vector<std::string>& options,
                     const std::vector<std::string>& arguments) {
  const fs::path script = MAKE_SAMPLE_DVD_SCRIPT;
  const fs::path folder = SAMPLE_MEDIA_FOLDER;
  fs::create_directories(folder);
  const fs::path image = folder / (name + ".iso");

  const ExclusiveLock lock((folder / (name + ".lock")).string());
  if (UpToDate(image, script)) return image.string();
  // The script writes beside the image and renames it into place, so no
  // reader, locked or not, ever sees half an image.
  std::vector<std::string> command{"bash", script.string()};
  command.insert(command.end(), options.begin(), options.end());
  command.push_back(image.string());
  command.insert(command.end(), arguments.begin(), arguments.end());
  const ToolOutput made = RunCapturing(command);
  if (made.exit_code != 0 || !fs::exists(image)) {
    throw std::runtime_error("making the sample DVD " + image.string() + " failed (exit code " +
                             std::to_string(made.exit_code) + "):\n" + made.output);
  }
  return image.string();
}

}  // namespace

std::string SampleDvdImage(int seconds, const std::string& label) {
  if (seconds < 1 || seconds > 9999) throw std::invalid_argument("sample DVD length out of range");
  if (label.empty() || label.size() > 32) throw std::invalid_argument("a DVD label holds 1 to 32 bytes");
  return MadeOnce(std::to_string(seconds) + "s-" + FileNameFor(label), {}, {std::to_string(seconds), label});
}

std::string SampleSeriesDvdImage() { return MadeOnce("series-MY_20SERIES", {"--series"}, {"MY SERIES"}); }

}  // namespace ripwarden::testing
