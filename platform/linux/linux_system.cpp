// The Linux services of the program, made in one place.
#include "platform/linux/av_media_probe.h"
#include "platform/linux/flock_instance_lock.h"
#include "platform/linux/linux_drives.h"
#include "platform/linux/linux_files.h"
#include "platform/linux/linux_working_directory.h"
#include "platform/linux/local_calendar.h"
#include "platform/linux/monotonic_clock.h"
#include "platform/linux/posix_path_rules.h"
#include "platform/linux/posix_process_runner.h"
#include "platform/linux/stop_signals.h"
#include "platform/linux/xdg_autostart.h"
#include "platform/linux/xdg_user_environment.h"
#include "platform/system.h"

namespace ripwarden {

namespace {

class LinuxSystem final : public System {
 public:
  explicit LinuxSystem(const std::vector<std::string>& defaults_fallbacks) : user_(defaults_fallbacks) {}

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
            .media_probe = &media_probe_};
  }
  WaitHandle StopRequestHandle() override { return linux_platform::StopSignalDescriptor(); }
  bool TakeStopRequest() override { return linux_platform::DrainStopSignals(); }
  WaitHandle OutputHandle(ChildProcess process) override { return processes_.OutputDescriptor(process); }

 private:
  linux_platform::LinuxWorkingDirectory working_directory_;
  linux_platform::LinuxFiles files_;
  linux_platform::LinuxDrives drives_;
  linux_platform::PosixProcessRunner processes_;
  linux_platform::MonotonicClock clock_;
  linux_platform::LocalCalendar calendar_;
  linux_platform::XdgAutostart autostart_;
  linux_platform::PosixPathRules paths_;
  linux_platform::XdgUserEnvironment user_;
  linux_platform::FlockInstanceLock lock_{linux_platform::InstanceLockPath(user_.StateFolder())};
  linux_platform::AvMediaProbe media_probe_;
};

}  // namespace

std::unique_ptr<System> MakeSystem(const std::vector<std::string>& defaults_fallbacks) {
  return std::make_unique<LinuxSystem>(defaults_fallbacks);
}

void CatchStopRequests() { linux_platform::CatchStopSignals(); }

}  // namespace ripwarden
