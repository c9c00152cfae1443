// The lists: drop-down lists and list boxes, each item by its index.
#include "platform/win32/win32_window_system.h"

#include "platform/win32/win32_text.h"

namespace ripwarden::win32_platform {

bool Win32WindowSystem::IsList(const Control* control) const {
  return control != nullptr &&
         (control->kind == ControlKind::kDropDownList || control->kind == ControlKind::kListBox);
}

void Win32WindowSystem::ClearItems(int control_id) {
  const Control* control = Find(control_id);
  if (!IsList(control)) return;
  const bool drop_down = control->kind == ControlKind::kDropDownList;
  ::SendMessageW(control->handle, drop_down ? CB_RESETCONTENT : LB_RESETCONTENT, 0, 0);
}

void Win32WindowSystem::AppendItem(int control_id, const std::string& text) {
  const Control* control = Find(control_id);
  if (!IsList(control)) return;
  const std::wstring item = Wide(text);
  const bool drop_down = control->kind == ControlKind::kDropDownList;
  ::SendMessageW(control->handle, drop_down ? CB_ADDSTRING : LB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(item.c_str()));
}

void Win32WindowSystem::InsertItemAtTop(int control_id, const std::string& text) {
  const Control* control = Find(control_id);
  if (!IsList(control)) return;
  const std::wstring item = Wide(text);
  const bool drop_down = control->kind == ControlKind::kDropDownList;
  ::SendMessageW(control->handle, drop_down ? CB_INSERTSTRING : LB_INSERTSTRING, 0,
                 reinterpret_cast<LPARAM>(item.c_str()));
}

void Win32WindowSystem::RemoveItem(int control_id, int index) {
  const Control* control = Find(control_id);
  if (!IsList(control) || index < 0 || index >= ItemCount(control_id)) return;
  const bool drop_down = control->kind == ControlKind::kDropDownList;
  ::SendMessageW(control->handle, drop_down ? CB_DELETESTRING : LB_DELETESTRING, index, 0);
}

int Win32WindowSystem::ItemCount(int control_id) {
  const Control* control = Find(control_id);
  if (!IsList(control)) return 0;
  const bool drop_down = control->kind == ControlKind::kDropDownList;
  const LRESULT count = ::SendMessageW(control->handle, drop_down ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
  return count > 0 ? static_cast<int>(count) : 0;
}

std::string Win32WindowSystem::ItemText(int control_id, int index) {
  const Control* control = Find(control_id);
  if (!IsList(control) || index < 0) return {};
  const bool drop_down = control->kind == ControlKind::kDropDownList;
  const LRESULT length =
      ::SendMessageW(control->handle, drop_down ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, index, 0);
  if (length < 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT got = ::SendMessageW(control->handle, drop_down ? CB_GETLBTEXT : LB_GETTEXT, index,
                                     reinterpret_cast<LPARAM>(text.data()));
  text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return Utf8(text);
}

void Win32WindowSystem::SelectItem(int control_id, int index) {
  const Control* control = Find(control_id);
  if (!IsList(control)) return;
  if (index < 0 || index >= ItemCount(control_id)) index = -1;
  const bool drop_down = control->kind == ControlKind::kDropDownList;
  ::SendMessageW(control->handle, drop_down ? CB_SETCURSEL : LB_SETCURSEL, index, 0);
}

int Win32WindowSystem::SelectedItem(int control_id) {
  const Control* control = Find(control_id);
  if (!IsList(control)) return -1;
  const bool drop_down = control->kind == ControlKind::kDropDownList;
  const LRESULT index = ::SendMessageW(control->handle, drop_down ? CB_GETCURSEL : LB_GETCURSEL, 0, 0);
  return index >= 0 ? static_cast<int>(index) : -1;
}

}  // namespace ripwarden::win32_platform
