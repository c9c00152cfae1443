#include <cstdlib>

#include "config/text_helpers.h"
#include "rip/encoder_command.h"
#include "rip/rip_engine.h"
#include "rip/rip_queue.h"

namespace ripwarden {

namespace {

// What the copier says when it exits: whole, or whole with blocks it could
// not read; not enough space (nothing written).
constexpr int kCopyWhole = 0;
constexpr int kCopyDamaged = 2;
constexpr int kCopyNoSpace = 3;
// What the whole-file check says: a length, or no media to read.
constexpr int kCheckAnswered = 0;
constexpr int kCheckNoMedia = 1;
// Lines taken from a helper in one turn; it writes a few a second.
constexpr int kMostHelperLines = 16;
constexpr std::size_t kMostRecentRips = 10;

// The output file's name without its folder and extension: the copy's name.
std::string CopyName(const std::string& output_file) {
  std::string name = output_file.substr(output_file.find_last_of("/\\") + 1);
  return name.substr(0, name.rfind('.'));
}

std::string Blocks(std::int64_t count) {
  return std::to_string(count) + (count == 1 ? " unreadable block was" : " unreadable blocks were");
}

}  // namespace

void RipEngine::StartCopy(RipJob& job) {
  Files& files = services_.files;
  RipView& view = services_.view;
  const PathRules& paths = services_.paths;
  const EncoderCommand names = BuildEncoderCommand(job.request, kCurrentDialect, paths);
  job.output_file = names.output_file;
  job.encoding_file = names.encoding_file;
  // Only a full path names a work folder: an old settings file without the
  // key reads "0", and a folder relative to wherever the program runs is none.
  std::string work = Trim(services_.settings.ReadSetting(setting::kWorkFolder));
  if (!paths.IsPathSource(work)) work = paths.JoinPath(records_folder_, "copies");
  if (const auto made = files.MakeFolders(work); !made) {
    view.InsertOutputLine("The work folder " + work + " cannot be used (" + made.reason() +
                          "), so the disc is ripped directly.");
    LaunchEncoder(job);
    return;
  }
  job.copy_folder = paths.JoinPath(work, CopyName(job.output_file));
  job.copying_folder = job.copy_folder + ".copying";
  files.RemoveTree(job.copying_folder);
  // In the queue before the copier makes anything: a crash at any moment
  // leaves no copy the next start does not know of.
  job.phase = RipPhase::kCopying;
  BeginRecord(job);
  WriteJobRecord(job);
  StoreQueue();
  // What the disc reader says of a troubled disc stays with the rip.
  job.helper = services_.processes.StartProcessWithOptions(
      helper_, {"copy", job.request.input_path, job.copying_folder}, "", SideLog(job, "copy"));
  if (job.helper == kNoProcess) {
    view.InsertOutputLine("The disc could not be copied (" + services_.processes.StartFailure() +
                          "), so it is ripped directly.");
    job.copy_folder.clear();
    job.copying_folder.clear();
    job.phase = RipPhase::kStarting;
    StoreQueue();
    LaunchEncoder(job);
    return;
  }
  view.SetStatusText("Copying the disc...");
}

void RipEngine::ReadHelperOutput(RipJob& job) {
  ProcessRunner& processes = services_.processes;
  for (int i = 0; i < kMostHelperLines && processes.IsLineWaiting(job.helper); ++i) {
    const std::string line = processes.ReadOutputLine(job.helper);
    const std::string head = TextField(line, 1, ':');
    const std::string rest = Trim(line.substr(std::min(line.size(), head.size() + 1)));
    if (head == "Copying") {
      job.percent = TextToFloat(PercentText(line));
      ShowProgress(job, line, "Copying the disc: ");
      continue;
    }
    if (head == "Duration") {
      char* end = nullptr;
      const double seconds = std::strtod(rest.c_str(), &end);
      if (end != rest.c_str()) job.file_seconds = seconds;
      continue;
    }
    if (head == "Error") job.helper_error = rest;
    if (head == "Copied") {
      // "Copied: N bytes, M unreadable blocks skipped"
      job.skipped_blocks = TextToInteger(Trim(TextField(rest, 2, ',')));
    }
    services_.view.InsertOutputLine(line);
  }
}

std::optional<RipEngine::HelperEnd> RipEngine::TakeHelperEnd(RipJob& job) {
  ReadHelperOutput(job);
  ProcessRunner& processes = services_.processes;
  if (processes.IsProcessKnown(job.helper) != kNoProcess && processes.IsProcessRunning(job.helper))
    return std::nullopt;
  const HelperEnd end{processes.ExitCode(job.helper), processes.EndingSignal(job.helper)};
  processes.CloseProcess(job.helper);
  job.helper = kNoProcess;
  return end;
}

void RipEngine::ContinueCopy(RipJob& job) {
  if (const auto end = TakeHelperEnd(job)) FinishCopy(job, *end);
}

void RipEngine::FinishCopy(RipJob& job, const HelperEnd& end) {
  Files& files = services_.files;
  RipView& view = services_.view;
  const auto& code = end.code;
  if (code == kCopyWhole || code == kCopyDamaged) {
    if (const auto named = files.RenameFile(job.copying_folder, job.copy_folder); !named) {
      files.RemoveTree(job.copying_folder);
      job.copying_folder.clear();
      EndRip(job, {RipOutcome::Kind::kCopyFailed,
                   "the copy could not be given its name (" + named.reason() + ")"});
      return;
    }
    job.copying_folder.clear();
    job.from_copy = true;
    job.phase = RipPhase::kWaiting;
    job.percent = 0.0f;
    job.progress_shown = false;
    job.progress_text.clear();
    job.progress_detail.clear();
    StoreQueue();
    job.record.copied = RecordTime();
    WriteJobRecord(job);
    // From now on the disc is free: the next one can go in at once.
    if (services_.settings.ReadSetting(setting::kEjectOnFinish) == "1") EjectDrive(job.source);
    const std::string status = job.skipped_blocks > 0
                                   ? "Copied, but " + Blocks(job.skipped_blocks) + " skipped."
                                   : std::string("Copied. The rip goes on in the background.");
    if (IsShown(job) || !IsRipping()) {
      view.SetRipProgressBar(0);
      view.SetStatusText(status);
    }
    Balloon(
        "DVD Copied",
        job.skipped_blocks > 0
            ? "The disc has been copied, but " + Blocks(job.skipped_blocks) +
                  " skipped: its rip may show gaps. It can be taken out; its rip goes on in the background."
            : "The disc has been copied and can be taken out. Its rip goes on in the background.",
        BalloonIcon::kInformation, job.source);
    StartNextEncode();
    RefreshQueueView();
    return;
  }
  files.RemoveTree(job.copying_folder);
  job.copying_folder.clear();
  if (code == kCopyNoSpace) {
    view.InsertOutputLine(job.helper_error + " The disc is ripped directly instead.");
    job.copy_folder.clear();
    job.phase = RipPhase::kStarting;
    StoreQueue();
    LaunchEncoder(job);
    return;
  }
  std::string detail = job.helper_error;
  while (!detail.empty() && detail.back() == '.') detail.pop_back();
  if (detail.empty()) {
    detail = end.signal ? "the copier was killed by signal " + std::to_string(*end.signal)
                        : "the copier stopped with exit code " + std::to_string(code.value_or(-1));
  }
  EndRip(job, {RipOutcome::Kind::kCopyFailed, detail});
}

void RipEngine::StartNextEncode() {
  if (queue_frozen_) return;
  for (const RipJob& job : jobs_) {
    const bool encoding = job.phase == RipPhase::kStarting || job.phase == RipPhase::kScanning ||
                          job.phase == RipPhase::kEncoding || job.phase == RipPhase::kMuxing ||
                          job.phase == RipPhase::kChecking ||
                          (job.phase == RipPhase::kStopping && job.process != kNoProcess);
    if (encoding) return;
  }
  for (RipJob& job : jobs_) {
    if (job.phase != RipPhase::kWaiting) continue;
    job.phase = RipPhase::kStarting;
    LaunchEncoder(job);
    RefreshQueueView();
    return;
  }
}

bool RipEngine::StartCheck(RipJob& job) {
  job.check_done = true;
  if (helper_.empty()) return false;
  job.helper = services_.processes.StartProcess(helper_, {"duration", job.encoding_file}, "");
  if (job.helper == kNoProcess) {
    services_.view.InsertOutputLine("The finished file's length could not be checked (" +
                                    services_.processes.StartFailure() + ").");
    return false;
  }
  job.phase_before_check = job.phase;
  job.phase = RipPhase::kChecking;
  job.file_seconds.reset();
  ContinueCheck(job);
  return true;
}

void RipEngine::ContinueCheck(RipJob& job) {
  const auto end = TakeHelperEnd(job);
  if (!end) return;
  const auto& code = end->code;
  // A helper that failed itself says nothing of the file.
  job.checked = code == kCheckAnswered || code == kCheckNoMedia;
  if (code != kCheckAnswered) job.file_seconds.reset();
  if (!job.checked) services_.view.InsertOutputLine("The finished file's length could not be checked.");
  job.phase = job.phase_before_check;
  FinishRip(job);
}

void RipEngine::RemoveCopy(RipJob& job) {
  if (job.copy_folder.empty() || services_.settings.ReadSetting(setting::kKeepCopies) == "1") return;
  services_.files.RemoveTree(job.copy_folder);
}

std::string RipEngine::QueuePath() const { return services_.paths.JoinPath(records_folder_, "queue.jsonl"); }

void RipEngine::StoreQueue() {
  if (records_folder_.empty() || queue_frozen_) return;
  std::vector<QueuedRip> rips;
  for (const RipJob& job : jobs_) {
    if (job.copy_folder.empty() || job.phase == RipPhase::kEnded) continue;
    QueuedRip rip{.id = job.record.id,
                  .state = job.from_copy ? QueuedRip::State::kCopied : QueuedRip::State::kCopying,
                  .reason = job.held_reason,
                  .copy_folder = job.copy_folder,
                  .skipped_blocks = job.skipped_blocks,
                  .source = job.source,
                  .encoder = job.encoder,
                  .request = job.request};
    if (job.phase == RipPhase::kHeld) rip.state = QueuedRip::State::kFailed;
    rips.push_back(std::move(rip));
  }
  if (!RipQueueFile(services_.files, QueuePath()).Store(rips))
    services_.view.InsertOutputLine("The rip queue could not be saved to " + QueuePath() + ".");
}

std::vector<std::string> RipEngine::RestoreQueue() {
  Files& files = services_.files;
  std::vector<std::string> finished_ids;
  for (const QueuedRip& rip : RipQueueFile(files, QueuePath()).Load()) {
    // A copy caught halfway is no copy: its disc is ripped again when it comes
    // back. One that already had its name was whole (only a whole copy is
    // given it): the end came before the queue could say so.
    if (rip.state == QueuedRip::State::kCopying) {
      files.RemoveTree(rip.copy_folder + ".copying");
      const auto named = files.Stamp(rip.copy_folder);
      if (rip.copy_folder.empty() || !named || !named->is_folder) continue;
    }
    const EncoderCommand names = BuildEncoderCommand(rip.request, kCurrentDialect, services_.paths);
    // Only a whole file ever gets the finished name: this rip ended before
    // the queue could say so.
    if (files.Stamp(names.output_file)) {
      finished_ids.push_back(rip.id);
      if (services_.settings.ReadSetting(setting::kKeepCopies) != "1") files.RemoveTree(rip.copy_folder);
      continue;
    }
    // The copy holds everything: what the dead encoder wrote goes.
    files.RemoveFile(names.encoding_file);
    if (!files.Stamp(rip.copy_folder)) continue;
    RipJob job;
    job.serial = next_serial_++;
    job.source = rip.source;
    job.encoder = rip.encoder;
    job.request = rip.request;
    job.request.input_path = rip.copy_folder;
    job.disc_label = rip.request.label;
    job.from_copy = true;
    job.copy_folder = rip.copy_folder;
    job.skipped_blocks = rip.skipped_blocks;
    job.output_file = names.output_file;
    job.encoding_file = names.encoding_file;
    job.record.id = rip.id;
    job.phase = rip.state == QueuedRip::State::kFailed ? RipPhase::kHeld : RipPhase::kWaiting;
    job.held_reason = rip.reason;
    DriveWatch& watch = watches_[rip.source];
    watch.auto_ripped = true;
    watch.auto_ripped_label = rip.request.label;
    jobs_.push_back(std::move(job));
  }
  return finished_ids;
}

RipJob* RipEngine::FindJob(std::uint64_t serial) {
  for (RipJob& job : jobs_) {
    if (job.serial == serial && job.phase != RipPhase::kEnded) return &job;
  }
  return nullptr;
}

std::vector<RipEngine::QueueRow> RipEngine::QueueRows() const {
  std::vector<QueueRow> rows;
  for (const RipJob& job : jobs_) {
    std::string text = (job.disc_label.empty() ? std::string("(no label)") : job.disc_label) + ": ";
    const std::string progress =
        job.progress_text.empty() ? std::string()
                                  : ", " + job.progress_text +
                                        (job.progress_detail.empty() ? "" : " (" + job.progress_detail + ")");
    switch (job.phase) {
      case RipPhase::kCopying:
        text += "copying" + progress;
        break;
      case RipPhase::kWaiting:
        text += "waiting";
        break;
      case RipPhase::kScanning:
        text += "reading its titles";
        break;
      case RipPhase::kStarting:
        text += "starting";
        break;
      case RipPhase::kEncoding:
      case RipPhase::kMuxing: {
        const std::string title = TitleProgress(job);
        text += "encoding" + (title.empty() ? "" : " " + title) + progress;
        break;
      }
      case RipPhase::kChecking:
        text += "checking the file";
        break;
      case RipPhase::kStopping:
        text += "stopping";
        break;
      case RipPhase::kHeld:
        text += "failed: " + job.held_reason;
        break;
      case RipPhase::kEnded:
        continue;
    }
    rows.push_back({job.serial, text});
  }
  return rows;
}

void RipEngine::RefreshQueueView() {
  auto rows = QueueRows();
  if (rows == shown_rows_) return;
  shown_rows_ = std::move(rows);
  std::vector<std::string> texts;
  for (const QueueRow& row : shown_rows_) texts.push_back(row.text);
  services_.view.ShowQueue(texts);
}

std::vector<std::string> RipEngine::RecentRips(std::size_t most) {
  std::vector<std::string> lines;
  if (records_folder_.empty()) return lines;
  const auto records = RipHistory(services_.files, HistoryPath()).Records();
  if (!records) return lines;
  for (auto record = records->rbegin(); record != records->rend() && lines.size() < most; ++record) {
    std::string line =
        record->start + "  " + (record->label.empty() ? "(no label)" : record->label) + "  " + record->result;
    if (!record->reason.empty()) line += ": " + record->reason;
    lines.push_back(line);
  }
  return lines;
}

void RipEngine::RefreshRecentRips() { services_.view.ShowRecentRips(RecentRips(kMostRecentRips)); }

void RipEngine::CancelJob(std::uint64_t serial) {
  Prune();
  RipJob* job = FindJob(serial);
  if (job == nullptr) return;
  if (job->phase == RipPhase::kWaiting) {
    EndRip(*job, {RipOutcome::Kind::kCancelled, {}});
  } else if (job->phase == RipPhase::kHeld) {
    RemoveJob(serial);
  } else {
    StopRip(*job, {RipOutcome::Kind::kCancelled, {}});
  }
  RefreshQueueView();
}

void RipEngine::RetryJob(std::uint64_t serial) {
  Prune();
  RipJob* held = FindJob(serial);
  if (held == nullptr || held->phase != RipPhase::kHeld) return;
  // A new attempt: only what the copy and the request fix is kept.
  RipJob job;
  job.serial = held->serial;
  job.source = held->source;
  job.encoder = held->encoder;
  job.request = held->request;
  job.disc_label = held->disc_label;
  job.from_copy = true;
  job.copy_folder = held->copy_folder;
  job.skipped_blocks = held->skipped_blocks;
  job.output_file = held->output_file;
  job.encoding_file = held->encoding_file;
  job.record = held->record;
  job.phase = RipPhase::kWaiting;
  *held = std::move(job);
  StoreQueue();
  StartNextEncode();
  RefreshQueueView();
}

void RipEngine::RemoveJob(std::uint64_t serial) {
  Prune();
  RipJob* job = FindJob(serial);
  if (job == nullptr) return;
  if (job->phase == RipPhase::kWaiting) {
    EndRip(*job, {RipOutcome::Kind::kCancelled, {}});
  } else if (job->phase == RipPhase::kHeld) {
    RemoveCopy(*job);
    job->phase = RipPhase::kEnded;
    StoreQueue();
  }
  RefreshQueueView();
}

}  // namespace ripwarden
