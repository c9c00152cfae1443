#pragma once

#include <string>

#include "app/drive_menu.h"
#include "app/tray_menu.h"
#include "config/settings_store.h"
#include "platform/files.h"
#include "platform/instance_lock.h"
#include "platform/path_rules.h"
#include "platform/tray.h"
#include "platform/user_environment.h"
#include "platform/window_system.h"
#include "platform/working_directory.h"
#include "rip/rip_engine.h"
#include "ui/app_windows.h"

namespace ripwarden {

inline constexpr const char* kAppName = "Ripwarden";

struct AppServices {
  InstanceLock& lock;
  WorkingDirectory& working_directory;
  WindowSystem& windows;
  Tray& tray;
  DriveMenu& drive_menu;
  MessageBoxes& boxes;
  SettingsStore& settings;
  RipEngine& engine;
  AppWindows& ui;
  Files& files;
  const PathRules& paths;
  UserEnvironment& user;
};

// The program's spine: start-up, one turn of the main loop, the tray menu's
// commands and the way out.
class Application {
 public:
  explicit Application(AppServices services);

  // Takes the single-instance lock, gives a new user the shipped settings,
  // enters the program's home folder, builds the windows and the tray. False
  // when another copy runs: the user was told, and nothing was built.
  bool Start();
  // One turn: at most one user event, then the drive poll and one line of
  // encoder output. Once a stop was requested, the turn quits instead.
  void RunOnce();
  void OnMenuCommand(int item_id);
  // The Exit command; true once the user confirmed.
  bool ConfirmQuit();
  // The way out without asking (Exit confirmed, or a stop requested):
  // cancels a running rip and, once its encoder is gone (later turns go on
  // with it), lets go of the tray and the single-instance lock.
  void Quit();
  // The system asks the program to stop: the next turn quits without asking.
  void RequestStop() { stop_requested_ = true; }
  bool quit_confirmed() const { return quit_confirmed_; }
  // Writes back and closes what is still open.
  void ReleaseResources();
  // Without a notification area the progress window is the only way in.
  bool has_tray() const { return has_tray_; }

 private:
  void BuildTrayMenu();
  void FinishQuit();
  void Dispatch(const UiEvent& event);
  void ShowAndRaise(int window_id);
  std::string SourceDrive();
  void ForceDrive(const DriveMenu::Command& command);

  AppServices services_;
  bool has_tray_ = false;
  bool quitting_ = false;
  bool quit_confirmed_ = false;
  bool stop_requested_ = false;
};

}  // namespace ripwarden
