#pragma once

#include <optional>
#include <string>

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
#include "rip/rip_state.h"
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

// Status texts of a rip that ended.
inline constexpr const char* kCompleteText = "COMPLETE!";
inline constexpr const char* kDiscLostText = "FAILED: DVD was either ejected or could no longer be accessed.";
inline constexpr const char* kDiscLostBalloonText =
    "The DVD was either ejected mid-rip or could no longer be accessed.";
inline constexpr const char* kCancelledText = "USER CANCELLED";
inline constexpr const char* kLaunchFailedText =
    "FAILED: HandBrake could not be started. Check its location in the settings file.";
inline constexpr const char* kNoDestinationText =
    "FAILED: The destination folder does not exist. Choose it again in the settings window.";

// The life of a rip: watching the drive, starting the encoder, following its
// output, and ending the rip as complete, failed or cancelled. Runs on the
// main loop's thread; every operation returns without waiting for the
// encoder, except the stop of an encoder that is cancelled or lost its disc.
class RipEngine {
 public:
  // Time given to an interrupted encoder to stop by itself, and then to the
  // system to end a killed one.
  static constexpr std::uint32_t kStopGraceMs = 5000;
  static constexpr std::uint32_t kKillWaitMs = 2000;
  // How often a rip that is starting or stopping is looked at.
  static constexpr std::uint32_t kPendingLookMs = 20;

  RipEngine(RipState& state, RipServices services, std::string app_name);

  // Once per main-loop turn: goes on with a rip that is starting or
  // stopping, and polls the drive when its interval has passed.
  void PollDrive();
  // Once per main-loop turn; takes one whole line of encoder output, if any.
  void ReadEncoderOutput();
  // Starts a rip of the disc in the drive; nothing while one is running.
  void StartRip();
  // Cancels the running rip, asking the user first unless without_asking.
  // The rip ends once its encoder is gone (see IsStopping).
  void CancelRip(bool without_asking);
  // True while a rip is under way: starting, encoding, finishing its file or
  // stopping.
  bool IsRipping() const;
  // True while a cancelled or failed rip waits for its encoder to end.
  bool IsStopping() const;
  // The children whose output a sleeping loop should wake for.
  std::vector<ChildProcess> ChildrenToWatch() const;
  // Goes on with a rip that is starting or stopping; PollDrive does it too.
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
  // interrupted, and the encoder's scratch files go. A rip whose file cannot
  // be reached yet stays open for a later start.
  void SettleLeftovers();
  // The newest encoder logs kept.
  static constexpr std::size_t kMostLogs = 50;

  // How long the main loop may sleep before the engine needs a turn: the next
  // drive poll, or sooner while a rip is starting or stopping.
  std::uint32_t MillisecondsToNextPoll();
  // True when a line of the encoder's output is waiting to be read.
  bool IsOutputWaiting();

 private:
  void AutoRipOrAnnounce(const std::string& label);
  // The disc in the drive is gone (or was ejected): the next one found is new.
  void DiscLeft();
  // Starts the encoder once its options are known.
  void LaunchEncoder();
  // Asks the encoder to stop; the rip ends as outcome once it is gone.
  void StopRip(RipState::Stop outcome);
  // Kills an encoder that outstays its grace, and ends the rip once it is gone.
  void ContinueStop();
  // Ends the rip once the encoder is gone, or when the disc went missing;
  // disc_label is the label of the disc in the drive, null when there is none.
  void CheckRipEnd(const std::string* disc_label);
  void FinishAtEncoderEnd(const std::string* disc_label);
  void FailDiscLost();
  // Ends the rip; the balloon gives the status's reason, then `more`.
  void FailWithError(const std::string& status, const std::string& more = {});
  // result is the history's word for how the rip ended.
  void EndRip(const std::string& status, std::int32_t bar_value, const char* result);
  // Why a file the encoder says it finished is not whole; nothing when it is.
  std::optional<std::string> Shortfall(const EncoderLogFacts& facts);
  // A partial file is kept under the incomplete name; an empty one goes.
  void KeepIncomplete();
  void BeginRecord(const std::string& source, const LocalDateTime& start);
  void PrepareRecordFiles(ProcessOptions& options);
  void FinishRecord(const std::string& status, const char* result);
  std::string RecordTime();
  std::string HistoryPath() const;
  void Balloon(const std::string& title, const std::string& text, BalloonIcon icon);

  RipState& state_;
  RipServices services_;
  std::string app_name_;
  std::string records_folder_;
  MediaProbe* probe_ = nullptr;
};

// The progress bar value for a percentage: hundredths, rounded up.
std::int32_t ProgressBarValue(float percent);
// The percentage text of an output line: between its first and second ",",
// before the "%", trimmed of spaces.
std::string PercentText(const std::string& line);

}  // namespace ripwarden
