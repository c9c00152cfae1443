#pragma once

#include "platform/path_rules.h"

namespace ripwarden::win32_platform {

// Windows paths: "D:" names a drive, "C:\Discs\a.iso" or "\\server\share\x"
// an image or folder; both separators are accepted, "\" is written.
class Win32PathRules final : public PathRules {
 public:
  bool IsPathSource(std::string_view source) const override;
  std::string JoinPath(std::string_view folder, std::string_view name) const override;
  std::string StoredFolder(std::string_view folder) const override;
  std::string ChooserFolder(std::string_view folder) const override;
};

}  // namespace ripwarden::win32_platform
