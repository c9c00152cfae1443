#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/process_runner_core.h"

namespace ripwarden::linux_platform {

// Child processes started with posix_spawn. The child's standard output is a
// pipe, its standard input /dev/null; standard error and the environment are
// this process's unless the start's options say otherwise. It starts with default signal handling and no
// descriptor of ours beyond those three.
//
// Every process is collected with waitpid on its own pid: no SIGCHLD handler
// is installed. A process released by CloseProcess while it still runs keeps
// its pipe drained (so that it neither blocks nor dies of SIGPIPE on its next
// write) and is collected by a later call on this runner or by its
// destructor. Processes still running when the runner goes are left to the
// system: the destructor waits a little only for those it has killed.
//
// Not thread-safe: one thread uses a runner.
class PosixProcessRunner final : public ProcessRunnerCore {
 public:
  PosixProcessRunner() = default;
  ~PosixProcessRunner() override;
  PosixProcessRunner(const PosixProcessRunner&) = delete;
  PosixProcessRunner& operator=(const PosixProcessRunner&) = delete;

  // The descriptor that becomes readable when output (or its end) arrives
  // from the process, for a loop that sleeps until then; -1 once the output
  // has ended or for a process not known. Only to watch: reading stays with
  // the runner.
  int OutputDescriptor(ChildProcess process);

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
  void DropOutput(Child& child) override;
};

}  // namespace ripwarden::linux_platform
