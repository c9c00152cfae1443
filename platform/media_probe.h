#pragma once

#include <optional>
#include <string>

namespace ripwarden {

// Reads what a media file says of itself.
class MediaProbe {
 public:
  virtual ~MediaProbe() = default;

  // The playing time in seconds of a whole media file. Nothing when the file
  // cannot be read as media or gives no duration: an MP4 cut off before its
  // index, for one.
  virtual std::optional<double> MediaDuration(const std::string& path) = 0;
};

}  // namespace ripwarden
