#include "rip/rip_engine.h"

#include <utility>

namespace ripwarden {

RipEngine::RipEngine(RipServices services, std::string app_name)
    : services_(services), app_name_(std::move(app_name)) {
  watch_.poll_tick = services_.clock.TickCount();
}

void RipEngine::Balloon(const std::string& title, const std::string& text, BalloonIcon icon) {
  services_.view.ShowBalloon(title, text, app_name_, icon);
}

void RipEngine::Prune() {
  jobs_.remove_if([](const RipJob& job) { return job.phase == RipPhase::kEnded; });
}

RipJob* RipEngine::Running() {
  for (RipJob& job : jobs_) {
    if (job.phase != RipPhase::kEnded) return &job;
  }
  return nullptr;
}

const RipJob* RipEngine::ActiveJob() const {
  for (auto job = jobs_.rbegin(); job != jobs_.rend(); ++job) {
    if (job->phase != RipPhase::kEnded) return &*job;
  }
  return nullptr;
}

bool RipEngine::IsRipping() const { return ActiveJob() != nullptr; }

bool RipEngine::IsStopping() const {
  for (const RipJob& job : jobs_) {
    if (job.phase == RipPhase::kStopping) return true;
  }
  return false;
}

std::vector<ChildProcess> RipEngine::ChildrenToWatch() const {
  std::vector<ChildProcess> children;
  for (const RipJob& job : jobs_) {
    if (job.phase != RipPhase::kEnded && job.process != kNoProcess) children.push_back(job.process);
  }
  return children;
}

void RipEngine::EndRip(RipJob& job, const RipOutcome& outcome) {
  // A rip refused before it began has nothing to record.
  if (job.phase != RipPhase::kEnded) FinishRecord(job, outcome);
  // The record goes with the rip; the runner still collects the process.
  services_.processes.CloseProcess(job.process);
  job.phase = RipPhase::kEnded;
  RipView& view = services_.view;
  view.SetRipProgressBar(outcome.kind == RipOutcome::Kind::kComplete ? kProgressBarFull : 0);
  view.SetStatusText(StatusText(outcome));
  view.EnableCancelButton(false);
  if (const auto balloon = OutcomeBalloon(outcome)) Balloon(balloon->title, balloon->text, balloon->icon);
}

void RipEngine::StopRip(RipJob& job, RipOutcome outcome) {
  if (job.phase == RipPhase::kStopping || job.phase == RipPhase::kEnded) return;
  services_.view.EnableCancelButton(false);
  job.phase = RipPhase::kStopping;
  job.stop_outcome = std::move(outcome);
  job.stop_tick = services_.clock.TickCount();
  job.stop_killed = false;
  // Interrupted, the encoder ends cleanly and removes its pass files; killed,
  // it would leave them behind.
  if (services_.processes.IsProcessKnown(job.process) != kNoProcess)
    services_.processes.InterruptProcess(job.process);
  ContinueStop(job);
}

void RipEngine::ContinueStop(RipJob& job) {
  ProcessRunner& processes = services_.processes;
  if (processes.IsProcessKnown(job.process) != kNoProcess && processes.IsProcessRunning(job.process)) {
    const std::uint32_t now = services_.clock.TickCount();
    if (!job.stop_killed) {
      if (!IsDue(now, job.stop_tick, static_cast<std::int32_t>(kStopGraceMs))) return;
      processes.KillProcess(job.process);
      job.stop_killed = true;
      job.stop_tick = now;
    }
    // A process the system cannot end (stuck in the drive's driver) is left
    // to the runner; the rip ends all the same.
    if (!IsDue(now, job.stop_tick, static_cast<std::int32_t>(kKillWaitMs))) return;
  }
  const RipOutcome outcome = job.stop_outcome;
  if (outcome.kind == RipOutcome::Kind::kCancelled) {
    // Removed only now: a file still being written would come back.
    if (!job.encoding_file.empty()) services_.files.RemoveFile(job.encoding_file);
    job.record.output.clear();
    EndRip(job, outcome);
    EjectDrive(job.source);
  } else {
    KeepIncomplete(job);
    EndRip(job, outcome);
  }
}

void RipEngine::CancelRip() {
  Prune();
  // A rip that ended while the user was asked is not undone.
  if (RipJob* job = Running()) StopRip(*job, {RipOutcome::Kind::kCancelled, {}});
}

void RipEngine::ContinueWork() {
  Prune();
  for (RipJob& job : jobs_) {
    if (job.phase == RipPhase::kStopping) {
      ContinueStop(job);
    } else if (job.phase == RipPhase::kStarting) {
      LaunchEncoder(job);
    }
  }
}

void RipEngine::EjectDrive(const std::string& source) { services_.drives.EjectDrive(source); }

void RipEngine::LoadDrive(const std::string& source) { services_.drives.LoadDrive(source); }

}  // namespace ripwarden
