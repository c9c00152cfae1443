#pragma once

#include <string>

namespace ripwarden {

// The folder that relative paths of the program's own files start from.
class WorkingDirectory {
 public:
  virtual ~WorkingDirectory() = default;
  // False when the folder cannot be entered; the old one stays in force.
  virtual bool SetWorkingDirectory(const std::string& path) = 0;
};

}  // namespace ripwarden
