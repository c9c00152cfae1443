#pragma once

#include <optional>
#include <string>

#include "config/presets.h"
#include "config/settings_store.h"
#include "platform/autostart.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "platform/path_rules.h"
#include "platform/tray.h"
#include "platform/window_system.h"
#include "rip/rip_engine.h"

namespace ripwarden {

struct ControlSpec;

struct UiServices {
  WindowSystem& windows;
  FolderDialog& folders;
  SettingsStore& settings;
  Presets& presets;
  Files& files;
  Drives& drives;
  Autostart& autostart;
  RipEngine& engine;
  const PathRules& paths;
  MessageBoxes& boxes;
};

// The program's windows: how they are built, and what their controls do.
class AppWindows final : public ShownSettings {
 public:
  AppWindows(UiServices services, std::string app_name, std::string presets_path = kPresetsPath);
  ~AppWindows() override;
  AppWindows(const AppWindows&) = delete;
  AppWindows& operator=(const AppWindows&) = delete;

  void BuildProgressWindow();
  void BuildSettingsWindow();
  void BuildOutputWindow();
  void BuildQueueWindow();

  // The one dispatcher of control events, by control id.
  void HandleControlEvent(int control_id);

  void FillDriveList();
  void FillFileFormatList();
  void FillPresetList();
  // Shows a preset's four fields; an empty value is looked up by name.
  void ShowPresetFields(const std::string& name, std::string value);
  void OnPresetChosen();
  void BrowseDestination();
  // The chosen folder as stored, or the empty text when cancelled.
  std::string ChooseFolder(const std::string& title, const std::string& initial_folder);
  // What the settings window shows, as the settings its controls write.
  std::vector<SettingValue> ShownValues() override;
  // The settings file as the user is told of it when a change cannot be kept.
  void SetSettingsLocation(std::string location) { settings_location_ = std::move(location); }

 private:
  void CreateControls(int window_id, int first_id, int last_id);
  void OnDriveListEvent();
  std::string SelectedSource();
  // A check box, radio button or typed field that holds a setting.
  void OnSettingControlEvent(int control_id);
  void ShowSetting(const ControlSpec& spec);
  // What the control stores as it stands; nothing for a radio button not
  // chosen or a field whose text the setting cannot take.
  std::optional<std::string> ShownValue(const ControlSpec& spec);
  void EnableTitleLimits();
  // Cancel, Retry or Remove for the job of the queue's selected row.
  void OnQueueButton(int control_id);
  // Stores a change made through a control; when it cannot be kept, the
  // control goes back to the value in force and the user is told. False then.
  bool StoreChange(int control_id, const SettingKey& setting, std::string_view value);
  void ShowStoredValue(int control_id);
  void TellChangeNotSaved(SettingWrite outcome);

  UiServices services_;
  std::string app_name_;
  std::string presets_path_;
  // A disc image or folder kept as a source of its own, and its list entry.
  std::string path_source_;
  int path_source_item_ = -1;
  std::string settings_location_;
  // Once per run: a file that stays read-only would otherwise ask at every click.
  bool told_not_saved_ = false;
};

}  // namespace ripwarden
