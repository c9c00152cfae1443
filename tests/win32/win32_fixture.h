#pragma once

#include <gtest/gtest.h>

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <string>
#include <vector>

#include "../rip/engine_fixture.h"
#include "app/app_graph.h"
#include "fakes/fake_system.h"
#include "fakes/fake_tray.h"
#include "fakes/fake_window_system.h"
#include "platform/win32/win32_path_rules.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/win32_tray.h"
#include "platform/win32/win32_window_system.h"
#include "ui/window_ids.h"

inline bool operator==(const POINT& a, const POINT& b) { return a.x == b.x && a.y == b.y; }

namespace ripwarden::testing {

// The program's windows and tray on the real Win32 layer; the engine, the
// drives and the files are fakes. The shell is never called: its records
// are kept for the test to read.
class Win32WindowsTest : public ::testing::Test {
 protected:
  static constexpr const char* kSettings = "Data/Config/Settings.cfg";
  static constexpr const char* kPresets = "Data/Config/Presets.cfg";

  Win32WindowsTest() {
    files_.Put(
        kSettings,
        "[Ripping]\r\nSourceDrive = E\r\nDestination = C:\\Rips\\\r\nFileContainer = MP4\r\n"
        "Encoding = Normal\r\nTwoPass = 1\r\nAudioBooster = 0\r\nTitles = Main\r\nShortestTitle = 10\r\n"
        "LongestTitle = 0\r\nAudioLanguages = eng\r\nSubtitleLanguages = \r\nChapterMarkers = "
        "1\r\n[Other]\r\nStartUp = 0\r\n"
        "StartMinimised = 0\r\nAutoRip = 0\r\nEjectOnFinish = 1\r\nClearHandBrakeOutput = 0\r\n"
        "[HandBrake]\r\nLocation = C:\\HandBrake\\HandBrakeCLI.exe\r\n[Application]\r\n"
        "Version = 0.1.0\r\n");
    files_.Put(kPresets, "Normal=x264/1500/aac/160\nSmall=x264/900/aac/96\n");
    files_.PutFolder("C:\\Rips\\");
    drives_.AddDrive("D", "DVD-RW DRIVE");
    drives_.AddDrive("E");
    drives_.InsertDisc("E", {"UDF", "MY MOVIE"});
    INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX),
                                 ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&classes);
  }

  void Start() { ASSERT_TRUE(app_.Start()); }

  // Lets the system deliver what the user did, then hands it to the program.
  void Pump() {
    for (int turn = 0; turn < 20; ++turn) {
      MSG message;
      while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) windows_.Dispatch(message);
      app_.RunOnce();
    }
  }
  // A key pressed on a list that has the keyboard.
  void Press(int control_id, WPARAM key) {
    HWND control = windows_.ControlHandle(control_id);
    ::SetFocus(control);
    ::SendMessageW(control, WM_KEYDOWN, key, 0);
    ::SendMessageW(control, WM_KEYUP, key, 0);
    Pump();
  }

  std::string Setting(const std::string& group, const std::string& key) {
    return settings_.ReadSetting(group, key);
  }
  std::string SettingsText() { return files_.Content(kSettings).value_or(""); }

  static std::string WindowText(HWND window) {
    wchar_t text[512] = {};
    ::GetWindowTextW(window, text, 512);
    return win32_platform::Utf8(text);
  }
  static RECT PlaceInParent(HWND control) {
    RECT at{};
    ::GetWindowRect(control, &at);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(control), reinterpret_cast<POINT*>(&at), 2);
    return at;
  }
  POINT Corner(int window_id) {
    RECT at{};
    ::GetWindowRect(windows_.WindowHandle(window_id), &at);
    return {at.left, at.top};
  }
  std::vector<std::string> Items(int control_id) {
    std::vector<std::string> items;
    for (int i = 0; i < windows_.ItemCount(control_id); ++i)
      items.push_back(windows_.ItemText(control_id, i));
    return items;
  }

  FakeSystem system_;
  FakeFiles& files_ = system_.files;
  FakeDrives& drives_ = system_.drives;
  FakeProcessRunner& processes_ = system_.processes;
  FakeClock& clock_ = system_.clock;
  FixedDialect dialects_;
  win32_platform::Win32PathRules paths_;
  win32_platform::Win32WindowSystem windows_;
  FakeFolderDialog folders_;
  std::vector<std::pair<DWORD, NOTIFYICONDATAW>> shell_calls_;
  win32_platform::Win32Tray tray_{windows_, kProgressWindow, [this](DWORD message, NOTIFYICONDATAW* record) {
                                    shell_calls_.emplace_back(message, *record);
                                    return TRUE;
                                  }};
  FakeMessageBoxes boxes_;
  AppGraph graph_{{.system = system_.services(paths_, nullptr),
                   .windows = windows_,
                   .folders = folders_,
                   .tray = tray_,
                   .boxes = boxes_},
                  {.settings_path = kSettings, .presets_path = kPresets, .dialects = &dialects_}};
  SettingsStore& settings_ = graph_.settings;
  WindowRipView& view_ = graph_.view;
  RipEngine& engine_ = graph_.engine;
  Application& app_ = graph_.app;
};

}  // namespace ripwarden::testing
