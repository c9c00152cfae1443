#include "fakes/fake_rip_view.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace ripwarden::testing {

void FakeRipView::SetDiscLabelText(const std::string& text) {
  disc_label = text;
  calls.push_back("label: " + text);
}

void FakeRipView::SetRipProgressBar(std::int32_t value) {
  progress_bar = value;
  calls.push_back("bar: " + std::to_string(value));
}

void FakeRipView::SetStatusText(const std::string& text) {
  status = text;
  calls.push_back("status: " + text);
}

void FakeRipView::EnableStartButton(bool enabled) {
  start_enabled = enabled;
  calls.push_back(enabled ? "start: on" : "start: off");
}

void FakeRipView::EnableCancelButton(bool enabled) {
  cancel_enabled = enabled;
  calls.push_back(enabled ? "cancel: on" : "cancel: off");
}

void FakeRipView::InsertOutputLine(const std::string& line) {
  output.push_front(line);
  calls.push_back("output: " + line);
}

void FakeRipView::ClearOutputList() {
  output.clear();
  calls.push_back("output cleared");
}

void FakeRipView::ShowBalloon(const std::string& title, const std::string& text, const std::string& tip,
                              BalloonIcon icon) {
  balloons.push_back(title);
  calls.push_back("balloon: " + title + " | " + text + " | " + tip +
                  (icon == BalloonIcon::kError ? " | error" : " | info"));
}

void FakeRipView::ShowDrives(const std::vector<DriveShown>& drives) {
  const bool present =
      std::any_of(drives.begin(), drives.end(), [](const DriveShown& drive) { return drive.disc_present; });
  disc_present = present;
  calls.push_back(present ? "disc present" : "no disc");
}

std::vector<std::string> FakeRipView::TakeCalls() {
  std::vector<std::string> taken;
  taken.swap(calls);
  return taken;
}

}  // namespace ripwarden::testing
