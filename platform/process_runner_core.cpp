#include "platform/process_runner_core.h"

#include <algorithm>
#include <climits>
#include <thread>

namespace ripwarden {

namespace {

// A process that floods its output must not hold one call forever.
constexpr std::size_t kMostDrainedPerCall = 1 << 20;
constexpr std::size_t kReadSize = 65536;

std::uint32_t MillisecondsUntil(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return static_cast<std::uint32_t>(std::max<std::int64_t>(left.count(), 0));
}

}  // namespace

ProcessRunnerCore::ProcessRunnerCore(std::uint32_t output_end_grace_ms)
    : output_end_grace_ms_(output_end_grace_ms) {}

ProcessRunnerCore::~ProcessRunnerCore() = default;

ChildProcess ProcessRunnerCore::StartProcess(const std::string& program,
                                             const std::vector<std::string>& arguments,
                                             const std::string& working_folder) {
  return StartProcessWithOptions(program, arguments, working_folder, {});
}

ChildProcess ProcessRunnerCore::StartProcessWithOptions(const std::string& program,
                                                        const std::vector<std::string>& arguments,
                                                        const std::string& working_folder,
                                                        const ProcessOptions& options) {
  CollectReleased();
  Spawned spawned = Spawn(program, arguments, working_folder, options);
  if (spawned.child == nullptr) {
    start_failure_ = std::move(spawned.failure);
    return kNoProcess;
  }
  start_failure_.clear();
  const std::uint64_t id = next_id_++;
  Record& record = records_[id];
  record.child = std::move(spawned.child);
  record.error_log = std::move(spawned.error_log);
  // Where reads are asynchronous this puts the first one in flight.
  Drain(*record.child, record.output_ended, &record.lines);
  return static_cast<ChildProcess>(id);
}

ProcessRunnerCore::Record* ProcessRunnerCore::Find(ChildProcess process) {
  CollectReleased();
  const auto found = records_.find(static_cast<std::uint64_t>(process));
  return found == records_.end() ? nullptr : &found->second;
}

ProcessRunnerCore::Child* ProcessRunnerCore::Known(ChildProcess process) {
  Record* record = Find(process);
  return record == nullptr ? nullptr : record->child.get();
}

ProcessRunnerCore::Child* ProcessRunnerCore::Flowing(ChildProcess process) {
  Record* record = Find(process);
  if (record == nullptr) return nullptr;
  Drain(*record->child, record->output_ended, &record->lines);
  return record->output_ended ? nullptr : record->child.get();
}

void ProcessRunnerCore::Refresh(Record& record) {
  if (record.ending) return;
  record.ending = PollEnding(*record.child, record.killed);
  if (!record.ending || output_end_grace_ms_ == 0) return;
  // Once, when the end is first seen: the output's end follows closely.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(output_end_grace_ms_);
  Drain(*record.child, record.output_ended, &record.lines);
  while (!record.output_ended && record.lines.Room() > 0) {
    const std::uint32_t left = MillisecondsUntil(deadline);
    if (left == 0) return;
    AwaitOutput(*record.child, false, left);
    Drain(*record.child, record.output_ended, &record.lines);
  }
}

void ProcessRunnerCore::Drain(Child& child, bool& output_ended, OutputLines* lines, bool overflow) {
  if (output_ended) return;
  const std::size_t limit =
      lines == nullptr || overflow ? kMostDrainedPerCall : std::min(lines->Room(), kMostDrainedPerCall);
  char chunk[kReadSize];
  for (std::size_t total = 0; total < limit;) {
    const Read got = ReadOutput(child, chunk, std::min(sizeof chunk, limit - total), false);
    if (lines != nullptr) lines->Hold({chunk, std::min(got.bytes, lines->Room())});
    total += got.bytes;
    if (got.ended) output_ended = true;
    if (got.ended || got.bytes == 0) return;
  }
}

ChildProcess ProcessRunnerCore::IsProcessKnown(ChildProcess process) {
  return Find(process) != nullptr ? process : kNoProcess;
}

std::int32_t ProcessRunnerCore::AvailableOutput(ChildProcess process) {
  Record* record = Find(process);
  if (record == nullptr) return 0;
  Drain(*record->child, record->output_ended, &record->lines);
  const std::size_t in_transit = record->output_ended ? 0 : OutputInTransit(*record->child);
  return static_cast<std::int32_t>(std::min<std::size_t>(in_transit + record->lines.HeldSize(), INT32_MAX));
}

bool ProcessRunnerCore::IsLineWaiting(ChildProcess process) {
  Record* record = Find(process);
  if (record == nullptr) return false;
  Drain(*record->child, record->output_ended, &record->lines);
  if (record->lines.HoldsLineEnd()) return true;
  // Asking the system may cost a round trip: only when no line is there anyway.
  Refresh(*record);
  return record->output_ended && record->lines.HeldSize() > 0;
}

std::string ProcessRunnerCore::ReadOutputLine(ChildProcess process) {
  Record* record = Find(process);
  if (record == nullptr) return {};
  std::string line = record->lines.NextLine([this, record](char* buffer, std::size_t size) -> std::size_t {
    if (record->output_ended) return 0;
    const Read got = ReadOutput(*record->child, buffer, size, true);
    if (got.ended) record->output_ended = true;
    return got.bytes;
  });
  // Keeps a read in flight for whoever sleeps until output arrives.
  Drain(*record->child, record->output_ended, &record->lines);
  return line;
}

bool ProcessRunnerCore::IsProcessRunning(ChildProcess process) {
  Record* record = Find(process);
  if (record == nullptr) return false;
  Refresh(*record);
  if (!record->ending) return true;
  Drain(*record->child, record->output_ended, &record->lines);
  const bool running =
      record->lines.HeldSize() > 0 || (!record->output_ended && OutputInTransit(*record->child) > 0);
  // A child that handed its standard error to a process of its own would
  // hold the log open: it is read as it stands after a moment.
  if (!running && record->error_log) {
    record->error_log->WaitUntilWhole(2000);
    record->error_log.reset();
  }
  return running;
}

std::optional<int> ProcessRunnerCore::ExitCode(ChildProcess process) {
  Record* record = Find(process);
  if (record != nullptr) Refresh(*record);
  if (record == nullptr || !record->ending || record->ending->signal) return std::nullopt;
  return record->ending->exit_code;
}

std::optional<int> ProcessRunnerCore::EndingSignal(ChildProcess process) {
  Record* record = Find(process);
  if (record != nullptr) Refresh(*record);
  if (record == nullptr || !record->ending) return std::nullopt;
  return record->ending->signal;
}

bool ProcessRunnerCore::WaitForExit(ChildProcess process, std::uint32_t timeout_ms) {
  Record* record = Find(process);
  if (record == nullptr) return false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (true) {
    Refresh(*record);
    if (record->ending) return true;
    const std::uint32_t left = MillisecondsUntil(deadline);
    if (left == 0) return false;
    AwaitOutput(*record->child, true, left);
    Drain(*record->child, record->output_ended, &record->lines, true);
  }
}

void ProcessRunnerCore::InterruptProcess(ChildProcess process) {
  Record* record = Find(process);
  if (record != nullptr) Refresh(*record);
  // Once ended, the system may already have given its id to another process.
  if (record != nullptr && !record->ending) Interrupt(*record->child);
}

void ProcessRunnerCore::KillProcess(ChildProcess process) {
  Record* record = Find(process);
  if (record != nullptr) Refresh(*record);
  if (record != nullptr && !record->ending && Kill(*record->child)) record->killed = true;
}

void ProcessRunnerCore::CloseProcess(ChildProcess process) {
  Record* record = Find(process);
  if (record == nullptr) return;
  Release(*record);
  records_.erase(static_cast<std::uint64_t>(process));
  CollectReleased();
}

void ProcessRunnerCore::Release(Record& record) {
  if (!record.ending) record.ending = PollEnding(*record.child, record.killed);
  if (!record.ending) released_.push_back({std::move(record.child), record.output_ended, record.killed});
}

void ProcessRunnerCore::CollectReleased() {
  std::erase_if(released_, [this](Released& released) {
    if (!released.output_ended) {
      Drain(*released.child, released.output_ended, nullptr);
      if (released.output_ended) DropOutput(*released.child);
    }
    return PollEnding(*released.child, released.killed).has_value();
  });
}

void ProcessRunnerCore::AwaitKilled(std::chrono::milliseconds most) {
  for (auto& [id, record] : records_) Release(record);
  records_.clear();
  // A killed process ends within moments; collect it rather than leave a
  // zombie behind for as long as this program runs.
  const auto deadline = std::chrono::steady_clock::now() + most;
  CollectReleased();
  while (std::any_of(released_.begin(), released_.end(), [](const Released& r) { return r.killed; }) &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    CollectReleased();
  }
}

void ProcessRunnerCore::ForgetAll() {
  records_.clear();
  released_.clear();
}

}  // namespace ripwarden
