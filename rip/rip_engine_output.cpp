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
  for (const RipJob& job : jobs_) {
    if (job.phase == RipPhase::kEnded) continue;
    if (services_.processes.IsLineWaiting(job.process) || services_.processes.IsLineWaiting(job.helper))
      return true;
  }
  return false;
}

void RipEngine::ShowProgress(RipJob& job, const std::string& line, const std::string& status_prefix) {
  const std::string percent_text = PercentText(line);
  const std::uint32_t now = services_.clock.TickCount();
  if (job.progress_shown && !IsDue(now, job.progress_tick, kProgressIntervalMs)) return;
  job.progress_tick = now;
  job.progress_shown = true;
  job.progress_text = percent_text + " %";
  // The speed and time left, as the program doing the work says them.
  const auto open = line.find('(');
  const auto close = line.rfind(')');
  job.progress_detail = open != std::string::npos && close != std::string::npos && close > open
                            ? line.substr(open + 1, close - open - 1)
                            : std::string();
  if (IsShown(job)) {
    // A garbled update may claim any percentage; the bar shows only what exists.
    services_.view.SetRipProgressBar(std::clamp(ProgressBarValue(job.percent), 0, kProgressBarFull));
    services_.view.SetStatusText(status_prefix + percent_text + "%");
  }
  RefreshQueueView();
}

void RipEngine::ReadEncoderOutput() {
  Prune();
  ProcessRunner& processes = services_.processes;
  for (RipJob& job : jobs_) {
    if (job.phase == RipPhase::kEnded || processes.IsProcessKnown(job.process) == kNoProcess) continue;
    if (job.phase == RipPhase::kScanning) {
      ReadScanOutput(job);
      continue;
    }
    // Only a whole line: the encoder writes each update without a line end,
    // and waiting for the next one would freeze the windows.
    if (!processes.IsLineWaiting(job.process)) continue;
    const std::string line = processes.ReadOutputLine(job.process);
    services_.view.InsertOutputLine(line);
    // A stopping encoder's last words are shown, but decide nothing.
    if (job.phase == RipPhase::kStopping) continue;

    if (TextField(line, 1, ':') == "Muxing" && job.phase == RipPhase::kEncoding) {
      job.phase = RipPhase::kMuxing;
      // The disc has been read to the end; it can leave while the file is
      // finished. The rip itself completes when the encoder has ended well.
      const bool last_title = job.title_at + 1 >= job.plans.size();
      if (!job.from_copy && last_title && services_.settings.ReadSetting(setting::kEjectOnFinish) == "1") {
        EjectDrive(job.source);
        job.disc_left = true;
      }
    }
    const std::string percent_text = PercentText(line);
    job.percent = TextToFloat(percent_text);
    if (!CarriesPercentage(line, percent_text)) continue;
    job.last_update_percent = job.percent;
    const std::string title = TitleProgress(job);
    ShowProgress(job, line, title.empty() ? "" : "Title " + title.substr(6) + ": ");
  }
}

void RipEngine::CheckRipEnd(RipJob& job, const std::string* disc_label) {
  if (job.phase == RipPhase::kScanning) {
    // The scan's end is taken by its own turns.
    if (disc_label == nullptr && !job.from_copy) StopRip(job, {RipOutcome::Kind::kDiscLost, {}});
    return;
  }
  if (job.phase != RipPhase::kCopying && job.phase != RipPhase::kStarting &&
      job.phase != RipPhase::kEncoding && job.phase != RipPhase::kMuxing)
    return;
  // Without its disc an encoder fails or stops short whatever it says; only
  // one that had read the disc to the end (muxing) may finish without it.
  if (disc_label == nullptr && job.phase != RipPhase::kMuxing) {
    // An encoder left reading a vanished disc would run on (or hang) unseen.
    StopRip(job, {RipOutcome::Kind::kDiscLost, {}});
    return;
  }
  const ChildProcess encoder = services_.processes.IsProcessKnown(job.process);
  if (encoder != kNoProcess && !services_.processes.IsProcessRunning(encoder))
    FinishAtEncoderEnd(job, disc_label);
}

void RipEngine::FinishAtEncoderEnd(RipJob& job, const std::string* disc_label) {
  if (job.phase == RipPhase::kChecking) return;
  // Another disc put in while the file was finished is the next rip, not this one's to eject.
  job.disc_in_at_end = disc_label != nullptr && !job.disc_left && !job.from_copy;
  FinishRip(job);
}

void RipEngine::FinishRip(RipJob& job) {
  ProcessRunner& processes = services_.processes;
  Files& files = services_.files;
  RipView& view = services_.view;
  const auto exit_code = processes.ExitCode(job.process);
  const auto output = files.Stamp(job.encoding_file);
  // The runner has the log whole once it reports the encoder gone.
  EncoderLogFacts facts;
  if (!job.record.log.empty()) {
    const auto log = files.OpenForReading(job.record.log);
    if (const auto text = log ? log->ReadAll() : std::nullopt) facts = ReadEncoderLog(*text);
  }
  job.record.frames_encoded = facts.frames_got;
  job.record.frames_expected = facts.frames_expected;
  job.record.seconds_expected = facts.title_seconds;
  // The encoder also exits 0 after rejecting its options, having written
  // nothing, and after stopping short on a damaged disc.
  if (exit_code == 0 && output && !output->is_folder && output->size > 0) {
    // The file's own length is read by the helper first; the rip ends when it answers.
    if (!job.check_done && StartCheck(job)) return;
    if (const auto shortfall = Shortfall(job, facts)) {
      KeepIncomplete(job);
      EndRip(job, {RipOutcome::Kind::kIncomplete, *shortfall});
      return;
    }
    // Renamed before its last seconds reach the disk, a power cut would
    // leave a short file under the finished name.
    if (const auto flushed = files.FlushFile(job.encoding_file); !flushed) {
      KeepIncomplete(job);
      EndRip(job, {RipOutcome::Kind::kNotWritten, flushed.reason()});
      return;
    }
    if (const auto named = files.RenameFile(job.encoding_file, job.output_file); !named) {
      job.record.output = job.encoding_file;
      view.InsertOutputLine("The finished rip was left as " + job.encoding_file + "; its name was to be " +
                            job.output_file + ".");
      EndRip(job, {RipOutcome::Kind::kNotNamed, named.reason()});
      return;
    }
    job.record.output = job.output_file;
    const bool ripped_disc_in = job.disc_in_at_end;
    const bool last_title = job.title_at + 1 >= job.plans.size();
    if (IsShown(job) && last_title) view.EnableCancelButton(false);
    EndRip(job, {RipOutcome::Kind::kComplete, {}});
    // A disc ripped title by title is ejected after its last.
    if (ripped_disc_in && job.phase == RipPhase::kEnded &&
        services_.settings.ReadSetting(setting::kEjectOnFinish) == "1")
      EjectDrive(job.source);
    return;
  }
  // The encoder's own reason is worth more than its exit code.
  if (!facts.reason.empty()) view.InsertOutputLine("HandBrake: " + facts.reason);
  if (!job.record.log.empty()) view.InsertOutputLine("HandBrake's whole log: " + job.record.log);
  KeepIncomplete(job);
  const auto signal = processes.EndingSignal(job.process);
  job.record.reason = facts.reason;
  EndRip(job,
         {RipOutcome::Kind::kEncoderStopped, signal ? "killed by signal " + std::to_string(*signal)
                                                    : "exit code " + std::to_string(exit_code.value_or(-1))});
}

}  // namespace ripwarden
