#include "config/setting_keys.h"
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
          setting::kFileContainer,
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
  services_.settings.WriteSetting(*spec->setting, state == 1 ? "1" : "0");
  if (control_id == control::kStartUpCheck) SetStartWithWindows(services_.autostart, state);
}

void AppWindows::BrowseDestination() {
  const std::string chosen = ChooseFolder("Choose a destination for DVD rips to be saved.",
                                          services_.settings.ReadSetting(setting::kDestination));
  if (chosen.empty()) return;
  services_.windows.SetText(control::kDestinationField, chosen);
  services_.settings.WriteSetting(setting::kDestination, chosen);
}

std::string AppWindows::ChooseFolder(const std::string& title, const std::string& initial_folder) {
  const std::string chosen =
      services_.folders.PickFolder(title, services_.paths.ChooserFolder(initial_folder));
  return services_.paths.StoredFolder(chosen);
}

}  // namespace ripwarden
