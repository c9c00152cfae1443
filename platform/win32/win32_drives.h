#pragma once

#include <string>

#include "platform/drives.h"

namespace ripwarden::win32_platform {

// Sources on Windows. A drive is named by its letter as the settings store
// it ("D", a colon after it also accepted); it holds a readable disc when
// GetVolumeInformationW reports a file system for its root. Image files are
// no source of their own: Windows mounts an .iso file as a drive. A full path
// ("C:\..." or "\\server\share\...") names a folder holding a copied disc
// (a subfolder VIDEO_TS, in any case, as Windows names are); it reports the
// file system "folder" and its own name as the label.
class Win32Drives final : public Drives {
 public:
  std::optional<VolumeInfo> QueryVolume(const std::string& source) override;
  // The CD and DVD drives (DRIVE_CDROM), in letter order. An entry reads
  // "D: <label>", the label left out when there is none or no disc.
  std::vector<std::string> ListDrives() override;
  // A drive's VIDEO_TS folder ("D:\VIDEO_TS"), or the folder itself.
  std::string EncoderInputPath(const std::string& source) override;
  // IOCTL_STORAGE_EJECT_MEDIA and IOCTL_STORAGE_LOAD_MEDIA on \\.\D:.
  void EjectDrive(const std::string& source) override;
  void LoadDrive(const std::string& source) override;
};

// The upper-case letter of a drive source, or 0 when source names no drive.
char DriveLetter(const std::string& source);

}  // namespace ripwarden::win32_platform
