#include "config/setting_keys.h"
#include "config/text_helpers.h"
#include "ui/app_windows.h"
#include "ui/window_ids.h"

namespace ripwarden {

void AppWindows::FillDriveList() {
  WindowSystem& windows = services_.windows;
  windows.ClearItems(control::kSourceDriveList);
  windows.AppendItem(control::kSourceDriveList, "");
  windows.SelectItem(control::kSourceDriveList, 0);
  path_source_.clear();
  path_source_item_ = -1;

  const std::string stored = services_.settings.ReadSetting(setting::kSourceDrive);
  int item = 0;
  bool found = false;
  for (const std::string& entry : services_.drives.ListDrives()) {
    windows.AppendItem(control::kSourceDriveList, entry);
    ++item;
    if (TextField(entry, 1, ':') == stored) {
      windows.SelectItem(control::kSourceDriveList, item);
      found = true;
    }
  }
  if (item > 0 || stored == kEveryDrive) {
    windows.AppendItem(control::kSourceDriveList, std::string(kEveryDrive) + ": All drives");
    if (stored == kEveryDrive) {
      windows.SelectItem(control::kSourceDriveList, item + 1);
      found = true;
    }
    ++item;
  }
  // A disc image or a copied disc folder is no drive the system lists, nor
  // is a list of sources made in the file; each gets an entry of its own, or
  // merely looking at the list would erase it.
  if (!found &&
      (services_.paths.IsPathSource(stored) || stored.find(kSourceSeparator) != std::string::npos)) {
    const bool several = stored.find(kSourceSeparator) != std::string::npos;
    const auto volume = several ? std::nullopt : services_.drives.QueryVolume(stored);
    windows.AppendItem(control::kSourceDriveList, stored + ": " +
                                                      (several  ? "several sources"
                                                       : volume ? Trim(volume->label)
                                                                : ""));
    path_source_ = stored;
    path_source_item_ = ++item;
    windows.SelectItem(control::kSourceDriveList, item);
  }
}

std::string AppWindows::SelectedSource() {
  WindowSystem& windows = services_.windows;
  const int selected = windows.SelectedItem(control::kSourceDriveList);
  // A path may hold ":" itself, so its entry is not cut at the first one.
  return selected == path_source_item_ && selected >= 0
             ? path_source_
             : TextField(windows.ItemText(control::kSourceDriveList, selected), 1, ':');
}

void AppWindows::OnDriveListEvent() {
  StoreChange(control::kSourceDriveList, setting::kSourceDrive, SelectedSource());
}

void AppWindows::FillFileFormatList() {
  for (const char* format : {"AVI", "MKV", "MP4"}) {
    services_.windows.AppendItem(control::kFileFormatList, format);
  }
  for (int item = 0; item < 3; ++item) {
    if (services_.settings.ReadSetting(setting::kFileContainer) ==
        services_.windows.ItemText(control::kFileFormatList, item)) {
      services_.windows.SelectItem(control::kFileFormatList, item);
    }
  }
}

void AppWindows::FillPresetList() {
  WindowSystem& windows = services_.windows;
  windows.AppendItem(control::kQualityPresetList, "");
  windows.SelectItem(control::kQualityPresetList, 0);
  // A missing file is created empty for the user to fill; a read-only one is
  // still listed, as rips read it all the same.
  services_.files.CreateEmptyFile(presets_path_);
  const auto file = services_.files.OpenForReading(presets_path_);
  const auto content = file ? file->ReadAll() : std::nullopt;
  if (!content) return;
  int item = 0;
  for (const std::string& line : SplitPresetLines(*content)) {
    const std::string name = PresetName(line);
    windows.AppendItem(control::kQualityPresetList, name);
    ++item;
    if (services_.settings.ReadSetting(setting::kEncoding) == name) {
      windows.SelectItem(control::kQualityPresetList, item);
      ShowPresetFields(name, PresetValue(line));
    }
  }
}

void AppWindows::ShowPresetFields(const std::string& name, std::string value) {
  if (value.empty()) value = services_.presets.LookupPreset(name);
  WindowSystem& windows = services_.windows;
  windows.SetText(control::kVideoCodecField, GetPresetField(value, PresetField::kVideoCodec));
  windows.SetText(control::kVideoBitRateField, GetPresetField(value, PresetField::kVideoBitRate));
  windows.SetText(control::kAudioCodecField, GetPresetField(value, PresetField::kAudioCodec));
  windows.SetText(control::kAudioBitRateField, GetPresetField(value, PresetField::kAudioBitRate));
}

void AppWindows::OnPresetChosen() {
  WindowSystem& windows = services_.windows;
  const std::string name =
      windows.ItemText(control::kQualityPresetList, windows.SelectedItem(control::kQualityPresetList));
  if (name.empty()) return;
  ShowPresetFields(name, "");
  StoreChange(control::kQualityPresetList, setting::kEncoding, name);
}

}  // namespace ripwarden
