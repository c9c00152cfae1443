#pragma once

#include <string>
#include <vector>

#include "platform/system_result.h"

namespace ripwarden::linux_platform {

// The folder that holds Data/Config: $RIPWARDEN_HOME when set, else
// $XDG_CONFIG_HOME/ripwarden, else ~/.config/ripwarden.
std::string ResolveHome();

// Where the history of rips and the encoder's logs are kept:
// $RIPWARDEN_HOME/State when that is set, else $XDG_STATE_HOME/ripwarden,
// else ~/.local/state/ripwarden.
std::string ResolveStateFolder();

// Where the shipped default files are: share/ripwarden/Data/Config beside
// the running program's bin/ folder, else the first of fallbacks that holds
// a Settings.cfg, else the last fallback.
std::string ShippedDefaultsFolder(const std::vector<std::string>& fallbacks);

// The user's videos folder, ending in "/": XDG_VIDEOS_DIR from
// ~/.config/user-dirs.dirs, else ~/Videos/.
std::string VideosFolder();

// Creates a folder and its parents; succeeds when it exists afterwards.
SystemResult MakeFolders(const std::string& path);

}  // namespace ripwarden::linux_platform
