#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/tray.h"

namespace ripwarden {

// The progress bar's full value: hundredths of a percent.
inline constexpr std::int32_t kProgressBarFull = 10000;

// A watched drive as a poll found it.
struct DriveShown {
  std::string source;
  bool disc_present = false;
  bool operator==(const DriveShown&) const = default;
};

// What the rip engine changes in the windows and the tray. Each is a small
// operation on one control; the engine never asks the user anything.
class RipView {
 public:
  virtual ~RipView() = default;

  virtual void SetDiscLabelText(const std::string& text) = 0;
  // 0 to kProgressBarFull.
  virtual void SetRipProgressBar(std::int32_t value) = 0;
  virtual void SetStatusText(const std::string& text) = 0;
  virtual void EnableStartButton(bool enabled) = 0;
  virtual void EnableCancelButton(bool enabled) = 0;
  // Puts a line at the top of the encoder output list.
  virtual void InsertOutputLine(const std::string& line) = 0;
  virtual void ClearOutputList() = 0;

  virtual void ShowBalloon(const std::string& title, const std::string& text, const std::string& tip,
                           BalloonIcon icon) = 0;
  // The watched drives, in the setting's order, and whether each holds a
  // readable disc, after each poll.
  virtual void ShowDrives(const std::vector<DriveShown>& drives) = 0;
  // The queue window's rows, each time they change, and the newest rips of
  // the history after each rip ends.
  virtual void ShowQueue(const std::vector<std::string>& /*rows*/) {}
  virtual void ShowRecentRips(const std::vector<std::string>& /*rows*/) {}
};

}  // namespace ripwarden
