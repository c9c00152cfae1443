#include "platform/linux/linux_drives.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>

#include "platform/linux/volume_probe.h"

namespace ripwarden::linux_platform {

namespace {

enum class Kind { kNone, kDevice, kImage, kFolder };

bool IsFolder(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

Kind KindOfPath(const std::string& path) {
  struct stat info {};
  if (!path.starts_with('/') || ::stat(path.c_str(), &info) != 0) return Kind::kNone;
  if (S_ISBLK(info.st_mode)) return Kind::kDevice;
  if (S_ISREG(info.st_mode)) return Kind::kImage;
  if (S_ISDIR(info.st_mode)) return Kind::kFolder;
  return Kind::kNone;
}

std::string Trimmed(const std::string& text) {
  constexpr const char* kBlanks = " \t\r\n";
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// sysfs attributes are short; more than a page is not an attribute.
std::string ReadAttribute(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  char buffer[4096];
  const ssize_t got = ::read(fd, buffer, sizeof buffer);
  ::close(fd);
  return got > 0 ? Trimmed(std::string(buffer, static_cast<std::size_t>(got))) : std::string();
}

std::string FolderName(std::string path) {
  while (path.size() > 1 && path.ends_with('/')) path.pop_back();
  return path.substr(path.rfind('/') + 1);
}

std::optional<VolumeInfo> QueryOpticalDrive(const std::string& device) {
  const int fd = ::open(device.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::optional<VolumeInfo> volume;
  // An open tray, an empty drive or a disc still spinning up is no disc yet.
  if (::ioctl(fd, CDROM_DRIVE_STATUS, CDSL_CURRENT) == CDS_DISC_OK) volume = ProbeVolume(fd);
  ::close(fd);
  return volume;
}

std::optional<VolumeInfo> QueryImage(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::optional<VolumeInfo> volume = ProbeVolume(fd);
  ::close(fd);
  return volume;
}

// sr2 before sr10.
bool ComesBefore(const std::string& a, const std::string& b) {
  return a.size() != b.size() ? a.size() < b.size() : a < b;
}

}  // namespace

bool IsOpticalDriveName(const std::string& source) {
  return source.size() > 2 && source.starts_with("sr") &&
         std::all_of(source.begin() + 2, source.end(), [](char c) { return c >= '0' && c <= '9'; });
}

LinuxDrives::LinuxDrives(std::string sysfs_root, std::string device_root)
    : sysfs_root_(std::move(sysfs_root)), device_root_(std::move(device_root)) {}

std::string LinuxDrives::DevicePath(const std::string& source) const {
  if (IsOpticalDriveName(source)) return device_root_ + "/" + source;
  return KindOfPath(source) == Kind::kDevice ? source : std::string();
}

std::optional<VolumeInfo> LinuxDrives::QueryVolume(const std::string& source) {
  if (IsOpticalDriveName(source)) return QueryOpticalDrive(DevicePath(source));
  switch (KindOfPath(source)) {
    case Kind::kDevice:
      return QueryOpticalDrive(source);
    case Kind::kImage:
      return QueryImage(source);
    case Kind::kFolder:
      if (IsFolder(source + "/VIDEO_TS") || IsFolder(source + "/video_ts")) {
        return VolumeInfo{"folder", FolderName(source)};
      }
      return std::nullopt;
    case Kind::kNone:
      break;
  }
  return std::nullopt;
}

std::vector<std::string> LinuxDrives::ListDrives() {
  const std::string block_folder = sysfs_root_ + "/class/block";
  std::vector<std::string> names;
  if (DIR* folder = ::opendir(block_folder.c_str())) {
    while (const dirent* entry = ::readdir(folder)) {
      const std::string name = entry->d_name;
      // SCSI peripheral type 5 is a CD/DVD drive.
      if (IsOpticalDriveName(name) && ReadAttribute(block_folder + "/" + name + "/device/type") == "5") {
        names.push_back(name);
      }
    }
    ::closedir(folder);
  }
  std::sort(names.begin(), names.end(), ComesBefore);
  std::vector<std::string> entries;
  for (const std::string& name : names) {
    std::string entry = name + ":";
    if (const std::optional<VolumeInfo> volume = QueryVolume(name); volume && !volume->label.empty()) {
      entry += " " + volume->label;
    }
    const std::string model = ReadAttribute(block_folder + "/" + name + "/device/model");
    if (!model.empty()) entry += " (" + model + ")";
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::string LinuxDrives::EncoderInputPath(const std::string& source) {
  if (IsOpticalDriveName(source)) return DevicePath(source);
  return source.starts_with('/') ? source : std::string();
}

void LinuxDrives::SendTrayRequest(const std::string& source, unsigned long request) {
  const std::string device = DevicePath(source);
  if (device.empty()) return;
  const int fd = ::open(device.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  ::ioctl(fd, request, 0);
  ::close(fd);
}

void LinuxDrives::EjectDrive(const std::string& source) { SendTrayRequest(source, CDROMEJECT); }

void LinuxDrives::LoadDrive(const std::string& source) { SendTrayRequest(source, CDROMCLOSETRAY); }

}  // namespace ripwarden::linux_platform
