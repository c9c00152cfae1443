#include <algorithm>
#include <cmath>
#include <cstdio>

#include "rip/date_format.h"
#include "rip/encoder_command.h"
#include "rip/rip_engine.h"

namespace ripwarden {

namespace {

constexpr const char* kRecordTimeMask = "%yyyy-%mm-%dd %hh:%ii:%ss";
constexpr const char* kInterruptedReason =
    "Ripwarden stopped during the rip (a crash, a forced quit or a power cut).";
// A whole rip may come out this much shorter than its title: encoders round
// the last frame, and audio and video end a little apart.
constexpr double kShortestWholeShare = 0.99;
constexpr double kLeastToleranceSeconds = 1.0;
// Without the encoder's counts, its last update tells: a short title's last
// update is (frames - 1) / frames, so that is only a fallback.
constexpr float kWholePercent = 99.9f;

// The name of one of our own output files, which never holds a separator
// of either kind.
std::string FileName(const std::string& path) { return path.substr(path.find_last_of("/\\") + 1); }

// A file's folder as it was joined to the name, separator and all.
std::string Folder(const std::string& path) { return path.substr(0, path.size() - FileName(path).size()); }

// A record the history could not take in is still where the user can find it.
void WriteRecord(RipHistory history, const RipRecord& record, RipView& view) {
  if (history.Write(record) == HistoryWrite::kKeptAside) {
    view.InsertOutputLine("The rip history could not be read, so this rip's record was kept in " +
                          history.AsidePath() + ".");
  }
}

std::string Megabytes(std::uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
  return text;
}

}  // namespace

std::string RipEngine::HistoryPath() const {
  return services_.paths.JoinPath(records_folder_, "history.jsonl");
}

void RipEngine::KeepRecords(const std::string& folder, const std::string& helper_program) {
  records_folder_ = folder;
  helper_ = helper_program;
}

std::string RipEngine::RecordTime() { return FormatDate(kRecordTimeMask, services_.calendar.CurrentDate()); }

void RipEngine::SettleLeftovers() {
  if (records_folder_.empty()) return;
  Files& files = services_.files;
  const std::vector<std::string> finished = RestoreQueue();
  RipHistory history(files, HistoryPath());
  // A history that cannot be read now is settled at a later start.
  for (RipRecord record : history.Records().value_or(std::vector<RipRecord>{})) {
    if (record.result != "running") continue;
    if (std::find(finished.begin(), finished.end(), record.id) != finished.end()) {
      record.result = "complete";
      if (const auto stamp = files.Stamp(record.output))
        record.bytes = static_cast<std::int64_t>(stamp->size);
      WriteRecord(history, record, services_.view);
      continue;
    }
    // What the dead encoder wrote is kept for the user to judge, never under
    // the finished name and never thrown away: while it cannot be reached (a
    // destination not mounted yet, a rename refused) the rip stays open.
    const std::string partial = record.output + std::string(kEncodingSuffix);
    const std::string incomplete = IncompleteName(record.output);
    if (const auto stamp = files.Stamp(partial)) {
      if (!files.RenameFile(partial, incomplete)) continue;
      record.output = incomplete;
      record.bytes = static_cast<std::int64_t>(stamp->size);
    } else if (!record.output.empty() && !files.Stamp(Folder(record.output))) {
      continue;
    } else {
      record.output.clear();
    }
    record.result = "interrupted";
    record.reason = kInterruptedReason;
    WriteRecord(history, record, services_.view);
  }
  files.RemoveTree(services_.paths.JoinPath(records_folder_, "tmp"));
  // The copies taken up again read as their history has them.
  const auto records = history.Records();
  for (RipJob& job : jobs_) {
    if (!records) break;
    for (const RipRecord& record : *records) {
      if (record.id == job.record.id) job.record = record;
    }
  }
  StoreQueue();
  RefreshQueueView();
  RefreshRecentRips();
}

void RipEngine::WriteJobRecord(RipJob& job) {
  if (records_folder_.empty() || job.record.id.empty()) return;
  WriteRecord(RipHistory(services_.files, HistoryPath()), job.record, services_.view);
}

void RipEngine::BeginRecord(RipJob& job) {
  job.scratch_folder.clear();
  // A copy's rip keeps the record its copy began.
  if (!job.record.id.empty()) return;
  job.record = {};
  if (records_folder_.empty()) return;
  RipRecord& record = job.record;
  // The moment the file's name was made from, so the two read alike.
  record.start = FormatDate(kRecordTimeMask, job.request.start);
  // Two rips of one disc may start within a second: the tick tells them apart.
  record.id = record.start + " " + std::to_string(services_.clock.TickCount()) + " " + job.output_file;
  record.label = job.disc_label;
  record.source = job.source;
  record.output = job.output_file;
  record.result = "running";
}

ProcessOptions RipEngine::SideLog(const RipJob& job, const std::string& kind) {
  ProcessOptions options;
  // Kept beside the encoder's log, not in the tray program's own.
  if (records_folder_.empty()) return options;
  const std::string logs = services_.paths.JoinPath(records_folder_, "logs");
  if (services_.files.MakeFolders(logs))
    options.error_log = services_.paths.JoinPath(logs, FileName(job.output_file) + "." + kind + ".log");
  return options;
}

void RipEngine::PrepareRecordFiles(RipJob& job, ProcessOptions& options) {
  if (records_folder_.empty()) return;
  Files& files = services_.files;
  const std::string name = FileName(job.output_file);
  // The newest logs are kept, the one about to be written among them.
  const PathRules& paths = services_.paths;
  const std::string logs = paths.JoinPath(records_folder_, "logs");
  files.MakeFolders(logs);
  std::vector<std::pair<std::int64_t, std::string>> kept;
  for (const std::string& entry : files.ListFolder(logs)) {
    const std::string path = paths.JoinPath(logs, entry);
    if (const auto stamp = files.Stamp(path); stamp && !stamp->is_folder)
      kept.emplace_back(stamp->modified_ns, path);
  }
  std::sort(kept.begin(), kept.end());
  for (std::size_t i = 0; i + kMostLogs <= kept.size(); ++i) files.RemoveFile(kept[i].second);

  job.record.log = paths.JoinPath(logs, name + ".log");
  job.scratch_folder = paths.JoinPath(paths.JoinPath(records_folder_, "tmp"), name);
  if (files.MakeFolders(job.scratch_folder)) options.temp_folder = job.scratch_folder;
  options.error_log = job.record.log;
  WriteRecord(RipHistory(files, HistoryPath()), job.record, services_.view);
}

void RipEngine::FinishRecord(RipJob& job, const RipOutcome& outcome) {
  ProcessRunner& processes = services_.processes;
  Files& files = services_.files;
  RipRecord& record = job.record;
  if (!job.scratch_folder.empty()) files.RemoveTree(job.scratch_folder);
  const std::string result = HistoryResult(outcome);
  record.end = RecordTime();
  record.result = result;
  // The outcome's reason, then the encoder's own where it gave one, and
  // what the copy of a damaged disc lacked.
  std::string reason = FailureReason(outcome);
  const auto add = [&reason](const std::string& more) { reason += (reason.empty() ? "" : " ") + more; };
  if (!record.reason.empty()) add(record.reason);
  if (outcome.kind == RipOutcome::Kind::kClosed)
    add("Ripwarden closed during the encode; it is encoded again from its copy at the next start.");
  if (job.skipped_blocks > 0)
    add(std::to_string(job.skipped_blocks) + " unreadable blocks of the disc were skipped in its copy.");
  record.reason = reason;
  if (const auto code = processes.ExitCode(job.process)) record.exit_code = *code;
  if (const auto signal = processes.EndingSignal(job.process)) record.signal = *signal;
  record.bytes.reset();
  if (!record.output.empty()) {
    if (const auto stamp = files.Stamp(record.output)) record.bytes = static_cast<std::int64_t>(stamp->size);
  }
  if (!record.bytes) record.output.clear();

  // One line that says how the rip ended, whatever scrolled before it.
  std::string summary = "Rip " + result + ": " + (record.bytes ? record.output : "no file kept");
  if (record.seconds_encoded) {
    summary += ", " + FormatDuration(*record.seconds_encoded);
    if (record.seconds_expected && outcome.kind != RipOutcome::Kind::kComplete)
      summary += " of " + FormatDuration(*record.seconds_expected);
  }
  if (record.bytes) summary += ", " + Megabytes(static_cast<std::uint64_t>(*record.bytes));
  services_.view.InsertOutputLine(summary);

  if (!records_folder_.empty() && !record.id.empty()) {
    WriteRecord(RipHistory(files, HistoryPath()), record, services_.view);
    RefreshRecentRips();
  }
}

std::optional<std::string> RipEngine::Shortfall(RipJob& job, const EncoderLogFacts& facts) {
  RipRecord& record = job.record;
  const auto& title = facts.title_seconds;
  if (facts.frames_got && facts.frames_expected && *facts.frames_expected > 0) {
    const double share = static_cast<double>(*facts.frames_got) / static_cast<double>(*facts.frames_expected);
    if (title) record.seconds_encoded = *title * share;
    if (share < kShortestWholeShare) {
      if (title) return FormatDuration(*title * share) + " of " + FormatDuration(*title) + " was encoded";
      return std::to_string(*facts.frames_got) + " of " + std::to_string(*facts.frames_expected) +
             " frames were encoded";
    }
  }
  if (job.checked) {
    // A cut file often has no index at all, and no duration to read.
    const auto seconds = job.file_seconds;
    if (!seconds) return std::string("HandBrake did not finish the file");
    record.seconds_encoded = *seconds;
    if (title && *seconds < *title - std::max(kLeastToleranceSeconds, *title * (1 - kShortestWholeShare))) {
      return FormatDuration(*seconds) + " of " + FormatDuration(*title) + " was encoded";
    }
    if (title || facts.frames_got) return std::nullopt;
  } else if (facts.frames_got) {
    return std::nullopt;
  }
  if (job.last_update_percent >= kWholePercent || job.phase == RipPhase::kMuxing) return std::nullopt;
  char percent[32];
  std::snprintf(percent, sizeof percent, "%.1f %%", static_cast<double>(job.last_update_percent));
  return std::string("HandBrake stopped at ") + percent;
}

void RipEngine::KeepIncomplete(RipJob& job) {
  Files& files = services_.files;
  const auto stamp = files.Stamp(job.encoding_file);
  if (!stamp || stamp->is_folder) {
    job.record.output.clear();
    return;
  }
  if (stamp->size == 0) {
    files.RemoveFile(job.encoding_file);
    job.record.output.clear();
    return;
  }
  const std::string incomplete = IncompleteName(job.output_file);
  job.record.output = files.RenameFile(job.encoding_file, incomplete) ? incomplete : job.encoding_file;
}

}  // namespace ripwarden
