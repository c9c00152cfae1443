#include "platform/linux/linux_working_directory.h"

#include <unistd.h>

namespace ripwarden::linux_platform {

bool LinuxWorkingDirectory::SetWorkingDirectory(const std::string& path) {
  return !path.empty() && ::chdir(path.c_str()) == 0;
}

}  // namespace ripwarden::linux_platform
