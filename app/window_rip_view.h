#pragma once

#include "app/drive_menu.h"
#include "platform/tray.h"
#include "platform/window_system.h"
#include "rip/rip_view.h"

namespace ripwarden {

// What the rip engine shows, put into the real windows and tray.
class WindowRipView final : public RipView {
 public:
  // The encoder output list keeps the newest lines only: a station left
  // running for days would otherwise fill the memory with old progress.
  static constexpr int kMostOutputLines = 20000;

  WindowRipView(WindowSystem& windows, Tray& tray, DriveMenu& drive_menu);

  void SetDiscLabelText(const std::string& text) override;
  void SetRipProgressBar(std::int32_t value) override;
  void SetStatusText(const std::string& text) override;
  void EnableStartButton(bool enabled) override;
  void EnableCancelButton(bool enabled) override;
  void InsertOutputLine(const std::string& line) override;
  void ClearOutputList() override;
  void ShowBalloon(const std::string& title, const std::string& text, const std::string& tip,
                   BalloonIcon icon) override;
  void ShowDrives(const std::vector<DriveShown>& drives) override;
  void ShowQueue(const std::vector<std::string>& rows) override;
  void ShowRecentRips(const std::vector<std::string>& rows) override;

 private:
  WindowSystem& windows_;
  Tray& tray_;
  DriveMenu& drive_menu_;
};

}  // namespace ripwarden
