#pragma once

#include <string>

#include "platform/autostart.h"

namespace ripwarden::linux_platform {

// Autostart through the freedesktop.org autostart folder: a desktop entry in
// $XDG_CONFIG_HOME/autostart (default ~/.config/autostart).
class XdgAutostart final : public Autostart {
 public:
  // Empty arguments mean: the folder from the environment, and the running
  // program's own path.
  explicit XdgAutostart(std::string autostart_folder = {}, std::string program_path = {});

  void Register() override;
  void Unregister() override;

  const std::string& EntryPath() const { return entry_path_; }

 private:
  std::string folder_;
  std::string entry_path_;
  std::string program_path_;
};

// The Exec= value that starts program with no arguments, quoted and escaped
// as desktop entries require.
std::string DesktopExecValue(const std::string& program);

// The folder that holds autostart entries for this user.
std::string DefaultAutostartFolder();

// The running program's full path.
std::string RunningProgramPath();

}  // namespace ripwarden::linux_platform
