#include "fakes/fake_process_runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <stdexcept>
#include <string_view>

namespace ripwarden::testing {

void FakeProcessRunner::Output(ChildProcess id, std::string bytes) {
  Process& target = process(id);
  if (!bytes.empty()) target.unread.push_back(std::move(bytes));
}

void FakeProcessRunner::Exit(ChildProcess id, int code) {
  Process& target = process(id);
  if (target.exit_code) return;
  target.exit_code = code;
  target.output_ended = true;
}

FakeProcessRunner::Process& FakeProcessRunner::process(ChildProcess id) {
  const auto found = processes_.find(id);
  if (found == processes_.end()) throw std::out_of_range("no such fake process");
  return *found->second;
}

FakeProcessRunner::Process* FakeProcessRunner::Known(ChildProcess id) {
  const auto found = processes_.find(id);
  return found == processes_.end() || found->second->closed ? nullptr : found->second.get();
}

ChildProcess FakeProcessRunner::StartProcessWithOptions(const std::string& program,
                                                        const std::vector<std::string>& arguments,
                                                        const std::string& working_folder,
                                                        const ProcessOptions& options) {
  const ChildProcess started = StartProcess(program, arguments, working_folder);
  if (started != kNoProcess) processes_[started]->options = options;
  return started;
}

ChildProcess FakeProcessRunner::StartProcess(const std::string& program,
                                             const std::vector<std::string>& arguments,
                                             const std::string& working_folder) {
  ++start_attempts_;
  if (fail_next_start_ || program.empty()) {
    start_failure_ = fail_next_start_.value_or("No such file or directory");
    fail_next_start_.reset();
    return kNoProcess;
  }
  start_failure_.clear();
  const auto id = static_cast<ChildProcess>(next_id_++);
  auto created = std::make_unique<Process>();
  created->program = program;
  created->arguments = arguments;
  created->working_folder = working_folder;
  processes_[id] = std::move(created);
  if (const auto answered = answer ? answer(program, arguments) : std::nullopt) {
    Output(id, answered->output);
    Exit(id, answered->exit_code);
    return id;
  }
  started_.push_back(id);
  return id;
}

ChildProcess FakeProcessRunner::IsProcessKnown(ChildProcess id) {
  return Known(id) != nullptr ? id : kNoProcess;
}

void FakeProcessRunner::TakeArrived(Process& process) {
  // As from a pipe: no more than the held lines have room for.
  while (!process.unread.empty() && process.lines.Room() > 0) {
    std::string& chunk = process.unread.front();
    const std::size_t taken = std::min(chunk.size(), process.lines.Room());
    process.lines.Hold(std::string_view(chunk).substr(0, taken));
    chunk.erase(0, taken);
    if (chunk.empty()) process.unread.pop_front();
  }
}

std::int32_t FakeProcessRunner::AvailableOutput(ChildProcess id) {
  Process* known = Known(id);
  if (known == nullptr) return 0;
  TakeArrived(*known);
  return static_cast<std::int32_t>(std::min<std::size_t>(known->lines.HeldSize(), INT32_MAX));
}

bool FakeProcessRunner::IsLineWaiting(ChildProcess id) {
  Process* known = Known(id);
  if (known == nullptr) return false;
  TakeArrived(*known);
  return known->lines.HoldsLineEnd() || (known->output_ended && known->lines.HeldSize() > 0);
}

std::string FakeProcessRunner::ReadOutputLine(ChildProcess id) {
  Process* known = Known(id);
  if (known == nullptr) return {};
  return known->lines.NextLine([known](char* buffer, std::size_t size) -> std::size_t {
    if (known->unread.empty()) {
      if (!known->output_ended) ADD_FAILURE() << "ReadOutputLine would wait for the rest of a line";
      return 0;
    }
    std::string& chunk = known->unread.front();
    const std::size_t taken = std::min(size, chunk.size());
    std::memcpy(buffer, chunk.data(), taken);
    chunk.erase(0, taken);
    if (chunk.empty()) known->unread.pop_front();
    return taken;
  });
}

bool FakeProcessRunner::IsProcessRunning(ChildProcess id) {
  Process* known = Known(id);
  if (known == nullptr) return false;
  if (!known->exit_code) return true;
  TakeArrived(*known);
  return known->lines.HeldSize() > 0 || !known->unread.empty();
}

std::optional<int> FakeProcessRunner::ExitCode(ChildProcess id) {
  const Process* known = Known(id);
  return known != nullptr && known->ending_signal == 0 ? known->exit_code : std::nullopt;
}

std::optional<int> FakeProcessRunner::EndingSignal(ChildProcess id) {
  const Process* known = Known(id);
  if (known == nullptr || !known->exit_code || known->ending_signal == 0) return std::nullopt;
  return known->ending_signal;
}

bool FakeProcessRunner::WaitForExit(ChildProcess id, std::uint32_t) {
  const Process* known = Known(id);
  return known != nullptr && known->exit_code.has_value();
}

void FakeProcessRunner::InterruptProcess(ChildProcess id) {
  Process* known = Known(id);
  if (known == nullptr || known->exit_code) return;
  ++known->interrupts;
  if (known->exits_on_interrupt) Exit(id, 1);
}

void FakeProcessRunner::KillProcess(ChildProcess id) {
  Process* known = Known(id);
  if (known == nullptr || known->exit_code) return;
  known->killed = true;
  known->ending_signal = 9;
  Exit(id, -1);
}

void FakeProcessRunner::CloseProcess(ChildProcess id) {
  Process* known = Known(id);
  if (known == nullptr) return;
  known->closed = true;
  known->unread.clear();
}

}  // namespace ripwarden::testing
