#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ripwarden {

// What a readable disc reports about itself.
struct VolumeInfo {
  std::string file_system;  // never empty, e.g. "udf", "iso9660"
  std::string label;        // empty for an unlabelled disc

  bool operator==(const VolumeInfo&) const = default;
};

// The source a rip reads from. A source is the text stored in the settings:
// the kernel name of an optical drive ("sr0"), or the absolute path of a disc
// image file or of a folder holding a disc's VIDEO_TS folder.
class Drives {
 public:
  virtual ~Drives() = default;

  // The volume of a readable disc in the source; nothing for an empty drive,
  // a source that does not exist or holds no file system, and any text that
  // names no source.
  virtual std::optional<VolumeInfo> QueryVolume(const std::string& source) = 0;

  // One entry per optical drive for the user to choose from. Each entry
  // starts with the source text followed by ":", then describes the drive.
  virtual std::vector<std::string> ListDrives() = 0;

  // The path that the encoder is given as its input for this source.
  virtual std::string EncoderInputPath(const std::string& source) = 0;

  // Open or close the drive's tray. Nothing happens for image files and
  // folders, and every failure is silent: the drive stays as it was.
  virtual void EjectDrive(const std::string& source) = 0;
  virtual void LoadDrive(const std::string& source) = 0;
};

}  // namespace ripwarden
