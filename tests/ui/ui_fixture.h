#pragma once

#include <gtest/gtest.h>

#include "../rip/engine_fixture.h"
#include "fakes/fake_tray.h"
#include "fakes/fake_window_system.h"
#include "ui/app_windows.h"
#include "ui/window_ids.h"

namespace ripwarden::testing {

// The windows over a recording window system and the engine's fakes.
class UiTest : public EngineTest {
 protected:
  std::string Setting(const std::string& group, const std::string& key) {
    return settings.ReadSetting(group, key);
  }
  void BuildAll() {
    ui.BuildProgressWindow();
    ui.BuildSettingsWindow();
    ui.BuildOutputWindow();
  }
  FakeWindowSystem::Control& Control(int id) { return windows.control(id); }

  FakeWindowSystem windows;
  FakeFolderDialog folders;
  FakeMessageBoxes boxes;
  AppWindows ui{{windows, folders, settings, presets, files, drives, autostart, engine, paths, boxes},
                "Ripwarden",
                kPresets};
};

}  // namespace ripwarden::testing
