#pragma once

#include <string>

#include "platform/drives.h"

namespace ripwarden::linux_platform {

// Sources on Linux. An optical drive is named by its kernel name ("sr0",
// device /dev/sr0); it holds a readable disc when the drive reports a disc
// ready and libblkid finds a file system on it. An absolute path names a disc
// image file (probed the same way), a block device, or a folder holding a
// copied disc: a folder counts when it has a subfolder VIDEO_TS or video_ts
// (the two spellings the DVD reading library looks for); it reports the file
// system "folder" and its own name as the label.
class LinuxDrives final : public Drives {
 public:
  // The roots are replaceable for tests.
  explicit LinuxDrives(std::string sysfs_root = "/sys", std::string device_root = "/dev");

  std::optional<VolumeInfo> QueryVolume(const std::string& source) override;
  // Optical drives are the block devices of SCSI type 5 in sysfs. An entry
  // reads "sr0: <label> (<model>)", label and model left out when unknown.
  std::vector<std::string> ListDrives() override;
  std::string EncoderInputPath(const std::string& source) override;
  void EjectDrive(const std::string& source) override;
  void LoadDrive(const std::string& source) override;

 private:
  // The device of an optical drive source, or empty when source names none.
  std::string DevicePath(const std::string& source) const;
  void SendTrayRequest(const std::string& source, unsigned long request);

  std::string sysfs_root_;
  std::string device_root_;
};

// True for a kernel name of an optical drive: "sr" followed by digits.
bool IsOpticalDriveName(const std::string& source);

}  // namespace ripwarden::linux_platform
