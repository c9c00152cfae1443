#pragma once

#include <string>

namespace ripwarden {

enum class BalloonIcon { kInformation = 1, kError = 3 };

// The program's icon in the desktop's notification area.
class Tray {
 public:
  virtual ~Tray() = default;
  virtual void ShowBalloon(const std::string& title, const std::string& text, const std::string& tip,
                           BalloonIcon icon) = 0;
  // Greys (disables) or enables one entry of the tray menu, by its command id.
  virtual void SetItemGreyed(int item_id, bool greyed) = 0;
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
