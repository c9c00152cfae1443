#include "platform/linux/program_search.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <string_view>

namespace ripwarden::linux_platform {

namespace {

// What a login shell uses when PATH is not set at all.
constexpr const char* kDefaultPath = "/usr/local/bin:/usr/bin:/bin";

std::string Complete(const std::string& path, const std::string& current_folder) {
  if (path.starts_with('/') || current_folder.empty()) return path;
  return current_folder + "/" + path;
}

bool IsExecutableFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::optional<std::string> FindProgram(const std::string& program, const char* path_variable,
                                       const std::string& current_folder) {
  if (program.empty()) return std::nullopt;
  if (program.find('/') != std::string::npos) return Complete(program, current_folder);
  std::string_view folders = path_variable != nullptr ? path_variable : kDefaultPath;
  while (true) {
    const std::size_t colon = folders.find(':');
    const std::string_view folder = folders.substr(0, colon);
    const std::string candidate =
        Complete((folder.empty() ? std::string(".") : std::string(folder)) + "/" + program, current_folder);
    if (IsExecutableFile(candidate)) return candidate;
    if (colon == std::string_view::npos) return std::nullopt;
    folders.remove_prefix(colon + 1);
  }
}

std::string CurrentFolder() {
  char buffer[PATH_MAX];
  if (::getcwd(buffer, sizeof buffer) == nullptr) return {};
  return buffer;
}

}  // namespace ripwarden::linux_platform
