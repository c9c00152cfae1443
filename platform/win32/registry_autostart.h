#pragma once

#include <optional>
#include <string>

#include "platform/autostart.h"

namespace ripwarden::win32_platform {

// The value "Ripwarden" under HKEY_CURRENT_USER
// SOFTWARE\Microsoft\Windows\CurrentVersion\Run, holding the program's path
// unquoted and without arguments. Every failure is silent.
class RegistryAutostart final : public Autostart {
 public:
  // An empty program path means the running program's own.
  explicit RegistryAutostart(std::string program_path = {});

  void Register() override;
  void Unregister() override;

  // What the Run key holds for the program; nothing when it holds no value.
  static std::optional<std::string> RegisteredPath();

 private:
  std::string program_path_;
};

// The running program's full path (GetModuleFileNameW).
std::string RunningProgramPath();

}  // namespace ripwarden::win32_platform
