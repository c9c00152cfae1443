#include "config/settings_store.h"

#include <utility>

namespace ripwarden {

SettingsStore::SettingsStore(Files& files, Charset charset, std::string path, std::string defaults_path)
    : files_(files),
      config_(files, charset),
      path_(std::move(path)),
      defaults_path_(std::move(defaults_path)) {}

std::string SettingsStore::ReadSetting(std::string_view group, std::string_view key,
                                       std::string_view missing) {
  if (!config_.OpenConfig(path_)) return {};
  config_.SelectGroup(group);
  return config_.ReadText(key, missing);
}

// Only when the user changes something: reading never writes.
bool SettingsStore::MakeAgain() {
  if (defaults_path_.empty()) return false;
  const auto defaults_file = files_.OpenForReading(defaults_path_);
  const auto defaults = defaults_file ? defaults_file->ReadAll() : std::nullopt;
  return defaults && IsConfigText(*defaults) && files_.CreateFile(path_, *defaults);
}

SettingWrite SettingsStore::WriteSetting(std::string_view group, std::string_view key,
                                         std::string_view value) {
  if (!config_.OpenConfig(path_)) {
    // What cannot be read may still be the user's settings in a form this
    // program does not know: replacing it would lose them for good.
    if (files_.Stamp(path_)) return SettingWrite::kNotReadable;
    if (!(MakeAgain() && config_.OpenConfig(path_))) return SettingWrite::kNotWritable;
    // What the user sees stays in force: a file lost under a running
    // program must not bring back the shipped destination and flags.
    if (shown_ != nullptr) {
      for (const SettingValue& shown : shown_->ShownValues()) {
        config_.SelectGroup(shown.setting.group);
        config_.WriteText(shown.setting.key, shown.value);
      }
    }
  }
  config_.SelectGroup(group);
  config_.WriteText(key, value);
  return config_.CloseConfig() ? SettingWrite::kStored : SettingWrite::kNotWritable;
}

std::string SettingsStore::Location(const PathRules& paths, const std::string& home) const {
  if (path_ != kSettingsPath) return path_;
  return paths.JoinPath(paths.JoinPath(paths.JoinPath(home, "Data"), "Config"), "Settings.cfg");
}

void SettingsStore::Close() { config_.CloseConfig(); }

}  // namespace ripwarden
