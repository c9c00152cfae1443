#pragma once

#include <deque>
#include <string>
#include <vector>

#include "rip/rip_view.h"

namespace ripwarden::testing {

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
  bool AskYesNo(const std::string& title, const std::string& text) override;
  void ShowDiscPresent(bool present) override;

  // The calls since the last TakeCalls, then forgets them.
  std::vector<std::string> TakeCalls();

  std::string disc_label = "[Empty]";
  std::int32_t progress_bar = 0;
  std::string status;
  bool start_enabled = false;
  bool cancel_enabled = false;
  bool disc_present = false;
  std::deque<std::string> output;  // newest first, as the list shows it
  std::vector<std::string> calls;
  std::vector<std::string> balloons;  // titles, in order

  // Answers to the next questions, in order; a question with none left fails the test.
  std::deque<bool> answers;
  std::vector<std::string> questions;
};

}  // namespace ripwarden::testing
