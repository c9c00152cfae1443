#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "config/config_file.h"
#include "config/setting_keys.h"
#include "platform/path_rules.h"

namespace ripwarden {

// Path of the settings file, relative to the working directory set at start-up.
inline constexpr const char* kSettingsPath = "Data/Config/Settings.cfg";

struct SettingValue {
  SettingKey setting;
  std::string value;
};

enum class SettingWrite {
  kStored,
  // The file (or, for a missing one, its folder) refuses to be written.
  kNotWritable,
  // Something is at the path that is no settings text: it is left as it is.
  kNotReadable,
};

// The settings as the user sees them (the settings window). A settings file
// that has to be made again must hold these, not the shipped values.
class ShownSettings {
 public:
  virtual ~ShownSettings() = default;
  virtual std::vector<SettingValue> ShownValues() = 0;
};

// The user's settings, read from the file at the moment of use and written the
// moment they change. Nothing is cached between calls.
class SettingsStore {
 public:
  // defaults_path names the shipped settings, from which a lost file is made
  // again; without it a lost file stays lost.
  SettingsStore(Files& files, Charset charset, std::string path = kSettingsPath,
                std::string defaults_path = {});

  // The trimmed value; `missing` (the setting's own) when the key or its
  // group is missing, the empty text when the file is missing, unreadable or
  // no text at all. Leaves the file open.
  std::string ReadSetting(std::string_view group, std::string_view key, std::string_view missing = "0");
  std::string ReadSetting(const SettingKey& setting) {
    return ReadSetting(setting.group, setting.key, setting.missing);
  }
  // Stores one value and rewrites the file. A file that is missing (with its
  // folders) is first made again from the shipped settings and the values
  // shown to the user; the value is dropped when that cannot be done, the file
  // cannot be written, or what is there cannot be read.
  SettingWrite WriteSetting(std::string_view group, std::string_view key, std::string_view value);
  SettingWrite WriteSetting(const SettingKey& setting, std::string_view value) {
    return WriteSetting(setting.group, setting.key, value);
  }
  // Closes the file left open by the last read (at shutdown).
  void Close();
  const std::string& path() const { return path_; }
  // The file as the user would look for it, the working directory being home.
  std::string Location(const PathRules& paths, const std::string& home) const;
  // Where the shown values come from; null for none.
  void SetShownSettings(ShownSettings* shown) { shown_ = shown; }

 private:
  bool MakeAgain();

  Files& files_;
  ConfigFile config_;
  std::string path_;
  std::string defaults_path_;
  ShownSettings* shown_ = nullptr;
};

}  // namespace ripwarden
