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
  // defaults_path names the shipped settings, from which a lost file is made
  // again; without it a lost file stays lost.
  SettingsStore(Files& files, Charset charset, std::string path = kSettingsPath,
                std::string defaults_path = {});

  // The trimmed value; "0" when the key or its group is missing, the empty
  // text when the file is missing, unreadable or no text at all. Leaves the
  // file open.
  std::string ReadSetting(std::string_view group, std::string_view key);
  // Stores one value and rewrites the file. A file that is missing (with its
  // folders) or holds no text is first made again from the shipped settings;
  // the value is dropped when that cannot be done or the file cannot be
  // written.
  void WriteSetting(std::string_view group, std::string_view key, std::string_view value);
  // Closes the file left open by the last read (at shutdown).
  void Close();

 private:
  bool StartAfresh();

  Files& files_;
  ConfigFile config_;
  std::string path_;
  std::string defaults_path_;
};

}  // namespace ripwarden
