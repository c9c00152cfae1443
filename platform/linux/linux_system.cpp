// The Linux services of the program, made in one place.
#include <unistd.h>

#include <string>

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

// The helper beside the program (a build tree, or an unpacked one), else
// where the package installs it.
std::string FindHelper() {
  char self[4096];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length > 0) {
    std::string beside(self, static_cast<std::size_t>(length));
    beside = beside.substr(0, beside.rfind('/') + 1) + "ripwarden-helper";
    if (access(beside.c_str(), X_OK) == 0) return beside;
  }
  return access(RIPWARDEN_INSTALLED_HELPER, X_OK) == 0 ? RIPWARDEN_INSTALLED_HELPER : "";
}

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
            .helper_program = helper_};
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
  std::string helper_ = FindHelper();
};

}  // namespace

std::unique_ptr<System> MakeSystem(const std::vector<std::string>& defaults_fallbacks) {
  return std::make_unique<LinuxSystem>(defaults_fallbacks);
}

void CatchStopRequests() { linux_platform::CatchStopSignals(); }

}  // namespace ripwarden
