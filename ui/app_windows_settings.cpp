#include <algorithm>

#include "config/setting_keys.h"
#include "config/start_with_windows.h"
#include "config/text_helpers.h"
#include "ui/app_windows.h"
#include "ui/control_table.h"
#include "ui/window_ids.h"

namespace ripwarden {

namespace {

constexpr std::size_t kMostDigits = 4;

bool IsRadioOf(const ControlSpec& spec, const SettingKey& setting) {
  return spec.kind == ControlKind::kRadioButton && spec.setting == &setting;
}

// The radio button that shows a stored value: the one that stores it, else
// the first of its run, so that a value none of them stores still shows one.
int ChosenRadio(const SettingKey& setting, const std::string& stored) {
  int chosen = 0;
  for (const ControlSpec& spec : AllControls()) {
    if (!IsRadioOf(spec, setting)) continue;
    if (spec.choice == stored) return spec.id;
    if (chosen == 0) chosen = spec.id;
  }
  return chosen;
}

bool IsLanguageList(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == ',' || c == ' ';
  });
}

}  // namespace

void AppWindows::ShowSetting(const ControlSpec& spec) {
  WindowSystem& windows = services_.windows;
  const std::string stored = services_.settings.ReadSetting(*spec.setting);
  switch (spec.kind) {
    case ControlKind::kCheckBox:
      windows.SetChecked(spec.id, TextToInteger(stored) != 0);
      break;
    case ControlKind::kRadioButton: {
      // The whole run: a refused choice must clear the one the user made.
      const int chosen = ChosenRadio(*spec.setting, stored);
      for (const ControlSpec& each : AllControls()) {
        if (IsRadioOf(each, *spec.setting)) windows.SetChecked(each.id, each.id == chosen);
      }
      break;
    }
    case ControlKind::kNumberField:
    case ControlKind::kTextField:
      windows.SetText(spec.id, stored);
      break;
    default:
      break;
  }
}

std::optional<std::string> AppWindows::ShownValue(const ControlSpec& spec) {
  WindowSystem& windows = services_.windows;
  switch (spec.kind) {
    case ControlKind::kCheckBox:
      return windows.IsChecked(spec.id) ? "1" : "0";
    case ControlKind::kRadioButton:
      if (windows.IsChecked(spec.id)) return spec.choice;
      return std::nullopt;
    case ControlKind::kNumberField: {
      // The field takes only digits as typed, but a pasted text is not typed.
      const std::string text = windows.GetText(spec.id);
      if (text.empty() || text.size() > kMostDigits ||
          !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
      }
      return std::to_string(TextToInteger(text));
    }
    case ControlKind::kTextField: {
      std::string text = Trim(windows.GetText(spec.id));
      if (!IsLanguageList(text)) return std::nullopt;
      return text;
    }
    default:
      return std::nullopt;
  }
}

void AppWindows::OnSettingControlEvent(int control_id) {
  const ControlSpec* spec = FindControl(control_id);
  if (spec == nullptr || spec->setting == nullptr) return;
  const std::optional<std::string> value = ShownValue(*spec);
  const bool stored = value && StoreChange(control_id, *spec->setting, *value);
  if (spec->kind == ControlKind::kRadioButton) EnableTitleLimits();
  if (stored && control_id == control::kStartUpCheck)
    SetStartWithWindows(services_.autostart, *value == "1" ? 1 : 0);
}

void AppWindows::EnableTitleLimits() {
  WindowSystem& windows = services_.windows;
  // The limits choose among a disc's titles; the main feature is one title.
  const bool every_title = windows.IsChecked(control::kAllTitlesRadio);
  windows.Enable(control::kShortestTitleField, every_title);
  windows.Enable(control::kLongestTitleField, every_title);
}

}  // namespace ripwarden
