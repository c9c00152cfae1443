#include "platform/win32/win32_program.h"

#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <ole2.h>

#include <string>
#include <vector>

#include "app/app_graph.h"
#include "app/turn_policy.h"
#include "platform/system.h"
#include "platform/win32/win32_folder_dialog.h"
#include "platform/win32/win32_message_boxes.h"
#include "platform/win32/win32_tray.h"
#include "platform/win32/win32_window_system.h"
#include "ui/window_ids.h"

namespace ripwarden::win32_platform {

namespace {

// Within the five seconds Windows gives a program to end with the session.
constexpr DWORD kSessionEndWaitMs = 4000;

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
  std::unique_ptr<System> system = MakeSystem({});
  Win32WindowSystem windows;
  Win32FolderDialog folders;
  Win32Tray tray{windows, kProgressWindow};
  Win32MessageBoxes boxes;
  AppGraph graph{
      {.system = system->services(), .windows = windows, .folders = folders, .tray = tray, .boxes = boxes}};
  Application& app = graph.app;
  RipEngine& engine = graph.engine;

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
      // The system ends the process once this returns: the encoder's stop is
      // waited for here, within the few seconds the session gives.
      const DWORD until = ::GetTickCount() + kSessionEndWaitMs;
      while (!app.quit_confirmed() && static_cast<LONG>(::GetTickCount() - until) < 0) {
        app.RunOnce();
        ::Sleep(10);
      }
      app.ReleaseResources();
    }
    *result = 0;
    return true;
  }
};

void Win32Program::Parts::Sleep() {
  // Every child's output wakes the loop: an encoder and a copier may run side by side.
  std::vector<HANDLE> outputs;
  bool output_end_unseen = false;
  for (const ChildProcess child : engine.ChildrenToWatch()) {
    const WaitHandle handle = system->OutputHandle(child);
    if (handle == kNoWaitHandle || outputs.size() + 1 >= MAXIMUM_WAIT_OBJECTS) continue;
    const auto output = reinterpret_cast<HANDLE>(handle);
    // Signalled with no line to take: output at its end, not yet seen as such.
    if (::WaitForSingleObject(output, 0) == WAIT_OBJECT_0) {
      output_end_unseen = true;
    } else {
      outputs.push_back(output);
    }
  }
  const std::uint32_t timeout = SleepMilliseconds(engine.MillisecondsToNextPoll(), output_end_unseen);
  if (sleep_observer) sleep_observer(timeout);
  ::MsgWaitForMultipleObjectsEx(static_cast<DWORD>(outputs.size()),
                                outputs.empty() ? nullptr : outputs.data(), timeout, QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
}

Win32Program::Win32Program() : parts_(std::make_unique<Parts>()) {}

Win32Program::~Win32Program() = default;

Win32WindowSystem& Win32Program::windows() { return parts_->windows; }
Win32Tray& Win32Program::tray() { return parts_->tray; }

void Win32Program::SetSleepObserver(std::function<void(std::uint32_t)> observer) {
  parts_->sleep_observer = std::move(observer);
}

bool Win32Program::Start() { return parts_->app.Start(); }

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
    // Each turn looks at the windows first: no batch of turns is needed.
    if (RunAgainNow({.output_waiting = p.engine.IsOutputWaiting(),
                     .events_queued = p.windows.HasEvents() || p.tray.HasEvents(),
                     .woken_during_turn = false})) {
      continue;
    }
    p.Sleep();
  }
  p.app.ReleaseResources();
  return 0;
}

}  // namespace ripwarden::win32_platform
