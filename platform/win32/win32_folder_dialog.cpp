#include "platform/win32/win32_folder_dialog.h"

#include <windows.h>
// After windows.h, which they need.
#include <objbase.h>
#include <shlobj.h>

#include "platform/win32/modal_scope.h"
#include "platform/win32/win32_text.h"

namespace ripwarden::win32_platform {
namespace {

int CALLBACK OnBrowseEvent(HWND dialog, UINT message, LPARAM, LPARAM folder) {
  if (message == BFFM_INITIALIZED && folder != 0) {
    ::SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, folder);
  }
  return 0;
}

}  // namespace

std::wstring InitialBrowseFolder(const std::string& folder) {
  std::wstring initial = WidePath(folder).substr(0, 259);
  if (initial.size() > 3 && initial.back() == L'\\') initial.pop_back();
  return initial;
}

std::string Win32FolderDialog::PickFolder(const std::string& title, const std::string& initial_folder) {
  // The browser is made of COM objects: this thread's apartment must exist.
  static const bool com_ready = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  (void)com_ready;
  HMODULE shell = ::LoadLibraryW(L"shell32.dll");
  if (shell == nullptr) return {};
  using BrowseCall = PIDLIST_ABSOLUTE(WINAPI*)(LPBROWSEINFOW);
  using PathCall = BOOL(WINAPI*)(PCIDLIST_ABSOLUTE, LPWSTR);
  const auto browse =
      reinterpret_cast<BrowseCall>(reinterpret_cast<void*>(::GetProcAddress(shell, "SHBrowseForFolderW")));
  const auto path_of =
      reinterpret_cast<PathCall>(reinterpret_cast<void*>(::GetProcAddress(shell, "SHGetPathFromIDListW")));
  std::string chosen;
  if (browse != nullptr && path_of != nullptr) {
    const std::wstring initial = InitialBrowseFolder(initial_folder);
    const std::wstring caption = Wide(title);
    wchar_t display_name[MAX_PATH] = {};
    const ModalScope modal;
    BROWSEINFOW info{};
    info.hwndOwner = modal.owner();
    info.pszDisplayName = display_name;
    info.lpszTitle = caption.c_str();
    info.ulFlags = BIF_NEWDIALOGSTYLE;
    info.lpfn = &OnBrowseEvent;
    info.lParam = initial.empty() ? 0 : reinterpret_cast<LPARAM>(initial.c_str());
    if (PIDLIST_ABSOLUTE item = browse(&info)) {
      wchar_t path[MAX_PATH] = {};
      if (path_of(item, path)) chosen = Utf8(path);
      ::CoTaskMemFree(item);
    }
  }
  ::FreeLibrary(shell);
  if (!chosen.empty() && chosen.back() != '\\') chosen += '\\';
  return chosen;
}

}  // namespace ripwarden::win32_platform
