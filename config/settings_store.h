#pragma once

#include <string>
#include <string_view>

#include "config/config_file.h"

namespace ripwarden {

// Path of the settings file, relative to the working directory set at start-up.
inline constexpr const char* kSettingsPath = "Data/Config/Settings.cfg";

// The user's settings, read from the file at the moment of use and written the
// moment they change. Nothing is cached between calls.
class SettingsStore {
 public:
  SettingsStore(Files& files, Charset charset, std::string path = kSettingsPath);

  // The trimmed value; "0" when the key or its group is missing, the empty
  // text when the file is missing or unreadable. Leaves the file open.
  std::string ReadSetting(std::string_view group, std::string_view key);
  // Stores one value and rewrites the file; dropped when the file is missing
  // or cannot be written.
  void WriteSetting(std::string_view group, std::string_view key, std::string_view value);
  // Closes the file left open by the last read (at shutdown).
  void Close();

 private:
  ConfigFile config_;
  std::string path_;
};

}  // namespace ripwarden
