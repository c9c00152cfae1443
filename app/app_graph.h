#pragma once

#include <string>

#include "app/application.h"
#include "app/drive_menu.h"
#include "app/window_rip_view.h"
#include "config/presets.h"
#include "config/settings_store.h"
#include "platform/system.h"
#include "rip/encoder_dialect.h"
#include "rip/rip_engine.h"
#include "ui/app_windows.h"

namespace ripwarden {

// Every service the application takes from outside: the system's and the
// toolkit's.
struct PlatformServices {
  SystemServices system;
  WindowSystem& windows;
  FolderDialog& folders;
  Tray& tray;
  MessageBoxes& boxes;
};

// What the program decides for itself, unless a test decides otherwise.
struct AppSetup {
  std::string settings_path = kSettingsPath;
  std::string presets_path = kPresetsPath;
  // Null: the encoder itself is asked which options it takes.
  EncoderDialectSource* dialects = nullptr;
};

// The application's objects, wired once over the platform's services, for
// the program and for the tests that run the whole of it.
class AppGraph {
 public:
  explicit AppGraph(PlatformServices platform, AppSetup setup = {});
  AppGraph(const AppGraph&) = delete;
  AppGraph& operator=(const AppGraph&) = delete;

  PlatformServices platform;
  SettingsStore settings;
  Presets presets;
  // Asked of the encoder itself; used unless the setup gives other dialects.
  EncoderDialects asked_dialects;
  EncoderDialectSource& dialects;
  DriveMenu drive_menu;
  WindowRipView view;
  RipEngine engine;
  AppWindows ui;
  Application app;
};

}  // namespace ripwarden
