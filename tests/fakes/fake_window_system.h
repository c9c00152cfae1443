#pragma once

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/window_system.h"

namespace ripwarden::testing {

// Windows and controls as plain records, for tests of what the builders make
// and what the handlers change.
class FakeWindowSystem final : public WindowSystem {
 public:
  struct Window {
    std::string title;
    int width = 0;
    int height = 0;
    WindowPlacement placement = WindowPlacement::kOverActiveWindow;
    bool visible = false;
    int shown = 0;
    int raised = 0;
  };
  struct Control {
    int window = 0;
    ControlKind kind = ControlKind::kLabel;
    std::string text;
    int x = 0, y = 0, width = 0, height = 0;
    bool has_font = false;
    FontId font = FontId::kRegular;
    std::string tab;  // the tab page it was created on, if any
    int label = 0;    // the label naming it
    bool enabled = true;
    bool checked = false;
    int progress = 0;
    std::vector<std::string> items;
    int selected = -1;
  };

  // Windows that CreateAppWindow refuses.
  std::vector<int> refuse_windows;
  std::map<int, Window> windows;
  std::map<int, Control> controls;
  std::vector<int> creation_order;  // control ids
  std::deque<UiEvent> events;

  Control& control(int id) { return controls.at(id); }

  bool CreateAppWindow(int window_id, const std::string& title, int client_width, int client_height,
                       WindowPlacement placement) override;
  void ShowAppWindow(int window_id) override;
  void HideAppWindow(int window_id) override;
  void BringToFront(int window_id) override;
  bool IsWindowVisible(int window_id) override;
  bool CreateControl(int window_id, int control_id, ControlKind kind, const std::string& text, int x, int y,
                     int width, int height) override;
  void AddTab(int panel_id, const std::string& title) override;
  void CloseTabPanel(int panel_id) override;
  void SetFont(int control_id, FontId font) override;
  void SetLabelFor(int label_id, int control_id) override;
  void SetText(int control_id, const std::string& text) override;
  std::string GetText(int control_id) override;
  void Enable(int control_id, bool enabled) override;
  bool IsEnabled(int control_id) override;
  void SetChecked(int control_id, bool checked) override;
  bool IsChecked(int control_id) override;
  void SetProgress(int control_id, int value) override;
  void ClearItems(int control_id) override;
  void AppendItem(int control_id, const std::string& text) override;
  void InsertItemAtTop(int control_id, const std::string& text) override;
  void RemoveItem(int control_id, int index) override;
  int ItemCount(int control_id) override;
  std::string ItemText(int control_id, int index) override;
  void SelectItem(int control_id, int index) override;
  int SelectedItem(int control_id) override;
  std::optional<UiEvent> TakeEvent() override;

 private:
  Control* Find(int id);
  std::string open_tab_;
};

class FakeFolderDialog final : public FolderDialog {
 public:
  std::string PickFolder(const std::string& title, const std::string& initial_folder) override {
    asked.push_back(title + " | " + initial_folder);
    return answer;
  }
  std::string answer;
  std::vector<std::string> asked;
};

}  // namespace ripwarden::testing
