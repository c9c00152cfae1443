#pragma once

#include "config/presets.h"
#include "config/settings_store.h"
#include "fakes/fake_autostart.h"
#include "fakes/fake_calendar.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_drives.h"
#include "fakes/fake_files.h"
#include "fakes/fake_instance_lock.h"
#include "fakes/fake_media_probe.h"
#include "fakes/fake_process_runner.h"
#include "fakes/fake_user_environment.h"
#include "fakes/fake_working_directory.h"
#include "platform/system.h"
#include "rip/rip_engine.h"

namespace ripwarden::testing {

// Services a test brings itself, real ones or stand-ins of its own, in place
// of the fakes; null keeps the fake.
struct OwnServices {
  Files* files = nullptr;
  Drives* drives = nullptr;
  ProcessRunner* processes = nullptr;
  Clock* clock = nullptr;
  Calendar* calendar = nullptr;
};

// A fake of every operating-system service. The path rules are the test's:
// the fake files keep POSIX paths, the Win32 windows want the system's.
struct FakeSystem {
  // With a probe, the helper program is there, and the fake runner answers
  // its checks from the probe.
  SystemServices services(const PathRules& paths, FakeMediaProbe* probe, OwnServices own = {}) {
    if (probe != nullptr) {
      processes.answer = [probe](const std::string& program, const std::vector<std::string>& arguments) {
        return program == FakeMediaProbe::kHelper ? probe->Answer(arguments) : std::nullopt;
      };
    }
    return {lock,
            working_directory,
            own.files != nullptr ? *own.files : files,
            own.drives != nullptr ? *own.drives : drives,
            own.processes != nullptr ? *own.processes : processes,
            own.clock != nullptr ? *own.clock : clock,
            own.calendar != nullptr ? *own.calendar : calendar,
            autostart,
            paths,
            user,
            probe != nullptr ? FakeMediaProbe::kHelper : ""};
  }

  FakeInstanceLock lock;
  FakeWorkingDirectory working_directory;
  FakeFiles files;
  FakeDrives drives;
  FakeProcessRunner processes;
  FakeClock clock{1000};
  FakeCalendar calendar;
  FakeAutostart autostart;
  FakeUserEnvironment user;
  FakeMediaProbe media_probe;
};

// What the engine takes: the system's services, and the parts every test
// makes itself.
inline RipServices EngineServices(const SystemServices& system, SettingsStore& settings, Presets& presets,
                                  EncoderDialectSource& dialects, RipView& view) {
  return {settings,        presets,  system.drives, system.processes, system.files, system.clock,
          system.calendar, dialects, view,          system.paths};
}

}  // namespace ripwarden::testing
