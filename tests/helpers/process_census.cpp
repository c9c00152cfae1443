#include "helpers/process_census.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "temp_folder.h"

namespace ripwarden::testing {

namespace {

std::vector<pid_t> Children(bool zombies_only) {
  std::vector<pid_t> children;
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", ignored)) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    // "pid (command) state ppid ...": the command may hold spaces and parentheses.
    const std::string stat = ReadFileBytes(entry.path().string() + "/stat");
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 4 >= stat.size()) continue;
    const char state = stat[close + 2];
    const pid_t parent = static_cast<pid_t>(std::atoi(stat.c_str() + close + 4));
    if (parent == ::getpid() && (!zombies_only || state == 'Z')) children.push_back(std::atoi(name.c_str()));
  }
  return children;
}

}  // namespace

int OpenDescriptorCount() {
  int count = 0;
  std::error_code ignored;
  for (auto it = std::filesystem::directory_iterator("/proc/self/fd", ignored);
       it != std::filesystem::directory_iterator(); it.increment(ignored)) {
    ++count;
  }
  return count - 1;  // the listing's own descriptor
}

std::vector<pid_t> ChildProcesses() { return Children(false); }

std::vector<pid_t> ZombieChildren() { return Children(true); }

std::size_t PeakResidentBytes() {
  const std::string status = ReadFileBytes("/proc/self/status");
  const std::size_t at = status.find("VmHWM:");
  return at == std::string::npos ? 0 : std::strtoull(status.c_str() + at + 6, nullptr, 10) * 1024;
}

void ResetPeakResidentBytes() {
  // "5" resets the peak to what is resident now.
  std::ofstream("/proc/self/clear_refs") << "5";
}

}  // namespace ripwarden::testing
