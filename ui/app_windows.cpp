#include "ui/app_windows.h"

#include <utility>

#include "config/setting_keys.h"
#include "ui/control_table.h"
#include "ui/window_ids.h"

namespace ripwarden {

AppWindows::AppWindows(UiServices services, std::string app_name, std::string presets_path)
    : services_(services),
      app_name_(std::move(app_name)),
      presets_path_(std::move(presets_path)),
      settings_location_(services.settings.path()) {}

AppWindows::~AppWindows() { services_.settings.SetShownSettings(nullptr); }

std::vector<SettingValue> AppWindows::ShownValues() {
  WindowSystem& windows = services_.windows;
  std::vector<SettingValue> shown;
  for (const ControlSpec& spec : AllControls()) {
    if (spec.setting == nullptr) continue;
    if (std::optional<std::string> value = ShownValue(spec)) shown.push_back({*spec.setting, *value});
  }
  shown.push_back({setting::kSourceDrive, SelectedSource()});
  shown.push_back({setting::kDestination, windows.GetText(control::kDestinationField)});
  const int format = windows.SelectedItem(control::kFileFormatList);
  if (format >= 0)
    shown.push_back({setting::kFileContainer, windows.ItemText(control::kFileFormatList, format)});
  // The blank entry stands for "no change", as when it is chosen.
  const std::string preset =
      windows.ItemText(control::kQualityPresetList, windows.SelectedItem(control::kQualityPresetList));
  if (!preset.empty()) shown.push_back({setting::kEncoding, preset});
  return shown;
}

void AppWindows::CreateControls(int window_id, int first_id, int last_id) {
  WindowSystem& windows = services_.windows;
  for (const ControlSpec& spec : AllControls()) {
    if (spec.id < first_id || spec.id > last_id) continue;
    windows.CreateControl(window_id, spec.id, spec.kind, spec.text, spec.x, spec.y, spec.width, spec.height);
    if (spec.has_font) windows.SetFont(spec.id, spec.font);
    if (spec.label_id != 0) windows.SetLabelFor(spec.label_id, spec.id);
    if (spec.setting != nullptr) ShowSetting(spec);
  }
}

void AppWindows::BuildProgressWindow() {
  WindowSystem& windows = services_.windows;
  if (windows.CreateAppWindow(kProgressWindow, "Progress - " + app_name_, 580, 120,
                              WindowPlacement::kOverActiveWindow)) {
    CreateControls(kProgressWindow, control::kDiscInfoLabel, control::kStatusText);
    CreateControls(kProgressWindow, control::kQueueButton, control::kQueueButton);
    windows.Enable(control::kStartButton, false);
    windows.Enable(control::kCancelButton, false);
    windows.SetProgress(control::kRipProgressBar, 0);
  }
  if (services_.settings.ReadSetting(setting::kStartMinimised) == "0") windows.ShowAppWindow(kProgressWindow);
}

void AppWindows::BuildSettingsWindow() {
  WindowSystem& windows = services_.windows;
  if (!windows.CreateAppWindow(kSettingsWindow, "Settings - " + app_name_, 600, 300,
                               WindowPlacement::kOverActiveWindow)) {
    return;
  }
  windows.CreateControl(kSettingsWindow, control::kSettingsTabs, ControlKind::kTabPanel, "", 0, 0, 602, 301);
  windows.SetFont(control::kSettingsTabs, FontId::kRegular);
  windows.AddTab(control::kSettingsTabs, "Ripping");
  CreateControls(kSettingsWindow, control::kSourceDriveLabel, control::kAudioBoosterCheck);
  windows.SetText(control::kDestinationField, services_.settings.ReadSetting(setting::kDestination));
  windows.AddTab(control::kSettingsTabs, "Other");
  CreateControls(kSettingsWindow, control::kStartUpCheck, control::kClearHandBrakeOutputCheck);
  CreateControls(kSettingsWindow, control::kCopyFirstCheck, control::kKeepCopiesCheck);
  windows.AddTab(control::kSettingsTabs, "Titles");
  CreateControls(kSettingsWindow, control::kMainTitleRadio, control::kChapterMarkersCheck);
  EnableTitleLimits();
  // Shown as stored but never changeable: logon start is not offered here.
  windows.Enable(control::kStartUpCheck, false);
  windows.CloseTabPanel(control::kSettingsTabs);
  FillDriveList();
  FillPresetList();
  FillFileFormatList();
  services_.settings.SetShownSettings(this);
}

void AppWindows::BuildQueueWindow() {
  if (!services_.windows.CreateAppWindow(kQueueWindow, "Rip Queue - " + app_name_, 600, 360,
                                         WindowPlacement::kOverActiveWindow)) {
    return;
  }
  CreateControls(kQueueWindow, control::kQueueList, control::kRecentRipsList);
}

void AppWindows::BuildOutputWindow() {
  if (!services_.windows.CreateAppWindow(kOutputWindow, "HandBrake Output - " + app_name_, 600, 300,
                                         WindowPlacement::kCentredOnScreen)) {
    return;
  }
  CreateControls(kOutputWindow, control::kOutputList, control::kOutputList);
}

}  // namespace ripwarden
