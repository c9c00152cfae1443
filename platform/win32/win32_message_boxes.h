#pragma once

#include <string>

#include "platform/tray.h"

namespace ripwarden::win32_platform {

// The system's own message boxes (MessageBoxW), without an icon, modal over
// the program: while one is open the main loop waits for the answer.
class Win32MessageBoxes final : public MessageBoxes {
 public:
  void ShowMessage(const std::string& title, const std::string& text) override;
  bool AskYesNo(const std::string& title, const std::string& text) override;
};

// A message text as the box shows it: each paragraph break ("\r\r") and any
// other lone carriage return as the system's line end.
std::wstring BoxText(const std::string& text);

}  // namespace ripwarden::win32_platform
