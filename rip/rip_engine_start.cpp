#include <algorithm>

#include "config/text_helpers.h"
#include "rip/encoder_command.h"
#include "rip/rip_engine.h"

namespace ripwarden {

bool RipEngine::CopyFirst() const {
  // The queue lives beside the history, and the copier is the helper.
  return !records_folder_.empty() && !helper_.empty() &&
         services_.settings.ReadSetting(setting::kCopyFirst) == "1";
}

std::vector<std::string> RipEngine::WatchedSources() {
  const std::string setting = services_.settings.ReadSetting(setting::kSourceDrive);
  std::vector<std::string> sources;
  const auto add = [&](const std::string& source) {
    if (!source.empty() && std::find(sources.begin(), sources.end(), source) == sources.end())
      sources.push_back(source);
  };
  if (Trim(setting) == kEveryDrive) {
    for (const std::string& entry : services_.drives.ListDrives()) add(Trim(TextField(entry, 1, ':')));
    return sources;
  }
  // One source may be a path that holds ":" but never "|".
  std::size_t start = 0;
  while (start <= setting.size()) {
    const std::size_t end = std::min(setting.find(kSourceSeparator, start), setting.size());
    add(Trim(setting.substr(start, end - start)));
    start = end + 1;
  }
  return sources;
}

void RipEngine::MakeNameUnique(RipJob& job) {
  for (int number = 1; number < 1000; ++number) {
    job.request.name_number = number;
    const EncoderCommand names = BuildEncoderCommand(job.request, kCurrentDialect, services_.paths);
    const bool taken = std::any_of(jobs_.begin(), jobs_.end(), [&](const RipJob& other) {
      // Compared by the name of the disc's whole rip, whatever title it is at.
      RipRequest whole = other.request;
      whole.title = 0;
      whole.name_with_title = false;
      return other.phase != RipPhase::kEnded &&
             BuildEncoderCommand(whole, kCurrentDialect, services_.paths).output_file == names.output_file;
    });
    if (!taken) return;
  }
}

void RipEngine::StartRip() {
  Prune();
  const std::vector<std::string> sources = WatchedSources();
  if (sources.empty()) return;
  const bool copy_first = CopyFirst();
  // Start means the disc that waits: the first drive with one no rip reads.
  for (const std::string& source : sources) {
    if (!CanStartRip(copy_first, source)) continue;
    const auto volume = services_.drives.QueryVolume(source);
    if (sources.size() == 1 || (volume && !Trim(volume->file_system).empty())) {
      StartRip(source);
      return;
    }
  }
}

void RipEngine::StartRip(const std::string& source) {
  Prune();
  const bool copy_first = CopyFirst();
  if (!CanStartRip(copy_first, source)) return;
  SettingsStore& settings = services_.settings;
  RipView& view = services_.view;

  view.EnableCancelButton(true);
  if (settings.ReadSetting(setting::kClearHandBrakeOutput) == "1") view.ClearOutputList();
  view.SetRipProgressBar(0);

  RipJob job;
  job.source = source;
  RipRequest& request = job.request;
  request.input_path = services_.drives.EncoderInputPath(job.source);
  request.destination = settings.ReadSetting(setting::kDestination);
  // The encoder runs in the destination and writes its file there: without
  // one it would write wherever the program happens to be.
  const auto folder = request.destination.empty() ? std::nullopt : services_.files.Stamp(request.destination);
  if (!folder || !folder->is_folder) {
    const RipOutcome outcome{RipOutcome::Kind::kNoDestination, {}};
    job.phase = RipPhase::kEnded;
    EndRip(job, outcome);
    return;
  }
  Balloon("DVD Rip Started", "A DVD has been inserted and is now being ripped.", BalloonIcon::kInformation,
          source);
  view.SetStatusText("Reading Disc...");

  request.label = GetVolumeLabel(job.source);
  request.start = services_.calendar.CurrentDate();
  request.container = settings.ReadSetting(setting::kFileContainer);
  request.encoding = settings.ReadSetting(setting::kEncoding);
  if (!request.encoding.empty()) {
    request.preset = services_.presets.LookupPreset(request.encoding);
    request.two_pass = settings.ReadSetting(setting::kTwoPass);
    request.audio_booster = settings.ReadSetting(setting::kAudioBooster);
  }
  request.titles = settings.ReadSetting(setting::kTitles);
  request.shortest_title = settings.ReadSetting(setting::kShortestTitle);
  request.longest_title = settings.ReadSetting(setting::kLongestTitle);
  request.audio_languages = settings.ReadSetting(setting::kAudioLanguages);
  request.subtitle_languages = settings.ReadSetting(setting::kSubtitleLanguages);
  request.chapter_markers = settings.ReadSetting(setting::kChapterMarkers);
  job.disc_label = request.label;
  MakeNameUnique(job);
  job.encoder = settings.ReadSetting(setting::kEncoderLocation);
  job.phase = RipPhase::kStarting;
  job.serial = next_serial_++;
  jobs_.push_back(std::move(job));
  if (copy_first) {
    StartCopy(jobs_.back());
  } else {
    LaunchEncoder(jobs_.back());
  }
  RefreshQueueView();
}

void RipEngine::LaunchEncoder(RipJob& job) {
  // The encoder may still be saying which options it takes; a later turn
  // goes on from here.
  const auto dialect = services_.dialects.For(job.encoder);
  if (!dialect) return;
  if (job.from_copy) {
    job.request.input_path = job.copy_folder;
    // A copy encoded again after a restart starts a new attempt of its rip.
    job.record.result = "running";
    job.record.reason.clear();
    job.record.end.clear();
    if (IsShown(job) && !job.scanned) {
      services_.view.SetRipProgressBar(0);
      services_.view.SetStatusText("Encoding the copy...");
      services_.view.EnableCancelButton(true);
    }
  }
  if (StartScan(job)) return;
  if (!TakeTitlePlan(job)) {
    EndRip(job, {RipOutcome::Kind::kComplete, {}});
    return;
  }
  job.phase = RipPhase::kEncoding;
  const EncoderCommand command = BuildEncoderCommand(job.request, *dialect, services_.paths);
  job.output_file = command.output_file;
  job.encoding_file = command.encoding_file;
  job.record.output = job.output_file;
  if (const std::string progress = TitleProgress(job); !progress.empty()) {
    services_.view.InsertOutputLine("Encoding " + progress + ": title " + std::to_string(job.request.title) +
                                    " of the disc.");
  }
  services_.view.InsertOutputLine(command.display_line);

  BeginRecord(job);
  ProcessOptions options;
  PrepareRecordFiles(job, options);
  job.process = services_.processes.StartProcessWithOptions(job.encoder, command.arguments,
                                                            job.request.destination, options);
  // Nothing will ever end this rip by itself: end it now and say why.
  if (job.process == kNoProcess)
    EndRip(job, {RipOutcome::Kind::kLaunchFailed, services_.processes.StartFailure()});
}

}  // namespace ripwarden
