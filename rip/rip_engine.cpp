#include "rip/rip_engine.h"

#include <utility>

namespace ripwarden {

RipEngine::RipEngine(RipState& state, RipServices services, std::string app_name)
    : state_(state), services_(services), app_name_(std::move(app_name)) {
  const std::uint32_t now = services_.clock.TickCount();
  state_.DrivePollTick = now;
  state_.ProgressTick = now;
}

void RipEngine::Balloon(const std::string& title, const std::string& text, BalloonIcon icon) {
  services_.view.ShowBalloon(title, text, app_name_, icon);
}

void RipEngine::EndRip(const std::string& status, std::int32_t bar_value, const char* result) {
  if (state_.RipInProgress == 1) FinishRecord(status, result);
  // The record goes with the rip; the runner still collects the process.
  services_.processes.CloseProcess(state_.EncoderProgram);
  state_.RipInProgress = 0;
  state_.EncoderProgram = kNoProcess;
  state_.AwaitingDialect = 0;
  state_.Stopping = RipState::Stop::kNone;
  state_.StopKilled = 0;
  state_.OutputFile.clear();
  state_.EncodingFile.clear();
  state_.RipDiscLabel.clear();
  state_.ProgressPercent = 0.0f;
  state_.LastUpdatePercent = 0.0f;
  state_.MuxingSeen = 0;
  state_.Record = {};
  state_.ScratchFolder.clear();
  services_.view.SetRipProgressBar(bar_value);
  services_.view.SetStatusText(status);
  services_.view.EnableCancelButton(false);
}

void RipEngine::StopRip(RipState::Stop outcome) {
  if (state_.Stopping != RipState::Stop::kNone) return;
  services_.view.EnableCancelButton(false);
  state_.Stopping = outcome;
  state_.StopTick = services_.clock.TickCount();
  state_.StopKilled = 0;
  // Interrupted, the encoder ends cleanly and removes its pass files; killed,
  // it would leave them behind.
  const ChildProcess encoder = services_.processes.IsProcessKnown(state_.EncoderProgram);
  if (encoder != kNoProcess) services_.processes.InterruptProcess(encoder);
  ContinueStop();
}

void RipEngine::ContinueStop() {
  ProcessRunner& processes = services_.processes;
  const ChildProcess encoder = processes.IsProcessKnown(state_.EncoderProgram);
  if (encoder != kNoProcess && processes.IsProcessRunning(encoder)) {
    const std::uint32_t now = services_.clock.TickCount();
    if (state_.StopKilled == 0) {
      if (!IsDue(now, state_.StopTick, static_cast<std::int32_t>(kStopGraceMs))) return;
      processes.KillProcess(encoder);
      state_.StopKilled = 1;
      state_.StopTick = now;
    }
    // A process the system cannot end (stuck in the drive's driver) is left
    // to the runner; the rip ends all the same.
    if (!IsDue(now, state_.StopTick, static_cast<std::int32_t>(kKillWaitMs))) return;
  }
  const RipState::Stop outcome = state_.Stopping;
  const std::string source = state_.RipSource;
  if (outcome == RipState::Stop::kCancel) {
    // Removed only now: a file still being written would come back.
    if (!state_.EncodingFile.empty()) services_.files.RemoveFile(state_.EncodingFile);
    state_.Record.output.clear();
    EndRip(kCancelledText, 0, "cancelled");
    EjectDrive(source);
  } else {
    KeepIncomplete();
    EndRip(kDiscLostText, 0, "failed");
    Balloon("DVD Rip Failed", kDiscLostBalloonText, BalloonIcon::kError);
  }
}

void RipEngine::CancelRip(bool without_asking) {
  if (!without_asking &&
      !services_.view.AskYesNo("Cancel Rip - " + app_name_, "Are you sure you want to cancel this rip?")) {
    return;
  }
  // A rip that ended while the question was open is not undone.
  if (state_.RipInProgress == 0) return;
  StopRip(RipState::Stop::kCancel);
}

bool RipEngine::IsRipping() const { return state_.RipInProgress == 1; }

std::vector<ChildProcess> RipEngine::ChildrenToWatch() const {
  if (state_.RipInProgress != 1 || state_.EncoderProgram == kNoProcess) return {};
  return {state_.EncoderProgram};
}

bool RipEngine::IsStopping() const {
  return state_.RipInProgress == 1 && state_.Stopping != RipState::Stop::kNone;
}

void RipEngine::ContinueWork() {
  if (state_.RipInProgress != 1) return;
  if (state_.Stopping != RipState::Stop::kNone) {
    ContinueStop();
  } else if (state_.AwaitingDialect == 1) {
    LaunchEncoder();
  }
}

void RipEngine::EjectDrive(const std::string& source) { services_.drives.EjectDrive(source); }

void RipEngine::LoadDrive(const std::string& source) { services_.drives.LoadDrive(source); }

}  // namespace ripwarden
