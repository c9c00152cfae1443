// The Win32 services of the program, made in one place.
#include <windows.h>

#include "platform/system.h"
#include "platform/win32/data_home.h"
#include "platform/win32/mutex_instance_lock.h"
#include "platform/win32/registry_autostart.h"
#include "platform/win32/system_calendar.h"
#include "platform/win32/tick_clock.h"
#include "platform/win32/win32_drives.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_path_rules.h"
#include "platform/win32/win32_process_runner.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/win32_working_directory.h"

namespace ripwarden {

namespace {

class Win32UserEnvironment final : public UserEnvironment {
 public:
  std::string ProgramHome() override { return win32_platform::ResolveHome(); }
  std::string ShippedDefaultsFolder() override { return win32_platform::ShippedDefaultsFolder(); }
  std::string StateFolder() override { return win32_platform::ResolveStateFolder(); }
  std::string VideosFolder() override { return win32_platform::VideosFolder(); }
  bool IsRunnable(const std::string& path) override {
    return win32_platform::ResolveProgram(path).has_value();
  }
  std::optional<std::string> FindOnSearchPath(const std::string& name) override {
    const auto found = win32_platform::ResolveProgram(name);
    if (!found) return std::nullopt;
    return win32_platform::Utf8(*found);
  }
};

// The helper is installed beside the program.
std::string FindHelper() {
  const std::wstring self = win32_platform::Wide(win32_platform::RunningProgramPath());
  const std::wstring helper = self.substr(0, self.find_last_of(L"\\/") + 1) + L"RipwardenHelper.exe";
  const DWORD attributes = ::GetFileAttributesW(helper.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return {};
  return win32_platform::Utf8(helper);
}

class Win32System final : public System {
 public:
  SystemServices services() override {
    return {.lock = lock_,
            .working_directory = working_directory_,
            .files = files_,
            .drives = drives_,
            .processes = processes_,
            .clock = clock_,
            .calendar = calendar_,
            .autostart = autostart_,
            .paths = paths_,
            .user = user_,
            .helper_program = helper_};
  }
  // Windows ends a session with window messages, which the loop takes itself.
  WaitHandle StopRequestHandle() override { return kNoWaitHandle; }
  bool TakeStopRequest() override { return false; }
  WaitHandle OutputHandle(ChildProcess process) override {
    HANDLE event = processes_.OutputEvent(process);
    return event == nullptr ? kNoWaitHandle : reinterpret_cast<WaitHandle>(event);
  }

 private:
  win32_platform::MutexInstanceLock lock_;
  win32_platform::Win32WorkingDirectory working_directory_;
  win32_platform::Win32Files files_;
  win32_platform::Win32Drives drives_;
  win32_platform::Win32ProcessRunner processes_;
  win32_platform::TickClock clock_;
  win32_platform::SystemCalendar calendar_;
  win32_platform::RegistryAutostart autostart_;
  win32_platform::Win32PathRules paths_;
  Win32UserEnvironment user_;
  std::string helper_ = FindHelper();
};

}  // namespace

std::unique_ptr<System> MakeSystem(const std::vector<std::string>&) {
  return std::make_unique<Win32System>();
}

void CatchStopRequests() {}

}  // namespace ripwarden
