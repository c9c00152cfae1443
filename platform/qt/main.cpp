// The program: the platform's services wired to the application and driven
// by Qt's event loop, which sleeps until a window event, the next drive poll
// or (during a rip) the next look at the encoder's output is due.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <chrono>
#include <cstdlib>

#include "app/application.h"
#include "config/presets.h"
#include "config/settings_store.h"
#include "platform/linux/flock_instance_lock.h"
#include "platform/linux/linux_drives.h"
#include "platform/linux/linux_files.h"
#include "platform/linux/linux_working_directory.h"
#include "platform/linux/local_calendar.h"
#include "platform/linux/monotonic_clock.h"
#include "platform/linux/posix_process_runner.h"
#include "platform/linux/program_search.h"
#include "platform/linux/user_home.h"
#include "platform/linux/xdg_autostart.h"
#include "platform/qt/program_icon.h"
#include "platform/qt/qt_folder_dialog.h"
#include "platform/qt/qt_tray.h"
#include "platform/qt/qt_window_system.h"
#include "rip/encoder_dialect.h"
#include "rip/rip_engine.h"
#include "ui/app_windows.h"
#include "ui/window_ids.h"
#include "ui/window_rip_view.h"

namespace {

using namespace ripwarden;

int signal_pipe[2] = {-1, -1};

void OnStopSignal(int) {
  const char byte = 1;
  (void)!::write(signal_pipe[1], &byte, 1);
}

}  // namespace

int main(int argc, char** argv) {
  // Stopped by the system (logout, kill): the rip is cancelled and the
  // encoder stopped, so that no orphan goes on writing. Caught from the first
  // moment, so that a stop during start-up still ends the program cleanly.
  if (::pipe2(signal_pipe, O_CLOEXEC | O_NONBLOCK) == 0) {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(signal, &action, nullptr);
  }
  QApplication qt(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  QApplication::setApplicationName(kAppName);

  linux_platform::FlockInstanceLock lock(linux_platform::DefaultInstanceLockPath());
  linux_platform::LinuxWorkingDirectory working_directory;
  linux_platform::LinuxFiles files;
  linux_platform::LinuxDrives drives;
  linux_platform::PosixProcessRunner processes;
  linux_platform::MonotonicClock clock;
  linux_platform::LocalCalendar calendar;
  linux_platform::XdgAutostart autostart;
  qt_platform::QtWindowSystem windows;
  const QIcon icon = qt_platform::ProgramIcon();
  windows.SetWindowIcon(icon);
  QApplication::setWindowIcon(icon);
  qt_platform::QtFolderDialog folders(&windows);
  qt_platform::QtTray tray(icon);
  qt_platform::QtMessageBoxes boxes([&windows] { return windows.ActiveAppWindow(); });

  const std::string home = linux_platform::ResolveHome();
  const std::string defaults =
      linux_platform::ShippedDefaultsFolder({RIPWARDEN_INSTALLED_DATA, RIPWARDEN_SOURCE_DATA});
  SettingsStore settings(files, Charset::kUtf8, kSettingsPath, defaults + "/Settings.cfg");
  Presets presets(files);
  EncoderDialects dialects(processes, files, clock);
  WindowRipView view(windows, tray, boxes);
  RipState state;
  RipEngine engine(state, {settings, presets, drives, processes, files, clock, calendar, dialects, view},
                   kAppName);
  AppWindows ui({windows, folders, settings, presets, files, drives, autostart, engine}, kAppName);
  Application app({lock, working_directory, windows, tray, boxes, settings, state, engine, ui});

  // A new user starts from the shipped settings, ripping into their videos folder.
  bool fresh = false;
  if (lock.Acquire()) {
    lock.Release();
    fresh = linux_platform::InstallDefaults(home, defaults);
  }
  if (!app.Start(home)) return 0;
  if (fresh && settings.ReadSetting("Ripping", "Destination").empty()) {
    const std::string videos = linux_platform::VideosFolder();
    linux_platform::MakeFolders(videos);
    settings.WriteSetting("Ripping", "Destination", videos);
    windows.SetText(control::kDestinationField, videos);
  }
  // An encoder installed somewhere else than Debian puts it (a local build
  // in /usr/local/bin, say) is found on the search path.
  if (fresh && ::access(settings.ReadSetting("HandBrake", "Location").c_str(), X_OK) != 0) {
    const auto found = linux_platform::FindProgram("HandBrakeCLI", std::getenv("PATH"), "/");
    if (found) settings.WriteSetting("HandBrake", "Location", *found);
  }
  if (!app.has_tray()) {
    // The progress window is the way in: its context menu is the tray menu.
    QWidget* progress = windows.WindowWidget(kProgressWindow);
    if (progress != nullptr) {
      progress->setContextMenuPolicy(Qt::CustomContextMenu);
      QObject::connect(progress, &QWidget::customContextMenuRequested, [&tray, progress](const QPoint& at) {
        tray.Menu()->popup(progress->mapToGlobal(at));
      });
    }
  }

  QTimer turn;
  turn.setSingleShot(true);
  bool stopping = false;
  const auto run = [&] {
    // Take what is waiting, but give the windows back within a few
    // milliseconds however fast the encoder writes.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(8);
    do {
      app.RunOnce();
      if (app.quit_confirmed() || stopping) {
        QApplication::quit();
        return;
      }
    } while (engine.IsOutputWaiting() && std::chrono::steady_clock::now() < until);
    const bool busy = engine.IsOutputWaiting();
    const std::uint32_t next = state.RipInProgress == 1 ? 20 : engine.MillisecondsToNextPoll();
    turn.start(busy ? 0 : static_cast<int>(std::min<std::uint32_t>(next, 2500)));
  };
  QObject::connect(&turn, &QTimer::timeout, run);
  windows.SetEventQueuedHandler([&turn] { turn.start(0); });
  tray.SetEventQueuedHandler([&turn] { turn.start(0); });

  // A stop signal that came during start-up waits in the pipe until now.
  QSocketNotifier stop_notifier(signal_pipe[0], QSocketNotifier::Read);
  QObject::connect(&stop_notifier, &QSocketNotifier::activated, [&] {
    char drained[16];
    while (::read(signal_pipe[0], drained, sizeof drained) > 0) {
    }
    if (state.RipInProgress == 1) engine.CancelRip(true);
    tray.RemoveTrayIcon();
    lock.Release();
    stopping = true;
    turn.start(0);
  });

  turn.start(0);
  QApplication::exec();
  app.ReleaseResources();
  return 0;
}
