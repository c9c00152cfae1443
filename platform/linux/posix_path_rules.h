#pragma once

#include "platform/path_rules.h"

namespace ripwarden::linux_platform {

// One "/" between folders; a path source is an absolute path.
class PosixPathRules final : public PathRules {
 public:
  bool IsPathSource(std::string_view source) const override;
  std::string JoinPath(std::string_view folder, std::string_view name) const override;
  std::string StoredFolder(std::string_view folder) const override;
  std::string ChooserFolder(std::string_view folder) const override;
};

}  // namespace ripwarden::linux_platform
