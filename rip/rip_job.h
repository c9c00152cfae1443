#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/process_runner.h"
#include "platform/tray.h"
#include "rip/encoder_command.h"
#include "rip/rip_history.h"

namespace ripwarden {

// Where a rip is on its way; each phase says what the next turns wait for.
enum class RipPhase {
  kCopying,   // the helper copies the disc into the work folder
  kWaiting,   // the copy is whole; its encode waits for its turn
  kScanning,  // the encoder lists the disc's titles and tracks
  kStarting,  // the encoder is being asked which options it takes
  kEncoding,  // the encoder reads the disc or its copy
  kMuxing,    // the input has been read; the encoder finishes the file
  kChecking,  // the encoder ended well; the helper reads the file's own length
  kStopping,  // cancelled or failed: the encoder is asked to go, then ended
  kHeld,      // the encode of a copy failed: the copy waits for Retry or Remove
  kEnded,
};

// How a rip ended, with what the user is told about it as data.
struct RipOutcome {
  enum class Kind {
    kComplete,
    kCancelled,
    kNoDestination,
    kLaunchFailed,
    kDiscLost,
    kEncoderStopped,  // detail: "exit code 3" or "killed by signal 9"
    kIncomplete,      // detail: what was encoded of the title
    kNotWritten,      // detail: the system's reason
    kNotNamed,        // detail: the system's reason
    kCopyFailed,      // detail: the copier's reason
    kClosed,          // the program closed during the encode of a copy, which is kept for the next start
    kTitlesFailed,    // detail: which of the disc's titles failed
    kNoTitles,        // no title of the disc is within the limits of the settings
  };
  Kind kind = Kind::kComplete;
  std::string detail;
};

// The status text, the balloon and the history's word for an outcome; made
// here and nowhere else.
std::string StatusText(const RipOutcome& outcome);
// What went wrong, in the status's words without its "FAILED: "; empty for a
// rip that did not fail.
std::string FailureReason(const RipOutcome& outcome);
struct BalloonText {
  std::string title;
  std::string text;
  BalloonIcon icon;
};
std::optional<BalloonText> OutcomeBalloon(const RipOutcome& outcome);
const char* HistoryResult(const RipOutcome& outcome);

// One rip: what it reads, what it writes, where it is. Everything is fixed
// when it starts, so a setting changed meanwhile waits for the next rip.
struct RipJob {
  std::string source;  // the drive, image or folder it reads
  std::string encoder;
  RipRequest request;
  std::string disc_label;
  RipPhase phase = RipPhase::kStarting;
  ChildProcess process = kNoProcess;
  // The file a whole rip ends as; until then the encoder writes encoding_file.
  std::string output_file;
  std::string encoding_file;
  float percent = 0.0f;
  // The percentage of the last progress update; other lines leave it.
  float last_update_percent = 0.0f;
  // The first update is shown at once, however long the clock ran since the
  // last rip's; then at most once per interval from progress_tick.
  bool progress_shown = false;
  std::uint32_t progress_tick = 0;
  // The ripped disc left its drive (or was ejected) while the file was being
  // finished: any disc found from then on is another one.
  bool disc_left = false;
  // While stopping: how the rip will end, and since when it waits.
  RipOutcome stop_outcome;
  std::uint32_t stop_tick = 0;
  bool stop_killed = false;
  // Its entry in the history, its encoder log and the encoder's own temporary
  // folder; empty when the engine keeps no records.
  RipRecord record;
  std::string scratch_folder;

  // Told apart in the queue window, whatever else the job lacks.
  std::uint64_t serial = 0;
  // Copy first: the encode reads copy_folder, made under copying_folder by
  // the helper; from then on the disc is free.
  bool from_copy = false;
  std::string copy_folder;
  std::string copying_folder;
  // The helper at work for the job: the copier, then the whole-file check.
  ChildProcess helper = kNoProcess;
  std::string helper_error;
  std::int64_t skipped_blocks = 0;
  // What the check read: whether it was tried, whether it could say, and the
  // file's length when it could; the phase it interrupted.
  bool check_done = false;
  bool checked = false;
  RipPhase phase_before_check = RipPhase::kEncoding;
  std::optional<double> file_seconds;
  // The ripped disc was in its drive when the encoder ended.
  bool disc_in_at_end = false;
  // The last shown percentage and the speed and time left, for the queue.
  std::string progress_text;
  std::string progress_detail;
  // Why a held job failed.
  std::string held_reason;

  // A disc whose titles or tracks are chosen: its scan, once made, and the
  // titles it chose with their tracks, ripped one after another.
  struct TitlePlan {
    int title = 0;
    std::vector<std::string> audio;
    std::vector<std::string> subtitles;
  };
  bool scanned = false;
  std::string scan_output;
  std::vector<TitlePlan> plans;
  std::size_t title_at = 0;
};

}  // namespace ripwarden
