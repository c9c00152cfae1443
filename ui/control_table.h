#pragma once

#include <span>

#include "config/setting_keys.h"
#include "platform/window_system.h"

namespace ripwarden {

// One control as its window is built: everything but its content.
struct ControlSpec {
  int id;
  ControlKind kind;
  const char* text;
  int x, y, width, height;
  bool has_font;
  FontId font;
  // The setting a check box, radio button or typed field shows and stores;
  // null for other controls.
  const SettingKey* setting;
  // The label that names this control, or 0.
  int label_id;
  // What a radio button stores when chosen.
  const char* choice = nullptr;
};

// Every control of the three windows, in creation order.
std::span<const ControlSpec> AllControls();
const ControlSpec* FindControl(int id);

}  // namespace ripwarden
