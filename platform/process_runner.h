#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ripwarden {

// A reference to a process started by a runner. References are never reused,
// so one kept after CloseProcess is simply unknown from then on.
enum class ChildProcess : std::uint64_t {};
inline constexpr ChildProcess kNoProcess{0};

// How a child is started beyond its program, arguments and working folder.
struct ProcessOptions {
  // The folder the child keeps its temporary files in (TMPDIR, or TEMP and
  // TMP on Windows); empty leaves it the caller's.
  std::string temp_folder;
  // A file made anew that receives the child's standard error, at most
  // kMostErrorLogBytes of it, from its start and its end; empty leaves standard error the caller's. It is
  // read on a thread of the runner's, so a chatty child never waits on it,
  // and it is whole once the runner reports the process ended.
  std::string error_log;
};
inline constexpr std::size_t kMostErrorLogBytes = std::size_t{8} << 20;

// Starts a program with its standard output captured and hands that output
// out line by line to one polling thread. Every operation accepts any
// reference: on one that is not known it does nothing and reports nothing
// running, no output and no exit code.
class ProcessRunner {
 public:
  virtual ~ProcessRunner() = default;

  // Starts program with each argument passed as it stands (no shell, no
  // splitting). An empty working folder keeps the caller's. kNoProcess when
  // the program or the working folder is missing or the start fails.
  virtual ChildProcess StartProcess(const std::string& program, const std::vector<std::string>& arguments,
                                    const std::string& working_folder) = 0;

  // StartProcess with options. Runners that cannot honour them start the
  // process as StartProcess does.
  virtual ChildProcess StartProcessWithOptions(const std::string& program,
                                               const std::vector<std::string>& arguments,
                                               const std::string& working_folder, const ProcessOptions&) {
    return StartProcess(program, arguments, working_folder);
  }

  // Why the last start that gave kNoProcess failed, in the system's own words
  // ("No such file or directory"); empty after a start that worked.
  virtual std::string StartFailure() const = 0;

  // The reference itself while the runner knows it, otherwise kNoProcess.
  virtual ChildProcess IsProcessKnown(ChildProcess process) = 0;

  // Bytes of output that can be taken without waiting for the process.
  virtual std::int32_t AvailableOutput(ChildProcess process) = 0;

  // True when ReadOutputLine would return a line at once: a line end has
  // arrived, a line has reached its longest, or the output has ended with
  // text still held. Never waits.
  virtual bool IsLineWaiting(ChildProcess process) = 0;

  // The next line without its line end. A line ends at CR LF, a lone CR or a
  // lone LF; LF CR is two line ends. Text after a NUL byte is dropped up to
  // the line end, and so is text beyond OutputLines::kLongestLine bytes. Waits
  // while the output stops in the middle of a line; at the end of the output
  // returns what is left, possibly empty. At most OutputLines::kMostHeld bytes
  // are held: beyond them output waits in the process until lines are taken.
  virtual std::string ReadOutputLine(ChildProcess process) = 0;

  // True while the process runs and afterwards until all of its output has
  // been taken.
  virtual bool IsProcessRunning(ChildProcess process) = 0;

  // Once the process has ended by itself: its exit code (-1 when the system
  // could not say). Nothing while it runs, or when a signal ended it.
  virtual std::optional<int> ExitCode(ChildProcess process) = 0;

  // Once a signal has ended the process: the signal's number. Nothing while it
  // runs, when it exited by itself, or where the system has no signals.
  virtual std::optional<int> EndingSignal(ChildProcess) { return std::nullopt; }

  // Waits at most timeout_ms for the process to end; true when it has. Output
  // that arrives meanwhile is kept for ReadOutputLine up to the most held, and
  // dropped beyond it, so a process blocked on a full pipe can still finish.
  virtual bool WaitForExit(ChildProcess process, std::uint32_t timeout_ms) = 0;

  // Asks the process to stop (SIGINT: the encoder then finishes cleanly with
  // exit code 1). Does not wait.
  virtual void InterruptProcess(ChildProcess process) = 0;

  // Ends the process at once (SIGKILL). Does not wait.
  virtual void KillProcess(ChildProcess process) = 0;

  // Forgets the reference and drops unread output. The process itself is not
  // stopped; the runner still collects it when it ends.
  virtual void CloseProcess(ChildProcess process) = 0;
};

}  // namespace ripwarden
