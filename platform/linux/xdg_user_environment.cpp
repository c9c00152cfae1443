#include "platform/linux/xdg_user_environment.h"

#include <unistd.h>

#include <cstdlib>

#include "platform/linux/program_search.h"
#include "platform/linux/user_home.h"

namespace ripwarden::linux_platform {

XdgUserEnvironment::XdgUserEnvironment(const std::vector<std::string>& defaults_fallbacks)
    : defaults_(linux_platform::ShippedDefaultsFolder(defaults_fallbacks)) {}

std::string XdgUserEnvironment::ProgramHome() { return ResolveHome(); }

std::string XdgUserEnvironment::StateFolder() { return ResolveStateFolder(); }

std::string XdgUserEnvironment::VideosFolder() { return linux_platform::VideosFolder(); }

bool XdgUserEnvironment::IsRunnable(const std::string& path) { return ::access(path.c_str(), X_OK) == 0; }

// From the root folder: the program's own working folder is no place to look.
std::optional<std::string> XdgUserEnvironment::FindOnSearchPath(const std::string& name) {
  return FindProgram(name, std::getenv("PATH"), "/");
}

}  // namespace ripwarden::linux_platform
