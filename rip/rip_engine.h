#pragma once

#include <list>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "config/presets.h"
#include "config/settings_store.h"
#include "platform/calendar.h"
#include "platform/clock.h"
#include "platform/drives.h"
#include "platform/files.h"
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
  // How often a disc being copied is looked at.
  static constexpr std::uint32_t kCopyLookMs = 100;
  // The newest encoder logs kept.
  static constexpr std::size_t kMostLogs = 50;

  RipEngine(RipServices services, std::string app_name);

  // Once per main-loop turn: goes on with rips that are starting or
  // stopping, and polls the drive when its interval has passed.
  void PollDrive();
  // Once per main-loop turn; takes one whole line of encoder output, if any.
  void ReadEncoderOutput();
  // Starts a rip of the disc in the first watched drive that holds one no
  // rip reads; nothing while a rip reads it, or when the rips under way
  // leave no room for another.
  void StartRip();
  void StartRip(const std::string& source);
  // The sources the setting names, in its order: one, several separated by
  // "|", or every optical drive for "*".
  std::vector<std::string> WatchedSources();
  // The sources the last drive poll watched; none before the first.
  const std::vector<std::string>& PolledSources() const { return polled_sources_; }
  // Cancels the running rip; it ends once its encoder is gone (IsStopping).
  // Whoever offers Cancel asks the user first.
  void CancelRip();
  // Goes on with rips that are starting or stopping; PollDrive does it too.
  void ContinueWork();

  // The trimmed volume label of a source; empty when it has none.
  std::string GetVolumeLabel(const std::string& source);
  void EjectDrive(const std::string& source);
  void LoadDrive(const std::string& source);

  // Keeps a history of rips, the encoder's logs, its scratch files and the
  // queue of copied discs under folder. The helper program, when there is
  // one, copies discs first (when the settings ask for it) and checks that
  // finished files are whole. Without records a rip is judged by the
  // encoder's output alone, and discs are ripped directly.
  void KeepRecords(const std::string& folder, const std::string& helper_program);
  // After a start that holds the instance lock: a rip that was running when
  // the program died gets its file's incomplete name and reads as
  // interrupted, and the encoder's scratch files go. Copies that were whole
  // wait for their encode again; copies caught halfway go.
  void SettleLeftovers();
  // The program closes: copies and rips from the disc are cancelled, encodes
  // of copies stopped and kept for the next start. IsStopping until done.
  void Shutdown();

  // The queue window's rows, oldest first, and what its buttons do with the
  // job of a row. Cancel asks nothing; whoever offers it asks first.
  struct QueueRow {
    std::uint64_t serial;
    std::string text;
    bool operator==(const QueueRow&) const = default;
  };
  std::vector<QueueRow> QueueRows() const;
  // The rows as the queue window was last given them.
  const std::vector<QueueRow>& ShownQueueRows() const { return shown_rows_; }
  void CancelJob(std::uint64_t serial);
  void RetryJob(std::uint64_t serial);
  void RemoveJob(std::uint64_t serial);
  // The newest rips of the history, newest first, one line each.
  std::vector<std::string> RecentRips(std::size_t most);

  // How long the main loop may sleep before the engine needs a turn: the next
  // drive poll, or sooner while a rip is starting or stopping.
  std::uint32_t MillisecondsToNextPoll();
  // True when a line of an encoder's output is waiting to be read.
  bool IsOutputWaiting();
  // True while a rip is under way: copying, starting, encoding, finishing
  // its file or stopping. Copies waiting for their turn are not.
  bool IsRipping() const;
  // True while a rip reads a disc (of this source): a copy, or a rip
  // straight from it.
  bool IsReadingDisc() const;
  bool IsReadingDisc(const std::string& source) const;
  // True while a cancelled or failed rip waits for its encoder to end.
  bool IsStopping() const;
  // The children whose output a sleeping loop should wake for.
  std::vector<ChildProcess> ChildrenToWatch() const;
  // The newest rip under way, to look at; null when none is.
  const RipJob* ActiveJob() const;

 private:
  // What a drive showed at its last polls.
  struct DriveWatch {
    // The disc was announced, or ripped automatically, once for this
    // insertion: set for the disc in the drive, cleared when a poll finds the
    // drive empty or a disc with another label.
    bool announced = false;
    bool auto_ripped = false;
    std::string auto_ripped_label;
    // Said once per insertion: the disc waits for the rip under way.
    bool waiting_announced = false;
    std::optional<std::string> label;  // the disc's, when one is in
  };

  void Prune();
  // A new rip may start: nothing reads the disc, and a rip straight from the
  // disc also waits for the encoder.
  bool CanStartRip(bool copy_first, const std::string& source) const;
  bool CopyFirst() const;
  // Copy first: the helper starts on the disc; the copy is followed from its
  // output and ended when it exits.
  void StartCopy(RipJob& job);
  // How the job's helper ended: nothing while it runs, else its exit code
  // or signal, and the helper is let go. Takes its waiting lines either way.
  struct HelperEnd {
    std::optional<int> code;
    std::optional<int> signal;
  };
  std::optional<HelperEnd> TakeHelperEnd(RipJob& job);
  void ContinueCopy(RipJob& job);
  void FinishCopy(RipJob& job, const HelperEnd& end);
  // Takes the helper's waiting lines.
  void ReadHelperOutput(RipJob& job);
  // The oldest copy waiting starts its encode once no encoder runs.
  void StartNextEncode();
  // The whole-file check runs in the helper: started when the encoder ends
  // well, and the rip's end decided once it is done.
  bool StartCheck(RipJob& job);
  void ContinueCheck(RipJob& job);
  // The queue file as the jobs stand; nothing once the program closes.
  void StoreQueue();
  // Takes up the queue file's copies; the ids of rips that turn out to have
  // finished.
  std::vector<std::string> RestoreQueue();
  std::string QueuePath() const;
  void RefreshRecentRips();
  void WriteJobRecord(RipJob& job);
  void RemoveCopy(RipJob& job);
  RipJob* FindJob(std::uint64_t serial);
  // The job whose rip the progress window follows: the newest under way.
  bool IsShown(const RipJob& job) const;
  void ShowProgress(RipJob& job, const std::string& line, const std::string& status_prefix);
  void RefreshQueueView();
  void AutoRipOrAnnounce(const std::string& source, const std::string& label);
  // The disc in the drive is gone: the next one found is new.
  static void DiscLeft(DriveWatch& watch);
  // What the progress window says of the watched drives.
  std::string DrivesText(const std::vector<std::string>& sources);
  // A name no other rip under way has (discs in two drives found in the
  // same second): a number after the time.
  void MakeNameUnique(RipJob& job);
  // Starts the encoder once its options are known, after a scan of the disc
  // when its titles or tracks are to be chosen.
  void LaunchEncoder(RipJob& job);
  // The scan runs in the encoder; false when none is needed (or it cannot
  // start, which the encode then says).
  bool StartScan(RipJob& job);
  // Standard error of a child working for the job into logs/<file>.<kind>.log.
  ProcessOptions SideLog(const RipJob& job, const std::string& kind);
  void ReadScanOutput(RipJob& job);
  void ContinueScan(RipJob& job);
  // Sets the request for the job's next title to rip; false when every one
  // has its finished file already.
  bool TakeTitlePlan(RipJob& job);
  // A title of a disc ripped title by title has ended as outcome: true when
  // the job goes on with its next title; else outcome becomes the job's.
  bool EndTitle(RipJob& job, RipOutcome& outcome);
  // "title 2 of 3" while a disc is ripped title by title; else empty.
  static std::string TitleProgress(const RipJob& job);
  // Ends the job once its encoder is gone, or when its disc went missing;
  // a rip from a copy never misses its disc;
  // disc_label is the label of its disc in the drive, null when it is not there.
  void CheckRipEnd(RipJob& job, const std::string* disc_label);
  void FinishAtEncoderEnd(RipJob& job, const std::string* disc_label);
  // Decides how a rip whose encoder has ended ends, once its file is checked.
  void FinishRip(RipJob& job);
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
  // With several drives watched, a balloon about a rip names its drive.
  void Balloon(const std::string& title, const std::string& text, BalloonIcon icon,
               const std::string& source = {});

  RipServices services_;
  std::string app_name_;
  std::string records_folder_;
  std::string helper_;
  std::uint64_t next_serial_ = 1;
  // Set when the program closes: the queue file keeps what it held then.
  bool queue_frozen_ = false;
  std::vector<QueueRow> shown_rows_;
  std::vector<std::string> shown_recent_;
  std::uint32_t poll_tick_ = 0;
  std::map<std::string, DriveWatch> watches_;
  std::vector<std::string> polled_sources_;
  bool several_drives_ = false;
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
