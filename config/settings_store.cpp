#include "config/settings_store.h"

#include <utility>

namespace ripwarden {

SettingsStore::SettingsStore(Files& files, Charset charset, std::string path, std::string defaults_path)
    : files_(files),
      config_(files, charset),
      path_(std::move(path)),
      defaults_path_(std::move(defaults_path)) {}

std::string SettingsStore::ReadSetting(std::string_view group, std::string_view key) {
  if (!config_.OpenConfig(path_)) return {};
  config_.SelectGroup(group);
  return config_.ReadText(key, "0");
}

// Only when the user changes something: reading never writes. A file that is
// there but refused (read-only, a folder) is left as it is.
bool SettingsStore::StartAfresh() {
  if (defaults_path_.empty()) return false;
  const auto defaults_file = files_.OpenForReading(defaults_path_);
  const auto defaults = defaults_file ? defaults_file->ReadAll() : std::nullopt;
  if (!defaults || !IsConfigText(*defaults)) return false;
  if (const auto file = files_.Open(path_)) {
    const auto old = file->ReadAll();
    return old && !IsConfigText(*old) && file->ReplaceContent(*defaults);
  }
  return !files_.Stamp(path_) && files_.CreateFile(path_, *defaults);
}

void SettingsStore::WriteSetting(std::string_view group, std::string_view key, std::string_view value) {
  if (!config_.OpenConfig(path_)) {
    if (!(StartAfresh() && config_.OpenConfig(path_))) return;
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
  config_.CloseConfig();
}

void SettingsStore::Close() { config_.CloseConfig(); }

}  // namespace ripwarden
