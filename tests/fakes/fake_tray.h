#pragma once

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/tray.h"

namespace ripwarden::testing {

class FakeTray final : public Tray {
 public:
  bool AddTrayIcon(const std::string& tip) override {
    if (!available) return false;
    icon_tip = tip;
    icon_shown = true;
    return true;
  }
  void RemoveTrayIcon() override { icon_shown = false; }
  void AddMenuItem(int item_id, const std::string& text) override {
    menu.push_back(std::string(depth_, '>') + text + " (" + std::to_string(item_id) + ")");
  }
  void AddMenuSeparator() override { menu.push_back(std::string(depth_, '>') + "-"); }
  void BeginSubmenu(const std::string& text) override {
    menu.push_back(std::string(depth_, '>') + text);
    ++depth_;
  }
  void EndSubmenu() override { --depth_; }
  void ClearMenu() override {
    menu.clear();
    greyed_items.clear();
    depth_ = 0;
  }
  void SetItemGreyed(int item_id, bool greyed) override { greyed_items[item_id] = greyed; }
  void ShowBalloon(const std::string& title, const std::string& text, const std::string& tip,
                   BalloonIcon icon) override {
    balloons.push_back(title + " | " + text + " | " + tip +
                       (icon == BalloonIcon::kError ? " | error" : " | info"));
  }
  std::optional<UiEvent> TakeEvent() override {
    if (events.empty()) return std::nullopt;
    const UiEvent event = events.front();
    events.pop_front();
    return event;
  }

  bool available = true;
  bool icon_shown = false;
  std::string icon_tip;
  std::vector<std::string> menu;  // entries, ">" once per submenu level
  std::map<int, bool> greyed_items;
  std::vector<std::string> balloons;
  std::deque<UiEvent> events;

 private:
  std::size_t depth_ = 0;
};

class FakeMessageBoxes final : public MessageBoxes {
 public:
  void ShowMessage(const std::string& title, const std::string& text) override {
    messages.push_back(title + " | " + text);
  }
  bool AskYesNo(const std::string& title, const std::string& text) override {
    questions.push_back(title + " | " + text);
    if (answers.empty()) return false;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::vector<std::string> messages;
  std::vector<std::string> questions;
  std::deque<bool> answers;
};

}  // namespace ripwarden::testing
