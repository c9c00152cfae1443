#pragma once

#include "platform/working_directory.h"

namespace ripwarden::linux_platform {

class LinuxWorkingDirectory final : public WorkingDirectory {
 public:
  bool SetWorkingDirectory(const std::string& path) override;
};

}  // namespace ripwarden::linux_platform
