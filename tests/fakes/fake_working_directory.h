#pragma once

#include <string>
#include <vector>

#include "platform/working_directory.h"

namespace ripwarden::testing {

class FakeWorkingDirectory final : public WorkingDirectory {
 public:
  bool SetWorkingDirectory(const std::string& path) override {
    requested.push_back(path);
    if (!accept) return false;
    current = path;
    return true;
  }

  bool accept = true;
  std::string current;
  std::vector<std::string> requested;
};

}  // namespace ripwarden::testing
