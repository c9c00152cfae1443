#pragma once

#include <optional>
#include <set>
#include <string>

#include "platform/user_environment.h"

namespace ripwarden::testing {

class FakeUserEnvironment final : public UserEnvironment {
 public:
  std::string ProgramHome() override { return home; }
  std::string ShippedDefaultsFolder() override { return defaults; }
  std::string StateFolder() override { return state; }
  std::string VideosFolder() override { return videos; }
  bool IsRunnable(const std::string& path) override { return runnable.contains(path); }
  std::optional<std::string> FindOnSearchPath(const std::string& name) override {
    if (name != "HandBrakeCLI" || found_encoder.empty()) return std::nullopt;
    return found_encoder;
  }

  std::string home = "/home/me/.config/ripwarden";
  std::string defaults = "/usr/share/ripwarden/Data/Config";
  std::string videos = "/home/me/Videos/";
  std::string state = "/state/ripwarden";  // empty: no records kept
  std::set<std::string> runnable = {"/usr/bin/HandBrakeCLI"};
  std::string found_encoder;  // empty: not on the search path
};

}  // namespace ripwarden::testing
