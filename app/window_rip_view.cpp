#include "app/window_rip_view.h"

#include "ui/window_ids.h"

namespace ripwarden {

WindowRipView::WindowRipView(WindowSystem& windows, Tray& tray, DriveMenu& drive_menu)
    : windows_(windows), tray_(tray), drive_menu_(drive_menu) {}

void WindowRipView::SetDiscLabelText(const std::string& text) {
  windows_.SetText(control::kDiscLabelText, text);
}

void WindowRipView::SetRipProgressBar(std::int32_t value) {
  windows_.SetProgress(control::kRipProgressBar, value);
}

void WindowRipView::SetStatusText(const std::string& text) { windows_.SetText(control::kStatusText, text); }

void WindowRipView::EnableStartButton(bool enabled) { windows_.Enable(control::kStartButton, enabled); }

void WindowRipView::EnableCancelButton(bool enabled) { windows_.Enable(control::kCancelButton, enabled); }

void WindowRipView::InsertOutputLine(const std::string& line) {
  windows_.InsertItemAtTop(control::kOutputList, line);
  if (windows_.ItemCount(control::kOutputList) > kMostOutputLines)
    windows_.RemoveItem(control::kOutputList, kMostOutputLines);
}

void WindowRipView::ClearOutputList() { windows_.ClearItems(control::kOutputList); }

void WindowRipView::ShowBalloon(const std::string& title, const std::string& text, const std::string& tip,
                                BalloonIcon icon) {
  tray_.ShowBalloon(title, text, tip, icon);
}

void WindowRipView::ShowQueue(const std::vector<std::string>& rows) {
  // The selected row stays selected while its job's text changes.
  const int selected = windows_.SelectedItem(control::kQueueList);
  windows_.ClearItems(control::kQueueList);
  for (const std::string& row : rows) windows_.AppendItem(control::kQueueList, row);
  if (selected >= 0 && selected < static_cast<int>(rows.size()))
    windows_.SelectItem(control::kQueueList, selected);
}

void WindowRipView::ShowRecentRips(const std::vector<std::string>& rows) {
  windows_.ClearItems(control::kRecentRipsList);
  for (const std::string& row : rows) windows_.AppendItem(control::kRecentRipsList, row);
}

void WindowRipView::ShowDrives(const std::vector<DriveShown>& drives) { drive_menu_.ShowDrives(drives); }

}  // namespace ripwarden
