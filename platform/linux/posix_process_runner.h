#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/error_log.h"
#include "platform/output_lines.h"
#include "platform/process_runner.h"

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
class PosixProcessRunner final : public ProcessRunner {
 public:
  PosixProcessRunner() = default;
  ~PosixProcessRunner() override;
  PosixProcessRunner(const PosixProcessRunner&) = delete;
  PosixProcessRunner& operator=(const PosixProcessRunner&) = delete;

  ChildProcess StartProcess(const std::string& program, const std::vector<std::string>& arguments,
                            const std::string& working_folder) override;
  ChildProcess StartProcessWithOptions(const std::string& program, const std::vector<std::string>& arguments,
                                       const std::string& working_folder,
                                       const ProcessOptions& options) override;
  ChildProcess IsProcessKnown(ChildProcess process) override;
  std::int32_t AvailableOutput(ChildProcess process) override;
  bool IsLineWaiting(ChildProcess process) override;
  std::string ReadOutputLine(ChildProcess process) override;
  bool IsProcessRunning(ChildProcess process) override;
  std::optional<int> ExitCode(ChildProcess process) override;
  std::optional<int> EndingSignal(ChildProcess process) override;
  bool WaitForExit(ChildProcess process, std::uint32_t timeout_ms) override;
  void InterruptProcess(ChildProcess process) override;
  void KillProcess(ChildProcess process) override;
  void CloseProcess(ChildProcess process) override;

  // The descriptor that becomes readable when output (or its end) arrives
  // from the process, for a loop that sleeps until then; -1 once the output
  // has ended or for a process not known. Only to watch: reading stays with
  // the runner.
  int OutputDescriptor(ChildProcess process);

  // Released processes not yet collected.
  std::size_t ReleasedCount() const { return released_.size(); }

 private:
  struct Record {
    pid_t pid = 0;
    int output = -1;  // read end of the pipe, non-blocking
    bool output_ended = false;
    bool killed = false;
    std::optional<int> status;  // set once collected
    OutputLines lines;
    std::shared_ptr<ErrorLog> error_log;
  };
  struct Released {
    pid_t pid = 0;
    int output = -1;
    bool killed = false;
  };

  Record* Find(ChildProcess process);
  void CollectReleased();

  std::map<std::uint64_t, Record> records_;
  std::vector<Released> released_;
  std::uint64_t next_id_ = 1;
};

}  // namespace ripwarden::linux_platform
