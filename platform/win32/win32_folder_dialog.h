#pragma once

#include <string>

#include "platform/window_system.h"

namespace ripwarden::win32_platform {

// The shell's folder browser (SHBrowseForFolderW, looked up in shell32.dll)
// in its new style, opened on the initial folder. The chosen folder comes
// back ending in "\"; a cancel, or a choice with no file-system path, as the
// empty text.
class Win32FolderDialog final : public FolderDialog {
 public:
  std::string PickFolder(const std::string& title, const std::string& initial_folder) override;
};

// The folder the browser opens on: at most 259 characters, without the
// closing "\" except at a drive's root.
std::wstring InitialBrowseFolder(const std::string& folder);

}  // namespace ripwarden::win32_platform
