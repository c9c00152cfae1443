#pragma once

#include "platform/working_directory.h"

namespace ripwarden::win32_platform {

class Win32WorkingDirectory final : public WorkingDirectory {
 public:
  bool SetWorkingDirectory(const std::string& path) override;
};

}  // namespace ripwarden::win32_platform
