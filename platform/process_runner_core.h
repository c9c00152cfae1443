#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/error_log.h"
#include "platform/output_lines.h"
#include "platform/process_runner.h"

namespace ripwarden {

// What every system's ProcessRunner does alike: the references and their
// records, the output cut into lines, the error log, the wait for an end,
// and the released processes drained until they end. A subclass supplies
// the system's calls on one child at a time.
//
// A released process keeps its output drained (so that it neither blocks nor
// fails on its next write) and is collected by a later call on the runner.
// Not thread-safe: one thread uses a runner.
class ProcessRunnerCore : public ProcessRunner {
 public:
  ~ProcessRunnerCore() override;
  ProcessRunnerCore(const ProcessRunnerCore&) = delete;
  ProcessRunnerCore& operator=(const ProcessRunnerCore&) = delete;

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

  // Released processes not yet ended.
  std::size_t ReleasedCount() const { return released_.size(); }

 protected:
  // The system's handles on one process; they close when it goes, leaving
  // the process itself to run on.
  struct Child {
    virtual ~Child() = default;
  };
  struct Spawned {
    static Spawned Failed(std::string why) { return {nullptr, std::move(why), nullptr}; }
    std::unique_ptr<Child> child;  // none when the start failed
    std::string failure;           // then why, in the system's words
    std::shared_ptr<ErrorLog> error_log;
  };
  struct Ending {
    static Ending Exited(int code) { return {code, std::nullopt}; }
    static Ending Signalled(int number) { return {-1, number}; }
    int exit_code = -1;         // -1 when the system could not say
    std::optional<int> signal;  // set when a signal ended the process
  };
  struct Read {
    std::size_t bytes = 0;
    bool ended = false;  // the output has ended or cannot be read any more
  };

  // output_end_grace_ms: how long the end of a child's output may lag behind
  // the end of the child where the system reports the two apart.
  explicit ProcessRunnerCore(std::uint32_t output_end_grace_ms = 0);

  virtual Spawned Spawn(const std::string& program, const std::vector<std::string>& arguments,
                        const std::string& working_folder, const ProcessOptions& options) = 0;
  // Reads at most size bytes of output. Without wait only what has arrived,
  // perhaps none; with wait until some arrive or the output ends.
  virtual Read ReadOutput(Child& child, char* buffer, std::size_t size, bool wait) = 0;
  // Bytes that have arrived and that ReadOutput has not yet handed out.
  virtual std::size_t OutputInTransit(Child& child) = 0;
  // Nothing while the process runs. Asked again only for a released process.
  virtual std::optional<Ending> PollEnding(Child& child, bool killed) = 0;
  // Returns once output arrives, or with or_end once the process ends, or
  // after at most timeout_ms; it may return sooner.
  virtual void AwaitOutput(Child& child, bool or_end, std::uint32_t timeout_ms) = 0;
  virtual void Interrupt(Child& child) = 0;
  // True when the process was made to end.
  virtual bool Kill(Child& child) = 0;
  // The output of a released process has ended: its handle can go before
  // the process does.
  virtual void DropOutput(Child&) {}

  // The child known by this reference, or nullptr.
  Child* Known(ChildProcess process);
  // The known child whose output has not yet ended, after taking what has
  // arrived; nullptr otherwise.
  Child* Flowing(ChildProcess process);
  // For a destructor: waits at most `most` for the killed processes to end,
  // collecting them.
  void AwaitKilled(std::chrono::milliseconds most);
  // For a destructor: lets go of every handle at once.
  void ForgetAll();

 private:
  struct Record {
    std::unique_ptr<Child> child;
    OutputLines lines;
    bool output_ended = false;
    bool killed = false;
    std::optional<Ending> ending;
    std::shared_ptr<ErrorLog> error_log;
  };
  struct Released {
    std::unique_ptr<Child> child;
    bool output_ended = false;
    bool killed = false;
  };

  Record* Find(ChildProcess process);
  // Learns whether the process has ended, unless that is known already.
  void Refresh(Record& record);
  // Takes what fits among the held lines, or (without lines) reads and drops
  // it. With overflow, output that does not fit is dropped, so that a
  // process being waited for can go on writing and end.
  void Drain(Child& child, bool& output_ended, OutputLines* lines, bool overflow = false);
  void Release(Record& record);
  void CollectReleased();

  const std::uint32_t output_end_grace_ms_;
  std::map<std::uint64_t, Record> records_;
  std::vector<Released> released_;
  std::uint64_t next_id_ = 1;
  std::string start_failure_;
};

}  // namespace ripwarden
