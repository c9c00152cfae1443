#pragma once

#include <string>

namespace ripwarden::win32_platform {

// Where the program's data lives on Windows. The installation folder (under
// Program Files) is not writable for a standard user, so it keeps only the
// shipped defaults; each user's own Data\Config goes under %APPDATA%.

// The folder that holds Data\Config: %RIPWARDEN_HOME% when set, else
// %APPDATA%\Ripwarden.
std::string ResolveHome();

// Where the history of rips and the encoder's logs go: %RIPWARDEN_HOME%\State
// when set, else %LOCALAPPDATA%\Ripwarden\State.
std::string ResolveStateFolder();

// The shipped defaults: Data\Config in the running program's own folder.
std::string ShippedDefaultsFolder();

// Gives a new user the default settings and presets: copies the files of
// defaults_folder into home\Data\Config unless a settings file is there.
// True when a fresh copy was made.
bool InstallDefaults(const std::string& home, const std::string& defaults_folder);

// The user's videos folder, ending in "\"; empty when the system names none.
std::string VideosFolder();

}  // namespace ripwarden::win32_platform
