#include "platform/win32/modal_scope.h"

namespace ripwarden::win32_platform {
namespace {

struct Search {
  HWND foreground;
  std::vector<HWND>* disabled;
};

BOOL CALLBACK DisableOne(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  if (window != search->foreground && ::IsWindowVisible(window) && ::IsWindowEnabled(window)) {
    ::EnableWindow(window, FALSE);
    search->disabled->push_back(window);
  }
  return TRUE;
}

}  // namespace

ModalScope::ModalScope() {
  HWND foreground = ::GetForegroundWindow();
  DWORD process = 0;
  if (foreground != nullptr && ::GetWindowThreadProcessId(foreground, &process) != 0 &&
      process == ::GetCurrentProcessId()) {
    owner_ = foreground;
  }
  Search search{foreground, &disabled_};
  ::EnumThreadWindows(::GetCurrentThreadId(), &DisableOne, reinterpret_cast<LPARAM>(&search));
}

ModalScope::~ModalScope() {
  for (HWND window : disabled_) {
    if (::IsWindow(window)) ::EnableWindow(window, TRUE);
  }
}

}  // namespace ripwarden::win32_platform
