#include "config/start_with_windows.h"
#include "ui/app_windows.h"
#include "ui/control_table.h"
#include "ui/window_ids.h"

namespace ripwarden {

void AppWindows::HandleControlEvent(int control_id) {
  WindowSystem& windows = services_.windows;
  switch (control_id) {
    case control::kSettingsButton:
      windows.ShowAppWindow(kSettingsWindow);
      windows.BringToFront(kSettingsWindow);
      break;
    case control::kStartButton:
      windows.Enable(control::kStartButton, false);
      services_.engine.StartRip();
      break;
    case control::kCancelButton:
      services_.engine.CancelRip(false);
      break;
    case control::kSourceDriveList:
      OnDriveListEvent();
      break;
    case control::kRefreshListButton:
      FillDriveList();
      break;
    case control::kBrowseButton:
      BrowseDestination();
      break;
    case control::kQualityPresetList:
      OnPresetChosen();
      break;
    case control::kFileFormatList:
      services_.settings.WriteSetting(
          "Ripping", "FileContainer",
          windows.ItemText(control::kFileFormatList, windows.SelectedItem(control::kFileFormatList)));
      break;
    default:
      OnCheckBoxEvent(control_id);
      break;
  }
}

void AppWindows::OnCheckBoxEvent(int control_id) {
  const ControlSpec* spec = FindControl(control_id);
  if (spec == nullptr || spec->kind != ControlKind::kCheckBox) return;
  const int state = services_.windows.IsChecked(control_id) ? 1 : 0;
  services_.settings.WriteSetting(spec->setting_group, spec->setting_key, state == 1 ? "1" : "0");
  if (control_id == control::kStartUpCheck) SetStartWithWindows(services_.autostart, state);
}

void AppWindows::BrowseDestination() {
  const std::string chosen = ChooseFolder("Choose a destination for DVD rips to be saved.",
                                          services_.settings.ReadSetting("Ripping", "Destination"));
  if (chosen.empty()) return;
  services_.windows.SetText(control::kDestinationField, chosen);
  services_.settings.WriteSetting("Ripping", "Destination", chosen);
}

std::string AppWindows::ChooseFolder(const std::string& title, const std::string& initial_folder) {
  std::string initial = initial_folder;
  if (initial.size() > 1 && initial.ends_with('/')) initial.pop_back();
  std::string chosen = services_.folders.PickFolder(title, initial);
  // A Windows chooser ends its folder in its own separator already.
  if (!chosen.empty() && !chosen.ends_with('/') && !chosen.ends_with('\\')) chosen += '/';
  return chosen;
}

}  // namespace ripwarden
