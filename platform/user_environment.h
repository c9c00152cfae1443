#pragma once

#include <optional>
#include <string>

namespace ripwarden {

// Where this user's things are and how programs are found, as the desktop
// sets them up: what a first start needs to give a new user working settings.
class UserEnvironment {
 public:
  virtual ~UserEnvironment() = default;

  // The folder that holds the program's Data/Config.
  virtual std::string ProgramHome() = 0;
  // The folder of the shipped Settings.cfg and Presets.cfg.
  virtual std::string ShippedDefaultsFolder() = 0;
  // Where the history of rips and the encoder's logs are kept; empty for
  // nowhere.
  virtual std::string StateFolder() = 0;
  // The user's videos folder, in the form the settings keep.
  virtual std::string VideosFolder() = 0;
  // True when the path names a program this user may run.
  virtual bool IsRunnable(const std::string& path) = 0;
  // Where the program search path holds a program of this name; nothing when
  // none of its folders does.
  virtual std::optional<std::string> FindOnSearchPath(const std::string& name) = 0;
};

}  // namespace ripwarden
