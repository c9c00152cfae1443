#include "platform/win32/win32_message_boxes.h"

#include <windows.h>

#include "platform/win32/modal_scope.h"
#include "platform/win32/win32_text.h"

namespace ripwarden::win32_platform {

std::wstring BoxText(const std::string& text) {
  const std::wstring wide = Wide(text);
  std::wstring shown;
  shown.reserve(wide.size() + 8);
  for (std::size_t i = 0; i < wide.size(); ++i) {
    shown += wide[i];
    if (wide[i] == L'\r' && (i + 1 == wide.size() || wide[i + 1] != L'\n')) shown += L'\n';
  }
  return shown;
}

void Win32MessageBoxes::ShowMessage(const std::string& title, const std::string& text) {
  const ModalScope modal;
  ::MessageBoxW(modal.owner(), BoxText(text).c_str(), Wide(title).c_str(), MB_OK);
}

bool Win32MessageBoxes::AskYesNo(const std::string& title, const std::string& text) {
  const ModalScope modal;
  return ::MessageBoxW(modal.owner(), BoxText(text).c_str(), Wide(title).c_str(), MB_YESNO) == IDYES;
}

}  // namespace ripwarden::win32_platform
