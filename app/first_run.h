#pragma once

#include <string>

#include "config/settings_store.h"
#include "platform/files.h"
#include "platform/path_rules.h"
#include "platform/user_environment.h"

namespace ripwarden {

// What a new user gets on the first start: the shipped settings and presets,
// ripping into their videos folder with the encoder wherever it is installed.
class FirstRun {
 public:
  FirstRun(Files& files, const PathRules& paths, UserEnvironment& user);

  // Copies the shipped files into home's Data/Config unless a settings file
  // is there; the user's own presets stay. True when a fresh copy was made.
  bool InstallDefaults(const std::string& home);
  // Fills in what the shipped settings leave to this machine (the rips'
  // folder, the encoder's place). Called only after a fresh copy was made.
  void CompleteSettings(SettingsStore& settings);

 private:
  Files& files_;
  const PathRules& paths_;
  UserEnvironment& user_;
};

}  // namespace ripwarden
