#pragma once

#include <windows.h>

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/window_system.h"

namespace ripwarden::win32_platform {

// The window class of a tab's page.
inline constexpr wchar_t kPageClass[] = L"RipwardenTabPage";

// A length at 96 dots per inch, at another.
inline int Scale(int value, UINT dpi) { return ::MulDiv(value, static_cast<int>(dpi), 96); }

// Sees every message of every window of the program before the window does;
// true when it took the message (its result then in *result).
class WindowMessageFilter {
 public:
  virtual ~WindowMessageFilter() = default;
  virtual bool OnWindowMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) = 0;
};

// The program's windows on the system's own controls: "Static", "Button",
// "ComboBox", "Edit", "ListBox", "msctls_progress32" and "SysTabControl32".
// Geometry is given at 96 dots per inch and scaled to the window's own, so
// that the layout keeps its proportions on a monitor with larger text; the
// fonts follow the same scale.
//
// Needs the common controls initialised (InitCommonControlsEx) on this thread
// before the first window is made. One thread only.
class Win32WindowSystem final : public WindowSystem {
 public:
  explicit Win32WindowSystem(HINSTANCE instance = nullptr);
  ~Win32WindowSystem() override;
  Win32WindowSystem(const Win32WindowSystem&) = delete;
  Win32WindowSystem& operator=(const Win32WindowSystem&) = delete;

  bool CreateAppWindow(int window_id, const std::string& title, int client_width, int client_height,
                       WindowPlacement placement) override;
  void ShowAppWindow(int window_id) override;
  void HideAppWindow(int window_id) override;
  void BringToFront(int window_id) override;
  bool IsWindowVisible(int window_id) override;

  bool CreateControl(int window_id, int control_id, ControlKind kind, const std::string& text, int x, int y,
                     int width, int height) override;
  void AddTab(int panel_id, const std::string& title) override;
  void CloseTabPanel(int panel_id) override;
  void SetFont(int control_id, FontId font) override;
  void SetLabelFor(int label_id, int control_id) override;

  void SetText(int control_id, const std::string& text) override;
  std::string GetText(int control_id) override;
  void Enable(int control_id, bool enabled) override;
  bool IsEnabled(int control_id) override;
  void SetChecked(int control_id, bool checked) override;
  bool IsChecked(int control_id) override;
  void SetProgress(int control_id, int value) override;

  void ClearItems(int control_id) override;
  void AppendItem(int control_id, const std::string& text) override;
  void InsertItemAtTop(int control_id, const std::string& text) override;
  void RemoveItem(int control_id, int index) override;
  int ItemCount(int control_id) override;
  std::string ItemText(int control_id, int index) override;
  void SelectItem(int control_id, int index) override;
  int SelectedItem(int control_id) override;

  std::optional<UiEvent> TakeEvent() override;
  bool HasEvents() const { return !events_.empty(); }

  // Hands a message to the window it is for, after the keyboard navigation
  // of the program's windows (Tab, Shift+Tab, the arrow keys in a group).
  void Dispatch(MSG& message);

  void AddMessageFilter(WindowMessageFilter* filter) { filters_.push_back(filter); }
  void RemoveMessageFilter(WindowMessageFilter* filter);

  // The system's handles, for the tray, the boxes and the tests; nullptr
  // for what was not made.
  HWND WindowHandle(int window_id) const;
  HWND ControlHandle(int control_id) const;
  // The program's window the user works in now, if any.
  HWND ActiveAppWindow() const;
  HFONT Font(FontId font, UINT dpi = 96);

 private:
  struct Control {
    HWND handle = nullptr;
    int window_id = 0;
    ControlKind kind = ControlKind::kLabel;
    HWND parent = nullptr;
    RECT geometry{};  // at 96 dots per inch, in the parent's coordinates
    std::optional<FontId> font;
  };
  struct TabPage {
    HWND handle = nullptr;
  };
  struct Window {
    HWND handle = nullptr;
    HWND container = nullptr;  // where new controls go: the window or a tab page
    int client_width = 0;
    int client_height = 0;
    UINT dpi = 96;
  };

  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK PageProcedure(HWND page, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  bool Filtered(HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result);
  void OnCommand(HWND from, int notification);
  void OnTabChanged(HWND panel);
  void OnDpiChanged(int window_id, UINT dpi, const RECT& suggested);
  void Lay(const Control& control, UINT dpi) const;
  RECT PageArea(HWND panel, UINT dpi) const;
  // Fits each of a panel's pages to the area below its tab row.
  void LayPages(HWND panel, UINT dpi);
  POINT Placement(WindowPlacement placement, SIZE outer) const;
  const Control* Find(int control_id) const;
  const Control* Find(int control_id, ControlKind kind) const;
  // A check box or a radio button.
  const Control* FindCheckable(int control_id) const;
  const Control* FindByHandle(HWND handle) const;
  bool IsList(const Control* control) const;
  int WindowIdOf(HWND handle) const;
  void Queue(UiEvent::Kind kind, int id) { events_.push_back(UiEvent{kind, id}); }

  HINSTANCE instance_;
  ATOM window_class_ = 0;
  ATOM page_class_ = 0;
  HICON icon_ = nullptr;
  HICON small_icon_ = nullptr;
  std::map<int, Window> windows_;
  std::map<int, Control> controls_;
  std::map<HWND, std::vector<HWND>> pages_;  // a tab panel's pages, in tab order
  std::map<std::pair<int, UINT>, HFONT> fonts_;
  std::deque<UiEvent> events_;
  std::vector<WindowMessageFilter*> filters_;
  bool setting_text_ = false;
};

}  // namespace ripwarden::win32_platform
