#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/error_log.h"
#include "platform/process_runner.h"
#include "platform/win32/pipe_reader.h"

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
class Win32ProcessRunner final : public ProcessRunner {
 public:
  static constexpr int kKilledExitCode = 128 + 9;

  Win32ProcessRunner();
  ~Win32ProcessRunner() override;
  Win32ProcessRunner(const Win32ProcessRunner&) = delete;
  Win32ProcessRunner& operator=(const Win32ProcessRunner&) = delete;

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

  // The event that is signalled when output (or its end) arrives from the
  // process, for a loop that sleeps until then; nullptr once the output has
  // ended or for a process not known. Only to wait on.
  void* OutputEvent(ChildProcess process);

  // The system's id of the process; 0 for one not known.
  std::uint32_t ProcessId(ChildProcess process);

  // Released processes not yet ended.
  std::size_t ReleasedCount() const { return released_.size(); }

 private:
  struct Record {
    void* process = nullptr;
    std::uint32_t pid = 0;
    void* input = nullptr;  // our end of the child's standard input
    std::unique_ptr<PipeReader> output;
    std::shared_ptr<ErrorLog> error_log;
    std::optional<int> status;  // set once ended
    bool interrupted = false;   // asked to stop
    bool killed = false;        // by KillProcess, and ended with its code
  };

  Record* Find(ChildProcess process);
  // Learns whether the process has ended, unless that is known already.
  void Refresh(Record& record);
  void CollectReleased();
  static void Forget(Record& record);

  void* job_ = nullptr;
  std::map<std::uint64_t, Record> records_;
  std::vector<Record> released_;
  std::uint64_t next_id_ = 1;
};

// The file CreateProcessW is given for program: a name without a folder is
// looked up as the system looks programs up (the search path), ".exe" added
// when it has no extension. Nothing when there is no such file.
std::optional<std::wstring> ResolveProgram(const std::string& program);

}  // namespace ripwarden::win32_platform
