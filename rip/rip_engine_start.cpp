#include "rip/encoder_command.h"
#include "rip/rip_engine.h"

namespace ripwarden {

bool RipEngine::CopyFirst() const {
  // The queue lives beside the history, and the copier is the helper.
  return !records_folder_.empty() && !helper_.empty() &&
         services_.settings.ReadSetting(setting::kCopyFirst) == "1";
}

void RipEngine::StartRip() {
  Prune();
  const bool copy_first = CopyFirst();
  if (!CanStartRip(copy_first)) return;
  SettingsStore& settings = services_.settings;
  RipView& view = services_.view;

  view.EnableCancelButton(true);
  if (settings.ReadSetting(setting::kClearHandBrakeOutput) == "1") view.ClearOutputList();
  view.SetRipProgressBar(0);

  RipJob job;
  job.source = settings.ReadSetting(setting::kSourceDrive);
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
  Balloon("DVD Rip Started", "A DVD has been inserted and is now being ripped.", BalloonIcon::kInformation);
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
