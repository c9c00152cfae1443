#include "platform/win32/win32_window_system.h"

#include <commctrl.h>

#include <algorithm>

#include "platform/win32/win32_text.h"

namespace ripwarden::win32_platform {
namespace {

constexpr wchar_t kWindowClass[] = L"RipwardenWindow";
constexpr int kProgressMaximum = 10000;
constexpr POINT kDefaultWindowCorner{449, 185};
// Room for the items of an opened drop-down list, below its closed box.
constexpr int kDropDownRoom = 200;

// Newer systems only: looked up, so that the program still starts where
// they are missing.
template <typename Function>
Function User32(const char* name) {
  HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  if (user32 == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(user32, name)));
}

UINT SystemDpi() {
  if (const auto for_system = User32<UINT(WINAPI*)()>("GetDpiForSystem")) return for_system();
  HDC screen = ::GetDC(nullptr);
  const int dpi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen != nullptr) ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

RECT OuterRect(int client_width, int client_height, DWORD style, DWORD ex_style, UINT dpi) {
  RECT rect{0, 0, client_width, client_height};
  using AdjustForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  if (const auto adjust = User32<AdjustForDpi>("AdjustWindowRectExForDpi")) {
    adjust(&rect, style, FALSE, ex_style, dpi);
  } else {
    ::AdjustWindowRectEx(&rect, style, FALSE, ex_style);
  }
  return rect;
}

std::string WindowText(HWND handle) {
  const int length = ::GetWindowTextLengthW(handle);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int got = ::GetWindowTextW(handle, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(std::max(got, 0)));
  return Utf8(text);
}

struct ControlClass {
  const wchar_t* name;
  DWORD style;
  DWORD ex_style;
};

ControlClass ClassOf(ControlKind kind) {
  // Texts from outside (a disc's label, a path) may hold "&": never a mnemonic.
  switch (kind) {
    case ControlKind::kLabel:
      return {L"Static", SS_LEFT | SS_NOPREFIX, 0};
    case ControlKind::kCentredLabel:
      return {L"Static", SS_CENTER | SS_NOPREFIX, 0};
    case ControlKind::kButton:
      return {L"Button", BS_PUSHBUTTON | WS_TABSTOP, 0};
    case ControlKind::kCheckBox:
      return {L"Button", BS_AUTOCHECKBOX | WS_TABSTOP, 0};
    case ControlKind::kRadioButton:
      return {L"Button", BS_AUTORADIOBUTTON | WS_TABSTOP, 0};
    case ControlKind::kNumberField:
      return {L"Edit", ES_LEFT | ES_AUTOHSCROLL | ES_NUMBER | WS_TABSTOP, WS_EX_CLIENTEDGE};
    case ControlKind::kTextField:
      return {L"Edit", ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE};
    case ControlKind::kDropDownList:
      return {L"ComboBox", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE};
    case ControlKind::kReadOnlyField:
      return {L"Edit", ES_LEFT | ES_AUTOHSCROLL | ES_READONLY | WS_TABSTOP, WS_EX_CLIENTEDGE};
    case ControlKind::kTabPanel:
      return {WC_TABCONTROLW, WS_TABSTOP, 0};
    case ControlKind::kProgressBar:
      return {PROGRESS_CLASSW, PBS_SMOOTH, 0};
    case ControlKind::kListBox:
      // The horizontal bar's style is set, but no width is ever given to
      // scroll over: a long line is cut at the right edge.
      return {L"ListBox", LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE};
  }
  return {L"Static", SS_LEFT | SS_NOPREFIX, 0};
}

}  // namespace

Win32WindowSystem::Win32WindowSystem(HINSTANCE instance)
    : instance_(instance != nullptr ? instance : ::GetModuleHandleW(nullptr)) {
  icon_ = static_cast<HICON>(
      ::LoadImageW(instance_, MAKEINTRESOURCEW(1), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
  small_icon_ = static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                                ::GetSystemMetrics(SM_CXSMICON),
                                                ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = &Win32WindowSystem::WindowProcedure;
  window_class.hInstance = instance_;
  window_class.hIcon = icon_;
  window_class.hIconSm = small_icon_;
  window_class.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  window_class.lpszClassName = kWindowClass;
  window_class_ = ::RegisterClassExW(&window_class);
  window_class.lpfnWndProc = &Win32WindowSystem::PageProcedure;
  window_class.hIcon = nullptr;
  window_class.hIconSm = nullptr;
  window_class.lpszClassName = kPageClass;
  page_class_ = ::RegisterClassExW(&window_class);
}

Win32WindowSystem::~Win32WindowSystem() {
  for (auto& [id, window] : windows_) {
    // No more events: the queue they would go to is going.
    ::SetWindowLongPtrW(window.handle, GWLP_USERDATA, 0);
    ::DestroyWindow(window.handle);
  }
  for (auto& [key, font] : fonts_) ::DeleteObject(font);
  if (page_class_ != 0) ::UnregisterClassW(kPageClass, instance_);
  if (window_class_ != 0) ::UnregisterClassW(kWindowClass, instance_);
}

bool Win32WindowSystem::CreateAppWindow(int window_id, const std::string& title, int client_width,
                                        int client_height, WindowPlacement placement) {
  if (window_class_ == 0 || windows_.contains(window_id) || client_width < 0 || client_height < 0)
    return false;
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  const DWORD ex_style = WS_EX_CONTROLPARENT;
  const UINT dpi = SystemDpi();
  const RECT outer = OuterRect(Scale(client_width, dpi), Scale(client_height, dpi), style, ex_style, dpi);
  const SIZE size{outer.right - outer.left, outer.bottom - outer.top};
  const POINT corner = Placement(placement, size);
  HWND handle = ::CreateWindowExW(ex_style, kWindowClass, Wide(title).c_str(), style, corner.x, corner.y,
                                  size.cx, size.cy, nullptr, nullptr, instance_, this);
  if (handle == nullptr) return false;
  windows_[window_id] = Window{handle, handle, client_width, client_height, dpi};
  return true;
}

POINT Win32WindowSystem::Placement(WindowPlacement placement, SIZE outer) const {
  if (placement == WindowPlacement::kOverActiveWindow) {
    HWND active = ActiveAppWindow();
    RECT over{};
    if (active == nullptr || !::GetWindowRect(active, &over)) return kDefaultWindowCorner;
    return {std::max(0L, over.left + (over.right - over.left - outer.cx) / 2),
            std::max(0L, over.top + (over.bottom - over.top - outer.cy) / 2)};
  }
  const int screen_width = ::GetSystemMetrics(SM_CXSCREEN);
  const int screen_height = ::GetSystemMetrics(SM_CYSCREEN);
  return {(screen_width - std::min<int>(outer.cx, screen_width)) / 2,
          (screen_height - std::min<int>(outer.cy, screen_height)) / 2};
}

void Win32WindowSystem::ShowAppWindow(int window_id) {
  HWND handle = WindowHandle(window_id);
  if (handle == nullptr) return;
  // In its last state: a minimised window stays minimised.
  if (::IsIconic(handle)) {
    ::ShowWindow(handle, SW_SHOWMINIMIZED);
  } else if (::IsZoomed(handle)) {
    ::ShowWindow(handle, SW_SHOWMAXIMIZED);
  } else {
    ::ShowWindow(handle, SW_SHOWNORMAL);
  }
}

void Win32WindowSystem::HideAppWindow(int window_id) {
  if (HWND handle = WindowHandle(window_id)) ::ShowWindow(handle, SW_HIDE);
}

void Win32WindowSystem::BringToFront(int window_id) {
  if (HWND handle = WindowHandle(window_id)) ::SetForegroundWindow(handle);
}

bool Win32WindowSystem::IsWindowVisible(int window_id) {
  HWND handle = WindowHandle(window_id);
  return handle != nullptr && ::IsWindowVisible(handle);
}

bool Win32WindowSystem::CreateControl(int window_id, int control_id, ControlKind kind,
                                      const std::string& text, int x, int y, int width, int height) {
  const auto found = windows_.find(window_id);
  if (found == windows_.end() || controls_.contains(control_id) || control_id <= 0 || control_id > 0xFFFF) {
    return false;
  }
  const Window& window = found->second;
  const ControlClass control_class = ClassOf(kind);
  // A run of radio buttons is a group of its own: the system clears the
  // others of the group, and the arrow keys move within it.
  const Control* before = FindByHandle(::GetWindow(::GetWindow(window.container, GW_CHILD), GW_HWNDLAST));
  const bool after_radio = before != nullptr && before->kind == ControlKind::kRadioButton;
  const DWORD group = (kind == ControlKind::kRadioButton) != after_radio ? WS_GROUP : 0;
  HWND handle =
      ::CreateWindowExW(control_class.ex_style, control_class.name, Wide(text).c_str(),
                        WS_CHILD | WS_VISIBLE | control_class.style | group, 0, 0, 0, 0, window.container,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(control_id)), instance_, nullptr);
  if (handle == nullptr) return false;
  Control& control = controls_[control_id];
  control =
      Control{handle, window_id, kind, window.container, RECT{x, y, x + width, y + height}, std::nullopt};
  Lay(control, window.dpi);
  if (kind == ControlKind::kNumberField) ::SendMessageW(handle, EM_LIMITTEXT, 4, 0);
  if (kind == ControlKind::kProgressBar) {
    ::SendMessageW(handle, PBM_SETRANGE32, 0, kProgressMaximum);
    ::SendMessageW(handle, PBM_SETPOS, 0, 0);
  }
  return true;
}

void Win32WindowSystem::Lay(const Control& control, UINT dpi) const {
  const RECT& at = control.geometry;
  int height = Scale(at.bottom - at.top, dpi);
  // A drop-down list's height is that of the box with its list open.
  if (control.kind == ControlKind::kDropDownList) height += Scale(kDropDownRoom, dpi);
  ::SetWindowPos(control.handle, nullptr, Scale(at.left, dpi), Scale(at.top, dpi),
                 Scale(at.right - at.left, dpi), height, SWP_NOZORDER | SWP_NOACTIVATE);
}

HFONT Win32WindowSystem::Font(FontId font, UINT dpi) {
  const auto key = std::make_pair(static_cast<int>(font), dpi);
  if (const auto found = fonts_.find(key); found != fonts_.end()) return found->second;
  const int points = font == FontId::kSmall ? 8 : 10;
  const int weight = font == FontId::kBold ? FW_BOLD : FW_NORMAL;
  HFONT made = ::CreateFontW(-::MulDiv(points, static_cast<int>(dpi), 72), 0, 0, 0, weight, FALSE, FALSE,
                             FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, L"Verdana");
  // A font that cannot be made stays empty; the control keeps the system's.
  if (made != nullptr) fonts_[key] = made;
  return made;
}

void Win32WindowSystem::SetFont(int control_id, FontId font) {
  const auto found = controls_.find(control_id);
  if (found == controls_.end()) return;
  Control& control = found->second;
  control.font = font;
  HFONT handle = Font(font, windows_[control.window_id].dpi);
  if (handle != nullptr) ::SendMessageW(control.handle, WM_SETFONT, reinterpret_cast<WPARAM>(handle), TRUE);
  // A new font sizes the panel's tab row anew, and with it the pages.
  if (control.kind == ControlKind::kTabPanel) LayPages(control.handle, windows_[control.window_id].dpi);
}

void Win32WindowSystem::SetLabelFor(int label_id, int control_id) {
  const Control* label = Find(label_id);
  const Control* control = Find(control_id);
  if (label == nullptr || control == nullptr || label->parent != control->parent) return;
  if (label->kind != ControlKind::kLabel && label->kind != ControlKind::kCentredLabel) return;
  // Screen readers name a control without its own text after the label just
  // before it in the window's order, which is also the order of Tab.
  ::SetWindowPos(control->handle, label->handle, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Win32WindowSystem::SetText(int control_id, const std::string& text) {
  const Control* control = Find(control_id);
  if (control == nullptr) return;
  switch (control->kind) {
    case ControlKind::kDropDownList: {
      // Exact and case-sensitive, unlike the list's own search.
      const int count = ItemCount(control_id);
      for (int i = 0; i < count; ++i) {
        if (ItemText(control_id, i) == text) {
          ::SendMessageW(control->handle, CB_SETCURSEL, i, 0);
          return;
        }
      }
      return;
    }
    case ControlKind::kNumberField:
    case ControlKind::kTextField: {
      // An edit reports a text set here as a change too: only the user's typing is an event.
      setting_text_ = true;
      ::SetWindowTextW(control->handle, Wide(text).c_str());
      setting_text_ = false;
      return;
    }
    case ControlKind::kLabel:
    case ControlKind::kCentredLabel:
    case ControlKind::kButton:
    case ControlKind::kCheckBox:
    case ControlKind::kRadioButton:
    case ControlKind::kReadOnlyField:
      ::SetWindowTextW(control->handle, Wide(text).c_str());
      return;
    case ControlKind::kTabPanel:
    case ControlKind::kProgressBar:
    case ControlKind::kListBox:
      return;
  }
}

std::string Win32WindowSystem::GetText(int control_id) {
  const Control* control = Find(control_id);
  if (control == nullptr) return {};
  switch (control->kind) {
    case ControlKind::kDropDownList:
      return ItemText(control_id, SelectedItem(control_id));
    case ControlKind::kLabel:
    case ControlKind::kCentredLabel:
    case ControlKind::kButton:
    case ControlKind::kCheckBox:
    case ControlKind::kRadioButton:
    case ControlKind::kReadOnlyField:
    case ControlKind::kNumberField:
    case ControlKind::kTextField:
      return WindowText(control->handle);
    case ControlKind::kTabPanel:
    case ControlKind::kProgressBar:
    case ControlKind::kListBox:
      break;
  }
  return {};
}

void Win32WindowSystem::Enable(int control_id, bool enabled) {
  if (const Control* control = Find(control_id)) ::EnableWindow(control->handle, enabled ? TRUE : FALSE);
}

bool Win32WindowSystem::IsEnabled(int control_id) {
  const Control* control = Find(control_id);
  return control != nullptr && ::IsWindowEnabled(control->handle);
}

void Win32WindowSystem::SetChecked(int control_id, bool checked) {
  // BM_SETCHECK notifies nobody: only the user's click is an event.
  if (const Control* control = FindCheckable(control_id)) {
    ::SendMessageW(control->handle, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  }
}

bool Win32WindowSystem::IsChecked(int control_id) {
  const Control* control = FindCheckable(control_id);
  return control != nullptr && ::SendMessageW(control->handle, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32WindowSystem::SetProgress(int control_id, int value) {
  if (const Control* control = Find(control_id, ControlKind::kProgressBar)) {
    ::SendMessageW(control->handle, PBM_SETPOS, std::clamp(value, 0, kProgressMaximum), 0);
  }
}

std::optional<UiEvent> Win32WindowSystem::TakeEvent() {
  if (events_.empty()) return std::nullopt;
  const UiEvent event = events_.front();
  events_.pop_front();
  return event;
}

void Win32WindowSystem::Dispatch(MSG& message) {
  HWND root = message.hwnd != nullptr ? ::GetAncestor(message.hwnd, GA_ROOT) : nullptr;
  if (root != nullptr && WindowIdOf(root) >= 0 && ::IsDialogMessageW(root, &message)) return;
  ::TranslateMessage(&message);
  ::DispatchMessageW(&message);
}

void Win32WindowSystem::RemoveMessageFilter(WindowMessageFilter* filter) {
  filters_.erase(std::remove(filters_.begin(), filters_.end(), filter), filters_.end());
}

HWND Win32WindowSystem::WindowHandle(int window_id) const {
  const auto found = windows_.find(window_id);
  return found != windows_.end() ? found->second.handle : nullptr;
}

HWND Win32WindowSystem::ControlHandle(int control_id) const {
  const Control* control = Find(control_id);
  return control != nullptr ? control->handle : nullptr;
}

HWND Win32WindowSystem::ActiveAppWindow() const {
  HWND active = ::GetActiveWindow();
  return active != nullptr && WindowIdOf(active) >= 0 ? active : nullptr;
}

const Win32WindowSystem::Control* Win32WindowSystem::Find(int control_id) const {
  const auto found = controls_.find(control_id);
  return found != controls_.end() ? &found->second : nullptr;
}

const Win32WindowSystem::Control* Win32WindowSystem::Find(int control_id, ControlKind kind) const {
  const Control* control = Find(control_id);
  return control != nullptr && control->kind == kind ? control : nullptr;
}

const Win32WindowSystem::Control* Win32WindowSystem::FindCheckable(int control_id) const {
  const Control* control = Find(control_id);
  const bool checkable = control != nullptr && (control->kind == ControlKind::kCheckBox ||
                                                control->kind == ControlKind::kRadioButton);
  return checkable ? control : nullptr;
}

const Win32WindowSystem::Control* Win32WindowSystem::FindByHandle(HWND handle) const {
  if (handle == nullptr) return nullptr;
  const int id = ::GetDlgCtrlID(handle);
  const Control* control = Find(id);
  return control != nullptr && control->handle == handle ? control : nullptr;
}

int Win32WindowSystem::WindowIdOf(HWND handle) const {
  for (const auto& [id, window] : windows_) {
    if (window.handle == handle) return id;
  }
  return -1;
}

LRESULT CALLBACK Win32WindowSystem::WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<Win32WindowSystem*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return ::DefWindowProcW(window, message, wparam, lparam);
  return self->Handle(window, message, wparam, lparam);
}

LRESULT CALLBACK Win32WindowSystem::PageProcedure(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
  // A page's controls report to it; it reports on as the window would.
  return WindowProcedure(page, message, wparam, lparam);
}

bool Win32WindowSystem::Filtered(HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) {
  for (WindowMessageFilter* filter : filters_) {
    if (filter->OnWindowMessage(window, message, wparam, lparam, result)) return true;
  }
  return false;
}

LRESULT Win32WindowSystem::Handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT result = 0;
  if (Filtered(window, message, wparam, lparam, &result)) return result;
  switch (message) {
    case WM_COMMAND:
      // Only what a control of ours says: the dialog keys' IDOK and IDCANCEL
      // come from no control, and a menu's choice is the tray's.
      if (lparam != 0) OnCommand(reinterpret_cast<HWND>(lparam), HIWORD(wparam));
      return 0;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lparam);
      if (header != nullptr && header->code == static_cast<UINT>(TCN_SELCHANGE))
        OnTabChanged(header->hwndFrom);
      break;
    }
    case WM_CLOSE: {
      // The window stays; the program decides (and hides it).
      const int window_id = WindowIdOf(window);
      if (window_id >= 0) {
        Queue(UiEvent::Kind::kClose, window_id);
        return 0;
      }
      break;
    }
    case WM_ACTIVATE: {
      // Back to the control that had the keyboard when the window was left.
      const int window_id = WindowIdOf(window);
      if (window_id < 0) break;
      if (LOWORD(wparam) == WA_INACTIVE) {
        HWND focus = ::GetFocus();
        if (focus != nullptr && ::IsChild(window, focus)) {
          ::SetPropW(window, L"RipwardenFocus", focus);
        }
      } else {
        auto* focus = static_cast<HWND>(::GetPropW(window, L"RipwardenFocus"));
        if (focus == nullptr || !::IsChild(window, focus) || !::IsWindowEnabled(focus) ||
            !::IsWindowVisible(focus)) {
          focus = ::GetNextDlgTabItem(window, nullptr, FALSE);
        }
        if (focus != nullptr) ::SetFocus(focus);
        return 0;
      }
      break;
    }
    case WM_DPICHANGED: {
      const int window_id = WindowIdOf(window);
      if (window_id >= 0) {
        OnDpiChanged(window_id, HIWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
        return 0;
      }
      break;
    }
    case WM_NCDESTROY:
      ::RemovePropW(window, L"RipwardenFocus");
      break;
    default:
      break;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

void Win32WindowSystem::OnCommand(HWND from, int notification) {
  const Control* control = FindByHandle(from);
  if (control == nullptr) return;
  switch (control->kind) {
    case ControlKind::kButton:
    case ControlKind::kCheckBox:
    case ControlKind::kRadioButton:
      if (notification == BN_CLICKED) Queue(UiEvent::Kind::kControl, ::GetDlgCtrlID(from));
      break;
    case ControlKind::kNumberField:
    case ControlKind::kTextField:
      if (notification == EN_CHANGE && !setting_text_) Queue(UiEvent::Kind::kControl, ::GetDlgCtrlID(from));
      break;
    case ControlKind::kDropDownList:
      // Every notice of the list (focus, opening, closing, a choice): its
      // handler stores the selection again each time.
      Queue(UiEvent::Kind::kControl, ::GetDlgCtrlID(from));
      break;
    default:
      break;
  }
}

void Win32WindowSystem::OnDpiChanged(int window_id, UINT dpi, const RECT& suggested) {
  Window& window = windows_[window_id];
  if (dpi == 0 || dpi == window.dpi) return;
  window.dpi = dpi;
  ::SetWindowPos(window.handle, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  for (auto& [id, control] : controls_) {
    if (control.window_id != window_id) continue;
    Lay(control, dpi);
    if (control.font) {
      if (HFONT font = Font(*control.font, dpi)) {
        ::SendMessageW(control.handle, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
      }
    }
  }
  for (const auto& [panel, pages] : pages_) {
    if (::GetAncestor(panel, GA_ROOT) == window.handle) LayPages(panel, dpi);
  }
}

}  // namespace ripwarden::win32_platform
