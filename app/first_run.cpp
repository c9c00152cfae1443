#include "app/first_run.h"

namespace ripwarden {

FirstRun::FirstRun(Files& files, const PathRules& paths, UserEnvironment& user)
    : files_(files), paths_(paths), user_(user) {}

bool FirstRun::InstallDefaults(const std::string& home) {
  const std::string folder = paths_.JoinPath(home, "Data/Config");
  const std::string settings = paths_.JoinPath(folder, "Settings.cfg");
  if (files_.Stamp(settings) || !files_.MakeFolders(folder)) return false;
  const std::string defaults = user_.ShippedDefaultsFolder();
  bool copied = false;
  for (const char* name : {"Presets.cfg", "Settings.cfg"}) {
    const std::string target = paths_.JoinPath(folder, name);
    if (files_.Stamp(target)) continue;  // the user's own presets stay
    const auto file = files_.OpenForReading(paths_.JoinPath(defaults, name));
    const auto content = file ? file->ReadAll() : std::nullopt;
    if (content && files_.CreateFile(target, *content)) copied = true;
  }
  return copied && files_.Stamp(settings).has_value();
}

void FirstRun::CompleteSettings(SettingsStore& settings) {
  if (settings.ReadSetting(setting::kDestination).empty()) {
    const std::string videos = user_.VideosFolder();
    files_.MakeFolders(videos);
    settings.WriteSetting(setting::kDestination, videos);
  }
  // An encoder installed somewhere else than Debian puts it (a local build
  // in /usr/local/bin, say) is found on the search path.
  if (!user_.IsRunnable(settings.ReadSetting(setting::kEncoderLocation))) {
    const auto found = user_.FindOnSearchPath("HandBrakeCLI");
    if (found) settings.WriteSetting(setting::kEncoderLocation, *found);
  }
}

}  // namespace ripwarden
