#include "app/application.h"

#include "app/first_run.h"
#include "config/setting_keys.h"
#include "ui/window_ids.h"

namespace ripwarden {

Application::Application(AppServices services) : services_(services) {}

bool Application::Start() {
  if (!services_.lock.Acquire()) {
    services_.boxes.ShowMessage(
        "Already Running",
        "Ripwarden is already running, you cannot run two instances simultaneously.\r\r"
        "If the other copy of Ripwarden is not responding please kill the process in the "
        "Task Manager.");
    return false;
  }
  const std::string home = services_.user.ProgramHome();
  FirstRun first_run{services_.files, services_.paths, services_.user};
  const bool fresh = first_run.InstallDefaults(home);
  services_.working_directory.SetWorkingDirectory(home);
  services_.ui.SetSettingsLocation(services_.settings.Location(services_.paths, home));
  if (fresh) first_run.CompleteSettings(services_.settings);
  services_.ui.BuildProgressWindow();
  services_.ui.BuildSettingsWindow();
  services_.ui.BuildOutputWindow();
  services_.ui.BuildQueueWindow();
  // Only the copy that holds the lock may touch what a rip leaves behind;
  // the queue window shows what it takes up again.
  services_.engine.SettleLeftovers();
  has_tray_ = services_.tray.AddTrayIcon(kAppName);
  BuildTrayMenu();
  // A program hidden with no tray icon could be neither seen nor quit.
  if (!has_tray_) services_.windows.ShowAppWindow(kProgressWindow);
  return true;
}

void Application::BuildTrayMenu() {
  Tray& tray = services_.tray;
  tray.AddMenuItem(menu::kRipProgress, "Rip Progress...");
  tray.AddMenuItem(menu::kRipQueue, "Rip Queue...");
  tray.AddMenuItem(menu::kSettings, "Settings...");
  tray.AddMenuItem(menu::kAbout, "About...");
  tray.AddMenuSeparator();
  tray.AddMenuItem(menu::kHandBrakeOutput, "HandBrake Output...");
  services_.drive_menu.Add(services_.engine.PolledSources());
  tray.AddMenuSeparator();
  tray.AddMenuItem(menu::kExit, "Exit");
}

void Application::RunOnce() {
  if (quitting_) {
    // Only the stopping encoder is looked after: no new rip may start.
    services_.engine.ContinueWork();
    services_.engine.ReadEncoderOutput();
    FinishQuit();
    return;
  }
  if (stop_requested_) {
    Quit();
    return;
  }
  if (auto event = services_.windows.TakeEvent()) {
    Dispatch(*event);
  } else if (auto tray_event = services_.tray.TakeEvent()) {
    Dispatch(*tray_event);
  }
  if (quitting_) return;
  services_.engine.PollDrive();
  services_.engine.ReadEncoderOutput();
  // A drive chosen, or plugged in while every drive is watched, gets its own entries.
  if (has_tray_ && !services_.drive_menu.IsLaidOutFor(services_.engine.PolledSources())) {
    services_.tray.ClearMenu();
    BuildTrayMenu();
  }
}

void Application::Dispatch(const UiEvent& event) {
  switch (event.kind) {
    case UiEvent::Kind::kControl:
      services_.ui.HandleControlEvent(event.id);
      break;
    case UiEvent::Kind::kMenu:
      OnMenuCommand(event.id);
      break;
    case UiEvent::Kind::kClose:
      if (event.id == kProgressWindow || event.id == kSettingsWindow || event.id == kOutputWindow ||
          event.id == kQueueWindow) {
        services_.windows.HideAppWindow(event.id);
      }
      break;
    case UiEvent::Kind::kTrayActivated:
    case UiEvent::Kind::kBalloonClicked:
      ShowAndRaise(kProgressWindow);
      break;
  }
}

void Application::ShowAndRaise(int window_id) {
  services_.windows.ShowAppWindow(window_id);
  services_.windows.BringToFront(window_id);
}

// The one watched drive; the first, should the setting name several.
std::string Application::SourceDrive() {
  const std::vector<std::string> sources = services_.engine.WatchedSources();
  return sources.empty() ? std::string() : sources.front();
}

void Application::OnMenuCommand(int item_id) {
  const std::string app = kAppName;
  switch (item_id) {
    case menu::kRipProgress:
      ShowAndRaise(kProgressWindow);
      break;
    case menu::kRipQueue:
      ShowAndRaise(kQueueWindow);
      break;
    case menu::kSettings:
      ShowAndRaise(kSettingsWindow);
      break;
    case menu::kHandBrakeOutput:
      ShowAndRaise(kOutputWindow);
      break;
    case menu::kAbout:
      services_.boxes.ShowMessage("About - " + app, app + " v" +
                                                        services_.settings.ReadSetting(setting::kVersion) +
                                                        ", for automating HandBrake to rip DVDs.");
      break;
    case menu::kExit:
      ConfirmQuit();
      break;
    default:
      if (const auto command = services_.drive_menu.CommandOf(item_id)) ForceDrive(*command);
      break;
  }
}

void Application::ForceDrive(const DriveMenu::Command& command) {
  const std::string app = kAppName;
  const bool one_drive = command.source.empty();
  const std::string source = one_drive ? SourceDrive() : command.source;
  if (command.load) {
    services_.tray.ShowBalloon(
        "Loading Drive...",
        "Attempting to load the specified drive... (if there is no media in the drive, "
        "this will do nothing.)",
        app, BalloonIcon::kInformation);
    services_.engine.LoadDrive(source);
    return;
  }
  // Of several drives, only a rip that reads this one fails when it opens.
  const bool rip_fails = one_drive ? services_.engine.IsRipping() : services_.engine.IsReadingDisc(source);
  if (rip_fails &&
      !services_.boxes.AskYesNo("Eject Drive - " + app,
                                "A DVD rip is in progress, if you continue the rip will fail.\r\rAre "
                                "you sure you want to force the drive to eject?")) {
    return;
  }
  services_.tray.ShowBalloon("Ejecting Drive...", "Attempting to eject the specified drive...", app,
                             BalloonIcon::kInformation);
  services_.engine.EjectDrive(source);
}

bool Application::ConfirmQuit() {
  const std::string app = kAppName;
  const bool ripping = services_.engine.IsRipping();
  const std::string question =
      ripping
          ? std::string(
                "A DVD rip is currently in progress, if you quit now you will stop the DVD rip and any "
                "more DVDs you insert will not be automatically ripped.\r\rAre you sure you want to quit?")
          : "If you quit " + app +
                ", any DVDs you insert will not be automatically ripped.\r\rAre you sure you want to quit?";
  if (!services_.boxes.AskYesNo("Quit - " + app, question)) return false;
  Quit();
  return true;
}

void Application::Quit() {
  if (quitting_) return;
  quitting_ = true;
  // As things stand now: a rip may have started or ended while the user
  // was being asked. Copies waiting or being encoded are kept for the next start.
  services_.engine.Shutdown();
  FinishQuit();
}

void Application::FinishQuit() {
  // The lock is held until the encoder is gone: a copy started meanwhile
  // would take its file for a dead run's.
  if (services_.engine.IsStopping()) return;
  services_.tray.RemoveTrayIcon();
  services_.lock.Release();
  quit_confirmed_ = true;
}

void Application::ReleaseResources() { services_.settings.Close(); }

}  // namespace ripwarden
