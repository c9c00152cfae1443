#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/autostart.h"
#include "platform/calendar.h"
#include "platform/clock.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "platform/instance_lock.h"
#include "platform/path_rules.h"
#include "platform/process_runner.h"
#include "platform/user_environment.h"
#include "platform/working_directory.h"

namespace ripwarden {

// The operating system's services, as the core takes them.
struct SystemServices {
  InstanceLock& lock;
  WorkingDirectory& working_directory;
  Files& files;
  Drives& drives;
  ProcessRunner& processes;
  Clock& clock;
  Calendar& calendar;
  Autostart& autostart;
  const PathRules& paths;
  UserEnvironment& user;
  // Our own helper program, which copies discs and checks finished files;
  // empty when it is not installed.
  std::string helper_program;
};

// What an event loop waits on besides its windows: a descriptor on Linux.
using WaitHandle = std::intptr_t;
inline constexpr WaitHandle kNoWaitHandle = -1;

// The services of the system this program is built for, made by that
// system's one factory (MakeSystem, in platform/linux/ or platform/win32/).
class System {
 public:
  virtual ~System() = default;

  virtual SystemServices services() = 0;

  // Ready once the system asked the program to stop (see CatchStopRequests);
  // kNoWaitHandle when such requests cannot be caught.
  virtual WaitHandle StopRequestHandle() = 0;
  // True when a stop was asked since the last call; takes the request.
  virtual bool TakeStopRequest() = 0;
  // Ready while output of a running child waits to be read; kNoWaitHandle
  // once its output has ended.
  virtual WaitHandle OutputHandle(ChildProcess process) = 0;
};

// defaults_fallbacks: where the shipped settings may be when the program
// does not run from an installed tree.
std::unique_ptr<System> MakeSystem(const std::vector<std::string>& defaults_fallbacks);

// Catches the system's requests to stop from this moment on; one that comes
// before the event loop runs waits until it does. Call it first, before
// anything else is made.
void CatchStopRequests();

}  // namespace ripwarden
