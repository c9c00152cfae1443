#pragma once

#include <list>
#include <optional>
#include <string>
#include <vector>

#include "config/presets.h"
#include "config/settings_store.h"
#include "platform/calendar.h"
#include "platform/clock.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "platform/media_probe.h"
#include "platform/path_rules.h"
#include "platform/process_runner.h"
#include "rip/encoder_dialect.h"
#include "rip/encoder_log.h"
#include "rip/rip_job.h"
#include "rip/rip_view.h"

namespace ripwarden {

// Everything outside the engine that it reads, starts or changes.
struct RipServices {
  SettingsStore& settings;
  Presets& presets;
  Drives& drives;
  ProcessRunner& processes;
  Files& files;
  Clock& clock;
  Calendar& calendar;
  EncoderDialectSource& dialects;
  RipView& view;
  const PathRules& paths;
};

// The life of rips: watching the drive, starting the encoder, following its
// output, and ending each rip as complete, failed or cancelled. Runs on the
// main loop's thread, and no call waits: what takes time (the encoder's
// answer, its stop) is a phase of the rip that later turns go on with.
class RipEngine {
 public:
  static constexpr std::int32_t kPollIntervalMs = 2500;
  static constexpr std::int32_t kProgressIntervalMs = 1000;
  // Time given to an interrupted encoder to stop by itself, and then to the
  // system to end a killed one.
  static constexpr std::uint32_t kStopGraceMs = 5000;
  static constexpr std::uint32_t kKillWaitMs = 2000;
  // How often a rip that is starting or stopping is looked at.
  static constexpr std::uint32_t kPendingLookMs = 20;
  // The newest encoder logs kept.
  static constexpr std::size_t kMostLogs = 50;

  RipEngine(RipServices services, std::string app_name);

  // Once per main-loop turn: goes on with rips that are starting or
  // stopping, and polls the drive when its interval has passed.
  void PollDrive();
  // Once per main-loop turn; takes one whole line of encoder output, if any.
  void ReadEncoderOutput();
  // Starts a rip of the disc in the drive; nothing while one is running.
  void StartRip();
  // Cancels the running rip; it ends once its encoder is gone (IsStopping).
  // Whoever offers Cancel asks the user first.
  void CancelRip();
  // Goes on with rips that are starting or stopping; PollDrive does it too.
  void ContinueWork();

  // The trimmed volume label of a source; empty when it has none.
  std::string GetVolumeLabel(const std::string& source);
  void EjectDrive(const std::string& source);
  void LoadDrive(const std::string& source);

  // Keeps a history of rips, the encoder's logs and its scratch files under
  // folder; the probe, when there is one, checks that finished files are
  // whole. Without records a rip is judged by the encoder's output alone.
  void KeepRecords(const std::string& folder, MediaProbe* probe);
  // After a start that holds the instance lock: a rip that was running when
  // the program died gets its file's incomplete name and reads as
  // interrupted, and the encoder's scratch files go.
  void SettleLeftovers();

  // How long the main loop may sleep before the engine needs a turn: the next
  // drive poll, or sooner while a rip is starting or stopping.
  std::uint32_t MillisecondsToNextPoll();
  // True when a line of an encoder's output is waiting to be read.
  bool IsOutputWaiting();
  // True while a rip is under way: starting, encoding, finishing its file or
  // stopping.
  bool IsRipping() const;
  // True while a cancelled or failed rip waits for its encoder to end.
  bool IsStopping() const;
  // The children whose output a sleeping loop should wake for.
  std::vector<ChildProcess> ChildrenToWatch() const;
  // The newest rip under way, to look at; null when none is.
  const RipJob* ActiveJob() const;

 private:
  // What the drive showed at its last polls.
  struct DriveWatch {
    std::uint32_t poll_tick = 0;
    // The disc was announced, or ripped automatically, once for this
    // insertion: set for the disc in the drive, cleared when a poll finds the
    // drive empty or a disc with another label.
    bool announced = false;
    bool auto_ripped = false;
    std::string auto_ripped_label;
  };

  RipJob* Running();
  void Prune();
  void AutoRipOrAnnounce(const std::string& label);
  // The disc in the drive is gone: the next one found is new.
  void DiscLeft();
  // Starts the encoder once its options are known.
  void LaunchEncoder(RipJob& job);
  // Ends the job once its encoder is gone, or when its disc went missing;
  // disc_label is the label of its disc in the drive, null when it is not there.
  void CheckRipEnd(RipJob& job, const std::string* disc_label);
  void FinishAtEncoderEnd(RipJob& job, const std::string* disc_label);
  // Asks the encoder to stop; the rip ends as outcome once it is gone.
  void StopRip(RipJob& job, RipOutcome outcome);
  // Kills an encoder that outstays its grace, and ends the rip once it is gone.
  void ContinueStop(RipJob& job);
  // Ends the job: the record, the windows and the balloon, from its outcome.
  void EndRip(RipJob& job, const RipOutcome& outcome);
  // Why a file the encoder says it finished is not whole; nothing when it is.
  std::optional<std::string> Shortfall(RipJob& job, const EncoderLogFacts& facts);
  // A partial file is kept under the incomplete name; an empty one goes.
  void KeepIncomplete(RipJob& job);
  void BeginRecord(RipJob& job);
  void PrepareRecordFiles(RipJob& job, ProcessOptions& options);
  void FinishRecord(RipJob& job, const RipOutcome& outcome);
  std::string RecordTime();
  std::string HistoryPath() const;
  void Balloon(const std::string& title, const std::string& text, BalloonIcon icon);

  RipServices services_;
  std::string app_name_;
  std::string records_folder_;
  MediaProbe* probe_ = nullptr;
  DriveWatch watch_;
  // Rips under way, oldest first; an ended one leaves at the next call, so
  // that no call holds on to a job that is gone.
  std::list<RipJob> jobs_;
};

// The progress bar value for a percentage: hundredths, rounded up.
std::int32_t ProgressBarValue(float percent);
// The percentage text of an output line: between its first and second ",",
// before the "%", trimmed of spaces.
std::string PercentText(const std::string& line);

}  // namespace ripwarden
