#include "config/setting_keys.h"
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
      // Asked here: the engine never holds a turn on a question.
      if (services_.boxes.AskYesNo("Cancel Rip - " + app_name_,
                                   "Are you sure you want to cancel this rip?")) {
        services_.engine.CancelRip();
      }
      break;
    case control::kSourceDriveList:
      OnDriveListEvent();
      break;
    case control::kQueueButton:
      windows.ShowAppWindow(kQueueWindow);
      windows.BringToFront(kQueueWindow);
      break;
    case control::kQueueCancelButton:
    case control::kQueueRetryButton:
    case control::kQueueRemoveButton:
      OnQueueButton(control_id);
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
      StoreChange(control::kFileFormatList, setting::kFileContainer,
                  windows.ItemText(control::kFileFormatList, windows.SelectedItem(control::kFileFormatList)));
      break;
    default:
      OnSettingControlEvent(control_id);
      break;
  }
}

void AppWindows::OnQueueButton(int control_id) {
  RipEngine& engine = services_.engine;
  const int row = services_.windows.SelectedItem(control::kQueueList);
  const auto& rows = engine.ShownQueueRows();
  if (row < 0 || static_cast<std::size_t>(row) >= rows.size()) return;
  const std::uint64_t serial = rows[static_cast<std::size_t>(row)].serial;
  if (control_id == control::kQueueRetryButton) {
    engine.RetryJob(serial);
  } else if (control_id == control::kQueueRemoveButton) {
    engine.RemoveJob(serial);
  } else if (services_.boxes.AskYesNo("Cancel Rip - " + app_name_,
                                      "Are you sure you want to cancel this rip?")) {
    engine.CancelJob(serial);
  }
}

void AppWindows::BrowseDestination() {
  const std::string chosen = ChooseFolder("Choose a destination for DVD rips to be saved.",
                                          services_.settings.ReadSetting(setting::kDestination));
  if (chosen.empty()) return;
  services_.windows.SetText(control::kDestinationField, chosen);
  StoreChange(control::kDestinationField, setting::kDestination, chosen);
}

bool AppWindows::StoreChange(int control_id, const SettingKey& setting, std::string_view value) {
  const SettingWrite outcome = services_.settings.WriteSetting(setting, value);
  if (outcome == SettingWrite::kStored) return true;
  ShowStoredValue(control_id);
  TellChangeNotSaved(outcome);
  return false;
}

void AppWindows::ShowStoredValue(int control_id) {
  WindowSystem& windows = services_.windows;
  switch (control_id) {
    case control::kSourceDriveList:
      FillDriveList();
      break;
    case control::kFileFormatList:
      windows.ClearItems(control::kFileFormatList);
      FillFileFormatList();
      break;
    case control::kQualityPresetList:
      windows.ClearItems(control::kQualityPresetList);
      for (const int field : {control::kVideoCodecField, control::kVideoBitRateField,
                              control::kAudioCodecField, control::kAudioBitRateField}) {
        windows.SetText(field, "");
      }
      FillPresetList();
      break;
    case control::kDestinationField:
      windows.SetText(control::kDestinationField, services_.settings.ReadSetting(setting::kDestination));
      break;
    default:
      if (const ControlSpec* spec = FindControl(control_id); spec != nullptr && spec->setting != nullptr) {
        ShowSetting(*spec);
      }
      break;
  }
}

void AppWindows::TellChangeNotSaved(SettingWrite outcome) {
  if (told_not_saved_) return;
  told_not_saved_ = true;
  const std::string why =
      outcome == SettingWrite::kNotReadable
          ? "the settings file could not be read, so it was left as it is.\r\r" + settings_location_ +
                "\r\rSave it again as text, or delete it to have it made again from the settings shown."
          : "the settings file cannot be written.\r\r" + settings_location_ +
                "\r\rCheck that the file is not read-only and that you may write to its folder.";
  services_.boxes.ShowMessage("Settings - " + app_name_, "Your change could not be saved: " + why);
}

std::string AppWindows::ChooseFolder(const std::string& title, const std::string& initial_folder) {
  const std::string chosen =
      services_.folders.PickFolder(title, services_.paths.ChooserFolder(initial_folder));
  return services_.paths.StoredFolder(chosen);
}

}  // namespace ripwarden
