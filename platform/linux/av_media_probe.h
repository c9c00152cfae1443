#pragma once

#include "platform/media_probe.h"

namespace ripwarden::linux_platform {

// Media files read with FFmpeg's libavformat: the container's own header and
// index, without decoding anything.
class AvMediaProbe final : public MediaProbe {
 public:
  AvMediaProbe();
  std::optional<double> MediaDuration(const std::string& path) override;
};

}  // namespace ripwarden::linux_platform
