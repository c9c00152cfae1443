#pragma once

#include <string>

#include "platform/window_system.h"

namespace ripwarden::qt_platform {

class QtWindowSystem;

// Qt's folder chooser, in front of whichever of the program's windows is
// active.
class QtFolderDialog final : public FolderDialog {
 public:
  // windows may be null: the chooser then has no parent window.
  explicit QtFolderDialog(const QtWindowSystem* windows);

  // Waits for the user, running Qt's event loop meanwhile.
  std::string PickFolder(const std::string& title, const std::string& initial_folder) override;

 private:
  const QtWindowSystem* windows_;
};

}  // namespace ripwarden::qt_platform
