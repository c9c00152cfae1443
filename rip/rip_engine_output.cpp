#include <algorithm>
#include <cmath>
#include <limits>

#include "config/text_helpers.h"
#include "rip/rip_engine.h"

namespace ripwarden {

std::string PercentText(const std::string& line) { return Trim(TextField(TextField(line, 2, ','), 1, '%')); }

std::int32_t ProgressBarValue(float percent) {
  const float hundredths = percent * 100.0f;
  const float rounded = std::ceil(hundredths);
  // Beyond the 32-bit range (a garbled percentage) the conversion would be undefined.
  if (!(rounded < 2147483648.0f)) return std::numeric_limits<std::int32_t>::max();
  if (rounded < -2147483648.0f) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(rounded);
}

namespace {

// A progress update has its percentage in the second comma-separated field,
// followed by "%"; log lines between updates have none.
bool CarriesPercentage(const std::string& line, const std::string& percent_text) {
  const std::string field = TextField(line, 2, ',');
  if (line.find(',') == std::string::npos || field.find('%') == std::string::npos) return false;
  std::size_t i = (!percent_text.empty() && (percent_text[0] == '+' || percent_text[0] == '-')) ? 1 : 0;
  if (i < percent_text.size() && percent_text[i] == '.') ++i;
  return i < percent_text.size() && percent_text[i] >= '0' && percent_text[i] <= '9';
}

}  // namespace

bool RipEngine::IsOutputWaiting() {
  return state_.RipInProgress == 1 && services_.processes.IsLineWaiting(state_.EncoderProgram);
}

void RipEngine::ReadEncoderOutput() {
  ProcessRunner& processes = services_.processes;
  if (state_.RipInProgress != 1 || processes.IsProcessKnown(state_.EncoderProgram) == kNoProcess) return;
  // Only a whole line: the encoder writes each update without a line end,
  // and waiting for the next one would freeze the windows.
  if (!processes.IsLineWaiting(state_.EncoderProgram)) return;
  const std::string line = processes.ReadOutputLine(state_.EncoderProgram);
  services_.view.InsertOutputLine(line);
  // A stopping encoder's last words are shown, but decide nothing.
  if (state_.Stopping != RipState::Stop::kNone) return;

  if (TextField(line, 1, ':') == "Muxing" && state_.MuxingSeen == 0) {
    state_.MuxingSeen = 1;
    // The disc has been read to the end; it can leave while the file is
    // finished. The rip itself completes when the encoder has ended well.
    if (services_.settings.ReadSetting(setting::kEjectOnFinish) == "1") {
      EjectDrive(state_.RipSource);
      state_.RipDiscLeft = 1;
    }
  }
  const std::string percent_text = PercentText(line);
  state_.ProgressPercent = TextToFloat(percent_text);
  if (!CarriesPercentage(line, percent_text)) return;
  state_.LastUpdatePercent = state_.ProgressPercent;
  const std::uint32_t now = services_.clock.TickCount();
  if (state_.ProgressShown == 0 || IsDue(now, state_.ProgressTick, state_.ProgressInterval)) {
    // A garbled update may claim any percentage; the bar shows only what exists.
    services_.view.SetRipProgressBar(
        std::clamp(ProgressBarValue(state_.ProgressPercent), 0, kProgressBarFull));
    services_.view.SetStatusText(percent_text + "%");
    state_.ProgressTick = now;
    state_.ProgressShown = 1;
  }
}

void RipEngine::CheckRipEnd(const std::string* disc_label) {
  if (state_.RipInProgress == 0 || state_.Stopping != RipState::Stop::kNone) return;
  // Without its disc an encoder fails or stops short whatever it says; only
  // one that had read the disc to the end (muxing) may finish without it.
  if (disc_label == nullptr && state_.MuxingSeen == 0) {
    FailDiscLost();
    return;
  }
  const ChildProcess encoder = services_.processes.IsProcessKnown(state_.EncoderProgram);
  if (encoder != kNoProcess && !services_.processes.IsProcessRunning(encoder)) FinishAtEncoderEnd(disc_label);
}

void RipEngine::FinishAtEncoderEnd(const std::string* disc_label) {
  ProcessRunner& processes = services_.processes;
  RipView& view = services_.view;
  const auto exit_code = processes.ExitCode(state_.EncoderProgram);
  const auto output = services_.files.Stamp(state_.EncodingFile);
  // The runner has the log whole once it reports the encoder gone.
  EncoderLogFacts facts;
  if (!state_.Record.log.empty()) {
    const auto log = services_.files.OpenForReading(state_.Record.log);
    if (const auto text = log ? log->ReadAll() : std::nullopt) facts = ReadEncoderLog(*text);
  }
  state_.Record.frames_encoded = facts.frames_got;
  state_.Record.frames_expected = facts.frames_expected;
  state_.Record.seconds_expected = facts.title_seconds;
  // The encoder also exits 0 after rejecting its options, having written
  // nothing, and after stopping short on a damaged disc.
  if (exit_code == 0 && output && !output->is_folder && output->size > 0) {
    if (const auto shortfall = Shortfall(facts)) {
      KeepIncomplete();
      FailWithError("FAILED: The rip is incomplete: " + *shortfall + ".",
                    " Clean the disc and rip it again.");
      return;
    }
    // Renamed before its last seconds reach the disk, a power cut would
    // leave a short file under the finished name.
    if (!services_.files.FlushFile(state_.EncodingFile)) {
      KeepIncomplete();
      FailWithError("FAILED: The finished rip could not be written to the disk: " + state_.OutputFile);
      return;
    }
    if (!services_.files.RenameFile(state_.EncodingFile, state_.OutputFile)) {
      state_.Record.output = state_.EncodingFile;
      FailWithError("FAILED: The finished rip could not be given its name: " + state_.OutputFile);
      return;
    }
    state_.Record.output = state_.OutputFile;
    // Another disc put in while the file was finished is the next rip, not this one's to eject.
    const bool ripped_disc_in = disc_label != nullptr && state_.RipDiscLeft == 0;
    const std::string source = state_.RipSource;
    view.EnableCancelButton(false);
    EndRip(kCompleteText, kProgressBarFull, "complete");
    Balloon("Rip Complete!", "The DVD has been ripped to your computer.", BalloonIcon::kInformation);
    if (ripped_disc_in && services_.settings.ReadSetting(setting::kEjectOnFinish) == "1") EjectDrive(source);
    return;
  }
  // The encoder's own reason is worth more than its exit code.
  if (!facts.reason.empty()) view.InsertOutputLine("HandBrake: " + facts.reason);
  if (!state_.Record.log.empty()) view.InsertOutputLine("HandBrake's whole log: " + state_.Record.log);
  KeepIncomplete();
  const auto signal = processes.EndingSignal(state_.EncoderProgram);
  state_.Record.reason = facts.reason;
  FailWithError("FAILED: HandBrake stopped before finishing the rip (" +
                    (signal ? "killed by signal " + std::to_string(*signal)
                            : "exit code " + std::to_string(exit_code.value_or(-1))) +
                    ").",
                " See the HandBrake output window for details.");
}

void RipEngine::FailWithError(const std::string& status, const std::string& more) {
  EndRip(status, 0, "failed");
  // The balloon is all that a user at another window sees: the same reason.
  const std::string prefix = "FAILED: ";
  const std::string reason = status.starts_with(prefix) ? status.substr(prefix.size()) : status;
  Balloon("DVD Rip Failed", reason + more, BalloonIcon::kError);
}

void RipEngine::FailDiscLost() {
  // An encoder left reading a vanished disc would run on (or hang) unseen.
  StopRip(RipState::Stop::kDiscLost);
}

}  // namespace ripwarden
