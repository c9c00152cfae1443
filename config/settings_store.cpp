#include "config/settings_store.h"

#include <utility>

namespace ripwarden {

SettingsStore::SettingsStore(Files& files, Charset charset, std::string path)
    : config_(files, charset), path_(std::move(path)) {}

std::string SettingsStore::ReadSetting(std::string_view group, std::string_view key) {
  if (!config_.OpenConfig(path_)) return {};
  config_.SelectGroup(group);
  return config_.ReadText(key, "0");
}

void SettingsStore::WriteSetting(std::string_view group, std::string_view key, std::string_view value) {
  if (!config_.OpenConfig(path_)) return;
  config_.SelectGroup(group);
  config_.WriteText(key, value);
  config_.CloseConfig();
}

void SettingsStore::Close() { config_.CloseConfig(); }

}  // namespace ripwarden
