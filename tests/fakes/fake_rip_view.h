#pragma once

#include <deque>
#include <string>
#include <vector>

#include "rip/rip_view.h"

namespace ripwarden::testing {

// The status texts of rips that ended, as the user reads them.
inline constexpr const char* kCompleteText = "COMPLETE!";
inline constexpr const char* kCancelledText = "USER CANCELLED";
inline constexpr const char* kDiscLostText = "FAILED: DVD was either ejected or could no longer be accessed.";
inline constexpr const char* kNoDestinationText =
    "FAILED: The destination folder does not exist. Choose it again in the settings window.";

// Keeps what the user would see, and every change in order as one text per
// call ("status: COMPLETE!", "balloon: Rip Complete! | ... | error").
class FakeRipView final : public RipView {
 public:
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

  // The calls since the last TakeCalls, then forgets them.
  std::vector<std::string> TakeCalls();

  std::string disc_label = "[Empty]";
  std::int32_t progress_bar = 0;
  std::string status;
  bool start_enabled = false;
  bool cancel_enabled = false;
  bool disc_present = false;       // in any watched drive
  std::deque<std::string> output;  // newest first, as the list shows it
  std::vector<std::string> calls;
  std::vector<std::string> balloons;  // titles, in order
};

}  // namespace ripwarden::testing
