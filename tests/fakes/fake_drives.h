#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/drives.h"

namespace ripwarden::testing {

// Sources that hold whatever the test put in. Drive names ("sr0", or "D"
// as Windows names its drives) and
// absolute paths are told apart as on Linux; only the media put in are
// readable. Ejecting a drive takes its disc out.
class FakeDrives final : public Drives {
 public:
  // An optical drive that ListDrives shows.
  void AddDrive(const std::string& name, const std::string& model = {});
  // The source now reads as a disc (or image, or disc folder) with this volume.
  void InsertDisc(const std::string& source, VolumeInfo volume);
  void RemoveDisc(const std::string& source);

  std::optional<VolumeInfo> QueryVolume(const std::string& source) override;
  std::vector<std::string> ListDrives() override;
  std::string EncoderInputPath(const std::string& source) override;
  void EjectDrive(const std::string& source) override;
  void LoadDrive(const std::string& source) override;

  int volume_queries = 0;
  std::vector<std::string> ejected;  // sources passed to EjectDrive, in order
  std::vector<std::string> loaded;

 private:
  bool IsLetterDrive(const std::string& source) const;
  std::map<std::string, std::string> drives_;  // name to model
  std::map<std::string, VolumeInfo> media_;
};

}  // namespace ripwarden::testing
