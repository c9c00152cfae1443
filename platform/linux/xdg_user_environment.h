#pragma once

#include <string>
#include <vector>

#include "platform/user_environment.h"

namespace ripwarden::linux_platform {

// The XDG folders of the user (user_home.h) and the PATH of the environment.
class XdgUserEnvironment final : public UserEnvironment {
 public:
  // defaults_fallbacks: where the shipped defaults may be when the program
  // does not run from an installed tree (ShippedDefaultsFolder in user_home.h).
  explicit XdgUserEnvironment(const std::vector<std::string>& defaults_fallbacks);

  std::string ProgramHome() override;
  std::string ShippedDefaultsFolder() override { return defaults_; }
  std::string StateFolder() override;
  std::string VideosFolder() override;
  bool IsRunnable(const std::string& path) override;
  std::optional<std::string> FindOnSearchPath(const std::string& name) override;

 private:
  std::string defaults_;
};

}  // namespace ripwarden::linux_platform
