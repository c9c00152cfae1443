#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/process_runner_core.h"

namespace ripwarden::win32_platform {

// Child processes started with CreateProcessW and no console window. The
// child's standard output is an overlapped named pipe (a PipeReader), its
// standard input a pipe of ours, its standard error this process's own or a
// pipe that a thread copies into the error log; it inherits no other handle
// of ours.
//
// Every child runs in one job object of the runner's that kills what is left
// in it when the job's last handle closes: when the runner goes or this
// program ends in any way, no encoder runs on. A stop request is Ctrl+C on the
// child's own (windowless) console, on which the encoder's Windows build ends
// cleanly with exit code 1; it is sent once per process, as a second Ctrl+C
// may end the encoder at once. It needs a process without a console of its
// own, as the window program is, which ignores Ctrl+C from then on. "q" on
// the child's standard input goes too, for an encoder that reads its keys
// there. A kill is TerminateProcess, reported as the signal 9 that a kill is
// on Linux, so that the program reads the two alike.
//
// A process released by CloseProcess while it runs keeps its output drained
// until it ends. Not thread-safe: one thread uses a runner.
class Win32ProcessRunner final : public ProcessRunnerCore {
 public:
  static constexpr int kKilledExitCode = 128 + 9;

  Win32ProcessRunner();
  ~Win32ProcessRunner() override;
  Win32ProcessRunner(const Win32ProcessRunner&) = delete;
  Win32ProcessRunner& operator=(const Win32ProcessRunner&) = delete;

  // The event that is signalled when output (or its end) arrives from the
  // process, for a loop that sleeps until then; nullptr once the output has
  // ended or for a process not known. Only to wait on.
  void* OutputEvent(ChildProcess process);

  // The system's id of the process; 0 for one not known.
  std::uint32_t ProcessId(ChildProcess process);

 private:
  struct Process;

  Spawned Spawn(const std::string& program, const std::vector<std::string>& arguments,
                const std::string& working_folder, const ProcessOptions& options) override;
  Read ReadOutput(Child& child, char* buffer, std::size_t size, bool wait) override;
  std::size_t OutputInTransit(Child& child) override;
  std::optional<Ending> PollEnding(Child& child, bool killed) override;
  void AwaitOutput(Child& child, bool or_end, std::uint32_t timeout_ms) override;
  void Interrupt(Child& child) override;
  bool Kill(Child& child) override;

  void* job_ = nullptr;
};

// The file CreateProcessW is given for program: a name without a folder is
// looked up as the system looks programs up (the search path), ".exe" added
// when it has no extension. Nothing when there is no such file.
std::optional<std::wstring> ResolveProgram(const std::string& program);

}  // namespace ripwarden::win32_platform
