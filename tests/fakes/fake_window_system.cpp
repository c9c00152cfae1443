#include "fakes/fake_window_system.h"

#include <algorithm>

namespace ripwarden::testing {

bool FakeWindowSystem::CreateAppWindow(int window_id, const std::string& title, int client_width,
                                       int client_height, WindowPlacement placement) {
  if (std::count(refuse_windows.begin(), refuse_windows.end(), window_id) != 0) return false;
  if (windows.count(window_id) != 0) return false;
  windows[window_id] = {title, client_width, client_height, placement};
  return true;
}

void FakeWindowSystem::ShowAppWindow(int window_id) {
  if (windows.count(window_id) == 0) return;
  windows[window_id].visible = true;
  ++windows[window_id].shown;
}

void FakeWindowSystem::HideAppWindow(int window_id) {
  if (windows.count(window_id) != 0) windows[window_id].visible = false;
}

void FakeWindowSystem::BringToFront(int window_id) {
  if (windows.count(window_id) != 0) ++windows[window_id].raised;
}

bool FakeWindowSystem::IsWindowVisible(int window_id) {
  return windows.count(window_id) != 0 && windows[window_id].visible;
}

bool FakeWindowSystem::CreateControl(int window_id, int control_id, ControlKind kind, const std::string& text,
                                     int x, int y, int width, int height) {
  if (windows.count(window_id) == 0 || controls.count(control_id) != 0) return false;
  Control created;
  created.window = window_id;
  created.kind = kind;
  created.text = text;
  created.x = x;
  created.y = y;
  created.width = width;
  created.height = height;
  created.tab = open_tab_;
  controls[control_id] = created;
  creation_order.push_back(control_id);
  return true;
}

void FakeWindowSystem::AddTab(int panel_id, const std::string& title) {
  if (Control* panel = Find(panel_id)) {
    panel->items.push_back(title);
    open_tab_ = title;
  }
}

void FakeWindowSystem::CloseTabPanel(int) { open_tab_.clear(); }

void FakeWindowSystem::SetFont(int control_id, FontId font) {
  if (Control* found = Find(control_id)) {
    found->has_font = true;
    found->font = font;
  }
}

void FakeWindowSystem::SetLabelFor(int label_id, int control_id) {
  if (Control* found = Find(control_id)) found->label = label_id;
}

void FakeWindowSystem::SetText(int control_id, const std::string& text) {
  if (Control* found = Find(control_id)) found->text = text;
}

std::string FakeWindowSystem::GetText(int control_id) {
  const Control* found = Find(control_id);
  return found != nullptr ? found->text : std::string();
}

void FakeWindowSystem::Enable(int control_id, bool enabled) {
  if (Control* found = Find(control_id)) found->enabled = enabled;
}

bool FakeWindowSystem::IsEnabled(int control_id) {
  const Control* found = Find(control_id);
  return found != nullptr && found->enabled;
}

void FakeWindowSystem::SetChecked(int control_id, bool checked) {
  if (Control* found = Find(control_id)) found->checked = checked;
}

bool FakeWindowSystem::IsChecked(int control_id) {
  const Control* found = Find(control_id);
  return found != nullptr && found->checked;
}

void FakeWindowSystem::SetProgress(int control_id, int value) {
  if (Control* found = Find(control_id)) found->progress = value;
}

void FakeWindowSystem::ClearItems(int control_id) {
  if (Control* found = Find(control_id)) {
    found->items.clear();
    found->selected = -1;
  }
}

void FakeWindowSystem::AppendItem(int control_id, const std::string& text) {
  if (Control* found = Find(control_id)) found->items.push_back(text);
}

void FakeWindowSystem::InsertItemAtTop(int control_id, const std::string& text) {
  if (Control* found = Find(control_id)) found->items.insert(found->items.begin(), text);
}

void FakeWindowSystem::RemoveItem(int control_id, int index) {
  Control* found = Find(control_id);
  if (found == nullptr || index < 0 || index >= static_cast<int>(found->items.size())) return;
  found->items.erase(found->items.begin() + index);
  if (found->selected == index) found->selected = -1;
  if (found->selected > index) --found->selected;
}

int FakeWindowSystem::ItemCount(int control_id) {
  const Control* found = Find(control_id);
  return found != nullptr ? static_cast<int>(found->items.size()) : 0;
}

std::string FakeWindowSystem::ItemText(int control_id, int index) {
  const Control* found = Find(control_id);
  if (found == nullptr || index < 0 || index >= static_cast<int>(found->items.size())) return {};
  return found->items[static_cast<std::size_t>(index)];
}

void FakeWindowSystem::SelectItem(int control_id, int index) {
  Control* found = Find(control_id);
  if (found == nullptr) return;
  found->selected = index >= 0 && index < static_cast<int>(found->items.size()) ? index : -1;
}

int FakeWindowSystem::SelectedItem(int control_id) {
  const Control* found = Find(control_id);
  return found != nullptr ? found->selected : -1;
}

std::optional<UiEvent> FakeWindowSystem::TakeEvent() {
  if (events.empty()) return std::nullopt;
  const UiEvent event = events.front();
  events.pop_front();
  return event;
}

FakeWindowSystem::Control* FakeWindowSystem::Find(int id) {
  const auto found = controls.find(id);
  return found == controls.end() ? nullptr : &found->second;
}

}  // namespace ripwarden::testing
