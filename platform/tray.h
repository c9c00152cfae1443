#pragma once

#include <optional>
#include <string>

#include "platform/window_system.h"

namespace ripwarden {

enum class BalloonIcon { kInformation = 1, kError = 3 };

// The program's icon in the desktop's notification area, with its menu and
// balloons.
class Tray {
 public:
  virtual ~Tray() = default;

  // False when the desktop offers no notification area.
  virtual bool AddTrayIcon(const std::string& tip) = 0;
  virtual void RemoveTrayIcon() = 0;

  // The menu, described once in order; the entries added between
  // BeginSubmenu and EndSubmenu form a submenu.
  virtual void AddMenuItem(int item_id, const std::string& text) = 0;
  virtual void AddMenuSeparator() = 0;
  virtual void BeginSubmenu(const std::string& text) = 0;
  virtual void EndSubmenu() = 0;
  // Takes every entry away, to describe the menu anew.
  virtual void ClearMenu() = 0;
  // Greys (disables) or enables one entry of the menu, by its id.
  virtual void SetItemGreyed(int item_id, bool greyed) = 0;

  virtual void ShowBalloon(const std::string& title, const std::string& text, const std::string& tip,
                           BalloonIcon icon) = 0;

  // What the user did with the icon, its menu or a balloon; never waits.
  virtual std::optional<UiEvent> TakeEvent() = 0;
};

// Modal message boxes.
class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  virtual void ShowMessage(const std::string& title, const std::string& text) = 0;
  // True only when the user answers Yes.
  virtual bool AskYesNo(const std::string& title, const std::string& text) = 0;
};

}  // namespace ripwarden
