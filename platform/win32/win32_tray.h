#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/tray.h"
#include "platform/win32/win32_window_system.h"

namespace ripwarden::win32_platform {

inline constexpr UINT kTrayIconId = 37;
inline constexpr UINT kTrayCallbackMessage = WM_USER;  // 1024

// The size of the notify-icon record the shell of that major version reads:
// the first record (a 64-character tip, no balloons) for shells before 5,
// the one with balloons for 5, and the one with an item id for 6 and every
// later shell (Windows 8.1 is 6.3, Windows 10 and 11 report 10).
DWORD TrayRecordSize(int shell_major_version);
// shell32.dll's major file version, read anew each time; 0 when unreadable.
int ShellMajorVersion();

// The record for adding the icon (or showing a balloon, with title and
// text): zero-filled, then the fields the call needs, each text cut to its
// field, whole characters only. A first-version record carries no balloon.
NOTIFYICONDATAW TrayRecord(DWORD size, HWND owner, HICON icon, const std::string& tip);
NOTIFYICONDATAW BalloonRecord(DWORD size, HWND owner, HICON icon, const std::string& tip,
                              const std::string& title, const std::string& text, BalloonIcon kind);

// The program's icon in the notification area, on the window of the given
// id; its menu opens at the pointer on a right click and its choice becomes
// a menu event. When Explorer restarts, the icon is added again.
class Win32Tray final : public Tray, public WindowMessageFilter {
 public:
  // How the shell is called: Shell_NotifyIconW, looked up by name in
  // shell32.dll unless given.
  using ShellCall = std::function<BOOL(DWORD message, NOTIFYICONDATAW* record)>;

  Win32Tray(Win32WindowSystem& windows, int owner_window_id, ShellCall shell = nullptr);
  ~Win32Tray() override;
  Win32Tray(const Win32Tray&) = delete;
  Win32Tray& operator=(const Win32Tray&) = delete;

  bool AddTrayIcon(const std::string& tip) override;
  void RemoveTrayIcon() override;
  void AddMenuItem(int item_id, const std::string& text) override;
  void AddMenuSeparator() override;
  void BeginSubmenu(const std::string& text) override;
  void EndSubmenu() override;
  void ClearMenu() override;
  void SetItemGreyed(int item_id, bool greyed) override;
  void ShowBalloon(const std::string& title, const std::string& text, const std::string& tip,
                   BalloonIcon icon) override;
  std::optional<UiEvent> TakeEvent() override;
  bool HasEvents() const { return !events_.empty(); }

  bool OnWindowMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) override;

  HMENU menu() const { return menu_; }

 private:
  HWND Owner() const { return windows_.WindowHandle(owner_window_id_); }
  void ShowMenu();
  bool Call(DWORD message, NOTIFYICONDATAW& record);

  Win32WindowSystem& windows_;
  int owner_window_id_;
  ShellCall shell_;
  HMODULE shell_library_ = nullptr;
  HICON icon_ = nullptr;
  UINT taskbar_created_ = 0;
  bool wanted_ = false;  // added, and not removed since
  std::string tip_;
  HMENU menu_ = nullptr;
  std::vector<HMENU> open_menus_;
  std::deque<UiEvent> events_;
};

}  // namespace ripwarden::win32_platform
