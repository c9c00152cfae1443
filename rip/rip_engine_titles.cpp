#include "config/text_helpers.h"
#include "rip/disc_scan.h"
#include "rip/encoder_log.h"
#include "rip/rip_engine.h"

namespace ripwarden {

namespace {

// A scan prints a few hundred lines; more than this is no scan.
constexpr std::size_t kMostScanBytes = std::size_t{16} << 20;
constexpr int kMostScanLinesPerTurn = 512;

bool RipsEveryTitle(const RipRequest& request) { return Trim(request.titles) == "All"; }

// An old settings file without the key reads "0", which is no language.
bool NamesLanguages(const std::string& languages) {
  const std::string trimmed = Trim(languages);
  return !trimmed.empty() && trimmed != "0";
}

bool NeedsScan(const RipRequest& request) {
  return RipsEveryTitle(request) || NamesLanguages(request.audio_languages) ||
         NamesLanguages(request.subtitle_languages);
}

int Minutes(const std::string& text) {
  const std::string digits = Trim(text);
  if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos)
    return 0;
  return std::stoi(digits);
}

}  // namespace

std::string RipEngine::TitleProgress(const RipJob& job) {
  if (!job.request.name_with_title || job.plans.size() < 2) return {};
  return "title " + std::to_string(std::min(job.title_at + 1, job.plans.size())) + " of " +
         std::to_string(job.plans.size());
}

bool RipEngine::StartScan(RipJob& job) {
  if (job.scanned || !NeedsScan(job.request)) return false;
  job.scanned = true;
  job.scan_output.clear();
  job.process = services_.processes.StartProcessWithOptions(
      job.encoder, ScanArguments(job.request.input_path), job.request.destination, SideLog(job, "scan"));
  // The encode that follows fails the same way and says why.
  if (job.process == kNoProcess) return false;
  job.phase = RipPhase::kScanning;
  services_.view.InsertOutputLine("Reading the disc's titles and tracks...");
  if (IsShown(job)) services_.view.SetStatusText("Reading the disc's titles...");
  RefreshQueueView();
  return true;
}

void RipEngine::ReadScanOutput(RipJob& job) {
  ProcessRunner& processes = services_.processes;
  for (int i = 0; i < kMostScanLinesPerTurn && processes.IsLineWaiting(job.process); ++i) {
    const std::string line = processes.ReadOutputLine(job.process);
    if (job.scan_output.size() + line.size() < kMostScanBytes) job.scan_output += line + '\n';
  }
}

void RipEngine::ContinueScan(RipJob& job) {
  ProcessRunner& processes = services_.processes;
  ReadScanOutput(job);
  if (processes.IsProcessKnown(job.process) != kNoProcess && processes.IsProcessRunning(job.process)) return;
  // Its last lines may still wait behind its end.
  if (processes.IsLineWaiting(job.process)) return;
  processes.CloseProcess(job.process);
  job.process = kNoProcess;
  const auto scan = ParseDiscScan(job.scan_output);
  job.scan_output.clear();
  job.plans.clear();
  job.title_at = 0;
  job.record.titles.clear();
  RipView& view = services_.view;
  if (!scan || scan->titles.empty()) {
    view.InsertOutputLine(
        "The disc's titles could not be read, so its main feature is ripped with its first audio track.");
  } else {
    const TitleChoice choice{RipsEveryTitle(job.request) ? TitleChoice::Mode::kAll : TitleChoice::Mode::kMain,
                             Minutes(job.request.shortest_title), Minutes(job.request.longest_title)};
    std::string chosen_text;
    for (const int index : ChooseTitles(*scan, choice)) {
      for (const ScannedTitle& title : scan->titles) {
        if (title.index != index) continue;
        job.plans.push_back({index, TracksInLanguages(title.audio, job.request.audio_languages),
                             TracksInLanguages(title.subtitles, job.request.subtitle_languages)});
        chosen_text += (chosen_text.empty() ? "" : ", ") + std::to_string(index) + " (" +
                       FormatDuration(title.seconds) + ")";
      }
    }
    if (job.plans.empty()) {
      EndRip(job, {RipOutcome::Kind::kNoTitles, {}});
      return;
    }
    view.InsertOutputLine("The disc has " + std::to_string(scan->titles.size()) + " titles; ripping " +
                          (job.plans.size() == 1 ? "title " : "titles ") + chosen_text + ".");
  }
  job.phase = RipPhase::kStarting;
  LaunchEncoder(job);
}

bool RipEngine::TakeTitlePlan(RipJob& job) {
  RipRequest& request = job.request;
  request.name_with_title = RipsEveryTitle(request) && !job.plans.empty();
  // Without a scan: the encoder's own main feature, as always.
  if (job.plans.empty()) return true;
  while (job.title_at < job.plans.size()) {
    const RipJob::TitlePlan& plan = job.plans[job.title_at];
    request.title = plan.title;
    request.audio_tracks = plan.audio;
    request.subtitle_tracks = plan.subtitles;
    request.foreign_audio_search = NamesLanguages(request.subtitle_languages);
    // A title whose file has its finished name was ripped before a restart:
    // only a whole file is ever given that name.
    if (!request.name_with_title) return true;
    const EncoderCommand names = BuildEncoderCommand(request, kCurrentDialect, services_.paths);
    if (!services_.files.Stamp(names.output_file)) return true;
    job.record.titles.push_back({plan.title, names.output_file, "complete", {}, {}, {}});
    ++job.title_at;
  }
  return false;
}

bool RipEngine::EndTitle(RipJob& job, RipOutcome& outcome) {
  if (!job.request.name_with_title || job.title_at >= job.plans.size() || job.phase == RipPhase::kEnded ||
      job.phase == RipPhase::kWaiting || job.phase == RipPhase::kHeld)
    return false;
  using Kind = RipOutcome::Kind;
  RipRecord& record = job.record;
  const int title = job.plans[job.title_at].title;
  record.titles.push_back({title, record.output, HistoryResult(outcome), FailureReason(outcome),
                           record.seconds_encoded, record.seconds_expected});
  ++job.title_at;
  RipView& view = services_.view;
  if (outcome.kind != Kind::kComplete && outcome.kind != Kind::kCancelled && outcome.kind != Kind::kClosed)
    view.InsertOutputLine("Title " + std::to_string(title) + " failed: " + FailureReason(outcome));
  const bool title_ended = outcome.kind == Kind::kComplete || outcome.kind == Kind::kIncomplete ||
                           outcome.kind == Kind::kEncoderStopped || outcome.kind == Kind::kNotWritten ||
                           outcome.kind == Kind::kNotNamed;
  if (!title_ended) return false;
  if (job.title_at < job.plans.size()) {
    // The next title: a new encode, with the job's record and disc.
    services_.processes.CloseProcess(job.process);
    job.process = kNoProcess;
    if (!job.scratch_folder.empty()) services_.files.RemoveTree(job.scratch_folder);
    job.percent = job.last_update_percent = 0.0f;
    job.progress_shown = false;
    job.progress_text.clear();
    job.progress_detail.clear();
    job.check_done = job.checked = false;
    job.file_seconds.reset();
    record.result = "running";
    record.reason.clear();
    record.exit_code.reset();
    record.signal.reset();
    record.frames_encoded.reset();
    record.frames_expected.reset();
    record.seconds_encoded.reset();
    record.seconds_expected.reset();
    record.bytes.reset();
    job.phase = RipPhase::kStarting;
    if (IsShown(job)) {
      view.SetRipProgressBar(0);
      view.EnableCancelButton(true);
    }
    LaunchEncoder(job);
    RefreshQueueView();
    return true;
  }
  std::vector<int> failed;
  for (const RipTitleRecord& done : record.titles) {
    if (done.result != "complete") failed.push_back(done.title);
  }
  // A disc of one title fails as that title did.
  if (failed.empty() || record.titles.size() == 1) return false;
  std::string list;
  for (std::size_t i = 0; i < failed.size(); ++i) {
    if (i > 0) list += i + 1 == failed.size() ? " and " : ", ";
    list += std::to_string(failed[i]);
  }
  outcome = {Kind::kTitlesFailed, std::to_string(failed.size()) + " of " +
                                      std::to_string(record.titles.size()) + " titles failed (" +
                                      (failed.size() == 1 ? "title " : "titles ") + list + ")"};
  return false;
}

}  // namespace ripwarden
