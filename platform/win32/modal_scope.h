#pragma once

#include <windows.h>

#include <vector>

namespace ripwarden::win32_platform {

// While a box or dialog of the program is open: its owner is the foreground
// window when that is the program's, and every other visible, enabled window
// of this thread is disabled, so that nothing but the box takes the user's
// input. Exactly those windows are enabled again at the end of the scope.
class ModalScope {
 public:
  ModalScope();
  ~ModalScope();
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;

  HWND owner() const { return owner_; }

 private:
  HWND owner_ = nullptr;
  std::vector<HWND> disabled_;
};

}  // namespace ripwarden::win32_platform
