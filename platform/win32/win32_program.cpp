#include "platform/win32/win32_program.h"

#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <ole2.h>

#include <algorithm>
#include <string>

#include "app/application.h"
#include "config/presets.h"
#include "config/settings_store.h"
#include "platform/win32/data_home.h"
#include "platform/win32/mutex_instance_lock.h"
#include "platform/win32/registry_autostart.h"
#include "platform/win32/system_calendar.h"
#include "platform/win32/tick_clock.h"
#include "platform/win32/win32_drives.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_folder_dialog.h"
#include "platform/win32/win32_message_boxes.h"
#include "platform/win32/win32_process_runner.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/win32_tray.h"
#include "platform/win32/win32_window_system.h"
#include "platform/win32/win32_working_directory.h"
#include "rip/encoder_dialect.h"
#include "rip/rip_engine.h"
#include "ui/app_windows.h"
#include "ui/window_ids.h"
#include "ui/window_rip_view.h"

namespace ripwarden::win32_platform {

namespace {

constexpr std::uint32_t kLongestSleepMs = 2500;
constexpr std::uint32_t kEndedOutputLookMs = 20;

bool PrepareWindows() {
  INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_TAB_CLASSES |
                                                                 ICC_PROGRESS_CLASS | ICC_DATE_CLASSES |
                                                                 ICC_USEREX_CLASSES | ICC_INTERNET_CLASSES};
  ::InitCommonControlsEx(&classes);
  // The folder browser is made of COM objects, and takes drops.
  return SUCCEEDED(::OleInitialize(nullptr));
}

}  // namespace

struct Win32Program::Parts : WindowMessageFilter {
  bool com_ready = PrepareWindows();
  MutexInstanceLock lock;
  Win32WorkingDirectory working_directory;
  Win32Files files;
  Win32Drives drives;
  Win32ProcessRunner processes;
  TickClock clock;
  SystemCalendar calendar;
  RegistryAutostart autostart;
  Win32WindowSystem windows;
  Win32FolderDialog folders;
  Win32Tray tray{windows, kProgressWindow};
  Win32MessageBoxes boxes;

  std::string home = ResolveHome();
  std::string defaults = ShippedDefaultsFolder();
  SettingsStore settings{files, Charset::kUtf8, kSettingsPath, defaults + "\\Settings.cfg"};
  Presets presets{files};
  EncoderDialects dialects{processes, files, clock};
  WindowRipView view{windows, tray, boxes};
  RipState state;
  RipEngine engine{
      state, {settings, presets, drives, processes, files, clock, calendar, dialects, view}, kAppName};
  AppWindows ui{{windows, folders, settings, presets, files, drives, autostart, engine}, kAppName};
  Application app{{lock, working_directory, windows, tray, boxes, settings, state, engine, ui}};

  // A turn waiting on a question box: the session's end cannot run the way
  // out inside it.
  bool in_turn = false;
  std::function<void(std::uint32_t)> sleep_observer;

  Parts() { windows.AddMessageFilter(this); }
  ~Parts() override {
    windows.RemoveMessageFilter(this);
    if (com_ready) ::OleUninitialize();
  }

  void Turn() {
    in_turn = true;
    app.RunOnce();
    in_turn = false;
  }
  void Sleep();

  bool OnWindowMessage(HWND window, UINT message, WPARAM wparam, LPARAM, LRESULT* result) override {
    // The session ends: a rip is cancelled (its part file removed) and the
    // settings written, before the system ends the process.
    if (message != WM_ENDSESSION || wparam == FALSE || window != windows.WindowHandle(kProgressWindow)) {
      return false;
    }
    if (!in_turn && !app.quit_confirmed()) {
      app.Quit();
      app.ReleaseResources();
    }
    *result = 0;
    return true;
  }
};

void Win32Program::Parts::Sleep() {
  auto timeout = std::min<std::uint32_t>(engine.MillisecondsToNextPoll(), kLongestSleepMs);
  HANDLE output = nullptr;
  if (state.RipInProgress == 1 && state.EncoderProgram != kNoProcess) {
    output = processes.OutputEvent(state.EncoderProgram);
  }
  // Signalled with no line to take: output at its end, not yet seen as
  // such. Waiting on it would return at once, again and again.
  if (output != nullptr && ::WaitForSingleObject(output, 0) == WAIT_OBJECT_0) {
    output = nullptr;
    timeout = std::min<std::uint32_t>(timeout, kEndedOutputLookMs);
  }
  if (sleep_observer) sleep_observer(timeout);
  ::MsgWaitForMultipleObjectsEx(output != nullptr ? 1 : 0, output != nullptr ? &output : nullptr, timeout,
                                QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

Win32Program::Win32Program() : parts_(std::make_unique<Parts>()) {}

Win32Program::~Win32Program() = default;

Win32WindowSystem& Win32Program::windows() { return parts_->windows; }
Win32Tray& Win32Program::tray() { return parts_->tray; }

void Win32Program::SetSleepObserver(std::function<void(std::uint32_t)> observer) {
  parts_->sleep_observer = std::move(observer);
}

bool Win32Program::Start() {
  Parts& p = *parts_;
  // A new user starts from the shipped settings, ripping into their videos folder.
  bool fresh = false;
  if (p.lock.Acquire()) {
    p.lock.Release();
    fresh = !p.home.empty() && InstallDefaults(p.home, p.defaults);
  }
  if (!p.app.Start(p.home)) return false;
  if (fresh && p.settings.ReadSetting("Ripping", "Destination").empty()) {
    const std::string videos = VideosFolder();
    if (!videos.empty() && MakeFolders(videos)) {
      p.settings.WriteSetting("Ripping", "Destination", videos);
      p.windows.SetText(control::kDestinationField, videos);
    }
  }
  // An encoder installed elsewhere than its installer's default is found on
  // the search path.
  if (fresh && !ResolveProgram(p.settings.ReadSetting("HandBrake", "Location"))) {
    if (const auto found = ResolveProgram("HandBrakeCLI")) {
      p.settings.WriteSetting("HandBrake", "Location", Utf8(*found));
    }
  }
  return true;
}

int Win32Program::Run() {
  Parts& p = *parts_;
  while (!p.app.quit_confirmed()) {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        if (!p.app.quit_confirmed()) p.app.Quit();
        break;
      }
      p.windows.Dispatch(message);
    }
    if (p.app.quit_confirmed()) break;
    p.Turn();
    if (p.app.quit_confirmed()) break;
    // Events that came while a question was open are taken one a turn; a
    // fast encoder's lines likewise, each turn looking at the windows first.
    if (p.engine.IsOutputWaiting() || p.windows.HasEvents() || p.tray.HasEvents()) continue;
    p.Sleep();
  }
  p.app.ReleaseResources();
  return 0;
}

}  // namespace ripwarden::win32_platform
