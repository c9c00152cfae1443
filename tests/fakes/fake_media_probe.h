#pragma once

#include <map>
#include <optional>
#include <string>

#include "platform/media_probe.h"

namespace ripwarden::testing {

class FakeMediaProbe final : public MediaProbe {
 public:
  std::optional<double> MediaDuration(const std::string& path) override {
    const auto found = durations.find(path);
    if (found == durations.end()) return std::nullopt;
    return found->second;
  }
  std::map<std::string, double> durations;  // files that read as whole media
};

}  // namespace ripwarden::testing
