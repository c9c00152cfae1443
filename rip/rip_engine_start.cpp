#include "rip/encoder_command.h"
#include "rip/rip_engine.h"

namespace ripwarden {

void RipEngine::StartRip() {
  if (state_.RipInProgress != 0) return;
  SettingsStore& settings = services_.settings;
  RipView& view = services_.view;

  view.EnableCancelButton(true);
  if (settings.ReadSetting(setting::kClearHandBrakeOutput) == "1") view.ClearOutputList();
  view.SetRipProgressBar(0);

  RipRequest request;
  const std::string source = settings.ReadSetting(setting::kSourceDrive);
  request.input_path = services_.drives.EncoderInputPath(source);
  request.destination = settings.ReadSetting(setting::kDestination);
  // The encoder runs in the destination and writes its file there: without
  // one it would write wherever the program happens to be.
  const auto folder = request.destination.empty() ? std::nullopt : services_.files.Stamp(request.destination);
  if (!folder || !folder->is_folder) {
    FailWithError(kNoDestinationText);
    return;
  }
  Balloon("DVD Rip Started", "A DVD has been inserted and is now being ripped.", BalloonIcon::kInformation);
  view.SetStatusText("Reading Disc...");

  request.label = GetVolumeLabel(source);
  request.start = services_.calendar.CurrentDate();
  request.container = settings.ReadSetting(setting::kFileContainer);
  request.encoding = settings.ReadSetting(setting::kEncoding);
  if (!request.encoding.empty()) {
    request.preset = services_.presets.LookupPreset(request.encoding);
    request.two_pass = settings.ReadSetting(setting::kTwoPass);
    request.audio_booster = settings.ReadSetting(setting::kAudioBooster);
  }
  state_.RipInProgress = 1;
  state_.RipSource = source;
  state_.RipDiscLabel = request.label;
  state_.RipDiscLeft = 0;
  state_.Request = std::move(request);
  state_.EncoderPath = settings.ReadSetting(setting::kEncoderLocation);
  state_.ProgressPercent = 0.0f;
  state_.LastUpdatePercent = 0.0f;
  state_.ProgressShown = 0;
  state_.MuxingSeen = 0;
  state_.AwaitingDialect = 1;
  LaunchEncoder();
}

void RipEngine::LaunchEncoder() {
  // The encoder may still be saying which options it takes; a later turn
  // goes on from here.
  const auto dialect = services_.dialects.For(state_.EncoderPath);
  if (!dialect) return;
  state_.AwaitingDialect = 0;
  const EncoderCommand command = BuildEncoderCommand(state_.Request, *dialect, services_.paths);
  state_.OutputFile = command.output_file;
  state_.EncodingFile = command.encoding_file;
  services_.view.InsertOutputLine(command.display_line);

  BeginRecord(state_.RipSource, state_.Request.start);
  ProcessOptions options;
  PrepareRecordFiles(options);
  state_.EncoderProgram = services_.processes.StartProcessWithOptions(state_.EncoderPath, command.arguments,
                                                                      state_.Request.destination, options);
  // Nothing will ever end this rip by itself: end it now and say why.
  if (state_.EncoderProgram == kNoProcess) FailWithError(kLaunchFailedText);
}

}  // namespace ripwarden
