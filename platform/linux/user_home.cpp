#include "platform/linux/user_home.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>

namespace ripwarden::linux_platform {

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string HomeFolder() { return Environment("HOME"); }

std::string ConfigHome() {
  const std::string config = Environment("XDG_CONFIG_HOME");
  // Relative values are to be ignored, as the base-directory rules say.
  return config.starts_with('/') ? config : HomeFolder() + "/.config";
}

std::optional<std::string> ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

}  // namespace

std::string ResolveHome() {
  const std::string chosen = Environment("RIPWARDEN_HOME");
  if (!chosen.empty()) return chosen;
  return ConfigHome() + "/ripwarden";
}

std::string ResolveStateFolder() {
  const std::string chosen = Environment("RIPWARDEN_HOME");
  if (!chosen.empty()) return chosen + "/State";
  const std::string state = Environment("XDG_STATE_HOME");
  return (state.starts_with('/') ? state : HomeFolder() + "/.local/state") + "/ripwarden";
}

SystemResult MakeFolders(const std::string& path) {
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string part = path.substr(0, slash);
    if (!part.empty() && ::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
      return SystemResult::Failed(std::strerror(errno));
    if (slash == std::string::npos) break;
  }
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return SystemResult::Failed(std::strerror(errno));
  // mkdir let it be because something was there: a file is not the folder asked for.
  if (!S_ISDIR(info.st_mode)) return SystemResult::Failed(std::strerror(EEXIST));
  return {};
}

std::string VideosFolder() {
  const std::string home = HomeFolder();
  const auto dirs = ReadWhole(ConfigHome() + "/user-dirs.dirs");
  if (dirs) {
    std::istringstream lines(*dirs);
    for (std::string line; std::getline(lines, line);) {
      if (!line.starts_with("XDG_VIDEOS_DIR=\"") || !line.ends_with('"')) continue;
      std::string value = line.substr(16, line.size() - 17);
      if (value.starts_with("$HOME")) value = home + value.substr(5);
      if (value.starts_with('/') && value != home && value != home + "/") return value + "/";
    }
  }
  return home + "/Videos/";
}

std::string ShippedDefaultsFolder(const std::vector<std::string>& fallbacks) {
  std::vector<std::string> candidates;
  // An installed tree carries its defaults beside bin/, whatever its prefix.
  char program[4096];
  const ssize_t length = ::readlink("/proc/self/exe", program, sizeof program - 1);
  if (length > 0) {
    const std::string path(program, static_cast<std::size_t>(length));
    const std::string bin = path.substr(0, path.rfind('/'));
    candidates.push_back(bin.substr(0, bin.rfind('/')) + "/share/ripwarden/Data/Config");
  }
  candidates.insert(candidates.end(), fallbacks.begin(), fallbacks.end());
  for (const std::string& folder : candidates) {
    if (::access((folder + "/Settings.cfg").c_str(), R_OK) == 0) return folder;
  }
  return fallbacks.empty() ? std::string() : fallbacks.back();
}

}  // namespace ripwarden::linux_platform
