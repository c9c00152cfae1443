#include "rip/rip_engine.h"

#include <utility>

namespace ripwarden {

namespace {

// Phases in which a job is under way, as opposed to waiting or held.
bool IsUnderWay(RipPhase phase) {
  return phase != RipPhase::kWaiting && phase != RipPhase::kHeld && phase != RipPhase::kEnded;
}

}  // namespace

RipEngine::RipEngine(RipServices services, std::string app_name)
    : services_(services), app_name_(std::move(app_name)) {
  poll_tick_ = services_.clock.TickCount();
}

void RipEngine::Balloon(const std::string& title, const std::string& text, BalloonIcon icon,
                        const std::string& source) {
  const bool named = several_drives_ && !source.empty();
  services_.view.ShowBalloon(title, named ? "Drive " + source + ": " + text : text, app_name_, icon);
}

void RipEngine::Prune() {
  jobs_.remove_if([](const RipJob& job) { return job.phase == RipPhase::kEnded; });
}

const RipJob* RipEngine::ActiveJob() const {
  for (auto job = jobs_.rbegin(); job != jobs_.rend(); ++job) {
    if (IsUnderWay(job->phase)) return &*job;
  }
  return nullptr;
}

bool RipEngine::IsShown(const RipJob& job) const { return ActiveJob() == &job; }

bool RipEngine::IsRipping() const { return ActiveJob() != nullptr; }

bool RipEngine::IsReadingDisc() const {
  for (const RipJob& job : jobs_) {
    if (IsReadingDisc(job.source)) return true;
  }
  return false;
}

bool RipEngine::IsReadingDisc(const std::string& source) const {
  for (const RipJob& job : jobs_) {
    if (job.source != source) continue;
    if (job.phase == RipPhase::kCopying || (IsUnderWay(job.phase) && !job.from_copy)) return true;
  }
  return false;
}

bool RipEngine::CanStartRip(bool copy_first, const std::string& source) const {
  // Discs in other drives are copied side by side; a rip straight from a
  // disc waits for every other rip.
  if (IsReadingDisc(source)) return false;
  if (copy_first) return true;
  for (const RipJob& job : jobs_) {
    if (IsUnderWay(job.phase)) return false;
  }
  return true;
}

bool RipEngine::IsStopping() const {
  for (const RipJob& job : jobs_) {
    if (job.phase == RipPhase::kStopping) return true;
  }
  return false;
}

std::vector<ChildProcess> RipEngine::ChildrenToWatch() const {
  std::vector<ChildProcess> children;
  for (const RipJob& job : jobs_) {
    if (job.phase == RipPhase::kEnded) continue;
    for (const ChildProcess child : {job.process, job.helper}) {
      if (child != kNoProcess) children.push_back(child);
    }
  }
  return children;
}

void RipEngine::EndRip(RipJob& job, const RipOutcome& title_outcome) {
  RipOutcome outcome = title_outcome;
  if (EndTitle(job, outcome)) return;
  // A rip refused before it began has nothing to record.
  if (job.phase != RipPhase::kEnded) FinishRecord(job, outcome);
  // The record goes with the rip; the runner still collects the processes.
  services_.processes.CloseProcess(job.process);
  services_.processes.CloseProcess(job.helper);
  job.helper = kNoProcess;
  const bool shown = IsShown(job) || !IsRipping();
  job.phase = RipPhase::kEnded;
  if (job.from_copy) {
    using Kind = RipOutcome::Kind;
    if (outcome.kind == Kind::kComplete || outcome.kind == Kind::kCancelled) {
      RemoveCopy(job);
    } else if (outcome.kind != Kind::kClosed) {
      // The copy holds everything the encode needs: the user retries it.
      job.phase = RipPhase::kHeld;
      job.held_reason = FailureReason(outcome);
      job.process = kNoProcess;
    }
  }
  // Only a rip with a copy is in the queue: a rip straight from the disc
  // leaves the file (and its flush to the disk) alone.
  if (!job.copy_folder.empty()) StoreQueue();
  RipView& view = services_.view;
  if (shown) {
    view.SetRipProgressBar(outcome.kind == RipOutcome::Kind::kComplete ? kProgressBarFull : 0);
    view.SetStatusText(StatusText(outcome));
    view.EnableCancelButton(IsRipping());
  }
  if (const auto balloon = OutcomeBalloon(outcome))
    Balloon(balloon->title, balloon->text, balloon->icon, job.source);
  RefreshQueueView();
}

void RipEngine::StopRip(RipJob& job, RipOutcome outcome) {
  if (job.phase == RipPhase::kStopping || !IsUnderWay(job.phase)) return;
  if (IsShown(job)) services_.view.EnableCancelButton(false);
  job.phase = RipPhase::kStopping;
  job.stop_outcome = std::move(outcome);
  job.stop_tick = services_.clock.TickCount();
  job.stop_killed = false;
  // Interrupted, the encoder ends cleanly and removes its pass files; killed,
  // it would leave them behind.
  for (const ChildProcess child : {job.process, job.helper}) {
    if (services_.processes.IsProcessKnown(child) != kNoProcess) services_.processes.InterruptProcess(child);
  }
  ContinueStop(job);
}

void RipEngine::ContinueStop(RipJob& job) {
  ProcessRunner& processes = services_.processes;
  const auto running = [&](ChildProcess child) {
    return processes.IsProcessKnown(child) != kNoProcess && processes.IsProcessRunning(child);
  };
  if (running(job.process) || running(job.helper)) {
    const std::uint32_t now = services_.clock.TickCount();
    if (!job.stop_killed) {
      if (!IsDue(now, job.stop_tick, static_cast<std::int32_t>(kStopGraceMs))) return;
      processes.KillProcess(job.process);
      processes.KillProcess(job.helper);
      job.stop_killed = true;
      job.stop_tick = now;
    }
    // A process the system cannot end (stuck in the drive's driver) is left
    // to the runner; the rip ends all the same.
    if (!IsDue(now, job.stop_tick, static_cast<std::int32_t>(kKillWaitMs))) return;
  }
  // Whatever a stopped copier made is no copy.
  if (!job.copying_folder.empty()) services_.files.RemoveTree(job.copying_folder);
  const RipOutcome outcome = job.stop_outcome;
  if (outcome.kind == RipOutcome::Kind::kCancelled || outcome.kind == RipOutcome::Kind::kClosed) {
    // Removed only now: a file still being written would come back. A copy
    // closed mid-encode is encoded anew from its start.
    if (!job.encoding_file.empty()) services_.files.RemoveFile(job.encoding_file);
    job.record.output.clear();
    const bool disc_read = !job.from_copy;
    EndRip(job, outcome);
    if (disc_read && outcome.kind == RipOutcome::Kind::kCancelled) EjectDrive(job.source);
  } else {
    KeepIncomplete(job);
    EndRip(job, outcome);
  }
}

void RipEngine::CancelRip() {
  Prune();
  // A rip that ended while the user was asked is not undone.
  for (auto job = jobs_.rbegin(); job != jobs_.rend(); ++job) {
    if (!IsUnderWay(job->phase)) continue;
    StopRip(*job, {RipOutcome::Kind::kCancelled, {}});
    return;
  }
}

void RipEngine::Shutdown() {
  Prune();
  StoreQueue();
  queue_frozen_ = true;
  for (RipJob& job : jobs_) {
    if (!IsUnderWay(job.phase)) continue;
    StopRip(job, {job.from_copy ? RipOutcome::Kind::kClosed : RipOutcome::Kind::kCancelled, {}});
  }
}

void RipEngine::ContinueWork() {
  Prune();
  for (RipJob& job : jobs_) {
    switch (job.phase) {
      case RipPhase::kStopping:
        ContinueStop(job);
        break;
      case RipPhase::kStarting:
        LaunchEncoder(job);
        break;
      case RipPhase::kCopying:
        ContinueCopy(job);
        break;
      case RipPhase::kScanning:
        ContinueScan(job);
        break;
      case RipPhase::kEncoding:
      case RipPhase::kMuxing: {
        // An encode of a copy needs no look at the drive to end: once the
        // encoder is gone and has said its last, the next one starts now,
        // not at the next poll.
        ProcessRunner& processes = services_.processes;
        if (job.from_copy && processes.IsProcessKnown(job.process) != kNoProcess &&
            !processes.IsProcessRunning(job.process) && !processes.IsLineWaiting(job.process))
          CheckRipEnd(job, &job.disc_label);
        break;
      }
      case RipPhase::kChecking:
        ContinueCheck(job);
        break;
      default:
        break;
    }
  }
  StartNextEncode();
}

void RipEngine::EjectDrive(const std::string& source) { services_.drives.EjectDrive(source); }

void RipEngine::LoadDrive(const std::string& source) { services_.drives.LoadDrive(source); }

}  // namespace ripwarden
