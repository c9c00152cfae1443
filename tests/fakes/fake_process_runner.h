#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/output_lines.h"
#include "platform/process_runner.h"

namespace ripwarden::testing {

// Processes that exist only in the test: the test writes their output and
// ends them. Output is cut into lines by the same rules as real processes.
// A ReadOutputLine that a real runner would have to wait in (a half line,
// the process still running) fails the current test.
class FakeProcessRunner final : public ProcessRunner {
 public:
  struct Process {
    std::string program;
    std::vector<std::string> arguments;
    std::string working_folder;
    ProcessOptions options;

    std::deque<std::string> unread;  // each entry is what one read delivers
    OutputLines lines;
    bool output_ended = false;
    std::optional<int> exit_code;
    int ending_signal = 0;           // set when a signal ended it
    bool exits_on_interrupt = true;  // with code 1, as the encoder does
    int interrupts = 0;
    bool killed = false;
    bool closed = false;
  };

  // What a process answered at once gives: its whole output and exit code.
  struct Answer {
    std::string output;
    int exit_code = 0;
  };
  // Consulted at each start: a process it answers for has ended with the
  // answer before its start returns, and is not listed in started().
  std::function<std::optional<Answer>(const std::string& program, const std::vector<std::string>& arguments)>
      answer;

  // The next StartProcess fails, as for a missing program, for this reason.
  void FailNextStart(std::string reason = "No such file or directory") {
    fail_next_start_ = std::move(reason);
  }
  // Output arriving from the process; each call is delivered by one read.
  void Output(ChildProcess process, std::string bytes);
  // The process ends with this code; its output ends with it.
  void Exit(ChildProcess process, int code);

  // Every process started, in order, closed ones included.
  const std::vector<ChildProcess>& started() const { return started_; }
  ChildProcess last_started() const { return started_.empty() ? kNoProcess : started_.back(); }
  // Any process ever started, closed ones included.
  Process& process(ChildProcess process);
  int start_attempts() const { return start_attempts_; }

  ChildProcess StartProcess(const std::string& program, const std::vector<std::string>& arguments,
                            const std::string& working_folder) override;
  ChildProcess StartProcessWithOptions(const std::string& program, const std::vector<std::string>& arguments,
                                       const std::string& working_folder,
                                       const ProcessOptions& options) override;
  std::string StartFailure() const override { return start_failure_; }
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

 private:
  Process* Known(ChildProcess process);
  // What a real runner does on every question: take what the pipe holds.
  static void TakeArrived(Process& process);

  std::map<ChildProcess, std::unique_ptr<Process>> processes_;
  std::vector<ChildProcess> started_;
  std::uint64_t next_id_ = 1;
  int start_attempts_ = 0;
  std::optional<std::string> fail_next_start_;
  std::string start_failure_;
};

}  // namespace ripwarden::testing
