#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "temp_folder.h"

namespace ripwarden::testing {

using namespace std::chrono_literals;

// One user's world for the program: a temporary folder holding their home
// (HOME, with XDG_CONFIG_HOME inside), a private runtime folder (so that the
// single-instance lock belongs to this test alone), the program's own home
// (RIPWARDEN_HOME) and a TMPDIR, all under sandbox/; beside it, logs/ for
// what the program prints, which it never sees.
class ProgramSandbox {
 public:
  ProgramSandbox();

  std::string sandbox() const { return temp_.Path("sandbox"); }
  std::string user_home() const { return temp_.Path("sandbox/user"); }
  std::string program_home() const { return temp_.Path("sandbox/ripwarden"); }
  std::string runtime() const { return temp_.Path("sandbox/runtime"); }
  std::string scratch() const { return temp_.Path("sandbox/tmp"); }
  std::string settings_file() const { return program_home() + "/Data/Config/Settings.cfg"; }
  std::string presets_file() const { return program_home() + "/Data/Config/Presets.cfg"; }
  std::string lock_file() const { return program_home() + "/State/ripwarden.lock"; }
  // The start of the names of a run's two log files.
  std::string Log(std::string_view name) const { return temp_.Path("logs/" + std::string(name)); }

  // Gives the program its settings and presets, as a user who set it up did.
  void WriteConfig(std::string_view settings, std::string_view presets) const;

  // The test's own environment with the folders above, for the Qt platform
  // named (offscreen, or xcb on the display and session bus the test runs
  // under). Offscreen, the program sees no session bus, so that a
  // developer's desktop does not get the tests' balloons.
  std::vector<std::string> Environment(const std::string& qt_platform) const;

 private:
  TempFolder temp_;
};

// The program started as a desktop session starts it: no arguments, no
// shell, standard input empty, what it prints going to log files. Killed and
// collected when the object goes, if it is still running. Another program
// (a stand-in service) may be named, with its arguments.
class RunningProgram {
 public:
  RunningProgram(const std::vector<std::string>& environment, std::string log_path,
                 std::vector<std::string> command = {});
  ~RunningProgram();
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  pid_t pid() const { return pid_; }
  bool HasEnded();
  // The exit code (128 + the signal when one ended it); nothing when it is
  // still running at the deadline.
  std::optional<int> WaitForExit(std::chrono::milliseconds timeout);
  void Signal(int signal) const;
  // What it printed on standard error, and on both, for failure messages.
  std::string ErrorOutput() const { return ReadFileBytes(log_path_ + ".stderr"); }
  std::string Printed() const { return ReadFileBytes(log_path_ + ".stdout") + ErrorOutput(); }

 private:
  pid_t pid_ = -1;
  std::optional<int> exit_code_;
  std::string log_path_;
};

// Polls until the condition holds; false if it still does not at the deadline.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
               std::chrono::milliseconds step = 50ms);

// Processes whose parent is `parent`, as /proc shows them (zombies included).
std::vector<pid_t> ChildrenOf(pid_t parent);
// The process's command name; empty once it is gone.
std::string CommandName(pid_t pid);
// Its arguments, the program's name first; empty once it is gone.
std::vector<std::string> CommandLine(pid_t pid);
// Running processes of that command name whose working folder or command
// line points into `folder`.
std::vector<pid_t> ProcessesInFolder(const std::string& command, const std::string& folder);
// Whether `pid` holds a flock() lock on `path`, read from /proc/locks, which
// unlike trying the lock cannot disturb the program.
bool HoldsFileLock(pid_t pid, const std::string& path);

// Every file and folder below `root`, by path relative to it.
std::set<std::string> FolderTree(const std::string& root);

}  // namespace ripwarden::testing
