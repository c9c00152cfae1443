#include "ui/control_table.h"

#include <array>

#include "ui/window_ids.h"

namespace ripwarden {

namespace {

using K = ControlKind;
using F = FontId;
using namespace control;

constexpr std::array kControls = {
    // Rip progress window.
    ControlSpec{kDiscInfoLabel, K::kLabel, "DVD Information:", 10, 10, 130, 20, true, F::kBold, nullptr, 0},
    ControlSpec{kDiscLabelText, K::kLabel, "[Empty]", 150, 10, 280, 20, true, F::kRegular, nullptr, 0},
    ControlSpec{kSettingsButton, K::kButton, "Settings", 500, 10, 70, 20, true, F::kSmall, nullptr, 0},
    ControlSpec{kRipProgressBar, K::kProgressBar, "", 10, 40, 560, 30, false, F::kRegular, nullptr, 0},
    ControlSpec{kStartButton, K::kButton, "Start", 10, 80, 70, 30, true, F::kBold, nullptr, 0},
    ControlSpec{kCancelButton, K::kButton, "Cancel", 500, 80, 70, 30, true, F::kRegular, nullptr, 0},
    ControlSpec{kStatusText, K::kCentredLabel, "", 100, 80, 380, 40, true, F::kRegular, nullptr, 0},
    // Settings window, "Ripping" tab.
    ControlSpec{kSourceDriveLabel, K::kLabel, "Source Drive:", 8, 15, 100, 20, true, F::kBold, nullptr, 0},
    ControlSpec{kSourceDriveList, K::kDropDownList, "", 118, 10, 370, 25, true, F::kRegular, nullptr,
                kSourceDriveLabel},
    ControlSpec{kRefreshListButton, K::kButton, "Refresh List", 498, 8, 90, 30, true, F::kRegular, nullptr,
                0},
    ControlSpec{kDestinationLabel, K::kLabel, "Destination:", 8, 45, 100, 20, true, F::kBold, nullptr, 0},
    ControlSpec{kDestinationField, K::kReadOnlyField, "", 118, 45, 370, 20, true, F::kRegular, nullptr,
                kDestinationLabel},
    ControlSpec{kBrowseButton, K::kButton, "Browse", 498, 40, 90, 30, true, F::kRegular, nullptr, 0},
    ControlSpec{kQualityPresetLabel, K::kLabel, "Quality Preset:", 8, 95, 110, 20, true, F::kBold, nullptr,
                0},
    ControlSpec{kQualityPresetList, K::kDropDownList, "", 128, 90, 220, 20, true, F::kRegular, nullptr,
                kQualityPresetLabel},
    ControlSpec{kVideoCodecLabel, K::kLabel, "Video Codec:", 8, 125, 100, 20, true, F::kRegular, nullptr, 0},
    ControlSpec{kVideoCodecField, K::kReadOnlyField, "", 128, 120, 100, 20, true, F::kRegular, nullptr,
                kVideoCodecLabel},
    ControlSpec{kVideoBitRateLabel, K::kLabel, "Bit Rate:", 238, 125, 60, 20, true, F::kRegular, nullptr, 0},
    ControlSpec{kVideoBitRateField, K::kReadOnlyField, "", 308, 120, 60, 20, true, F::kRegular, nullptr,
                kVideoBitRateLabel},
    ControlSpec{kAudioCodecLabel, K::kLabel, "Audio Codec:", 8, 155, 100, 20, true, F::kRegular, nullptr, 0},
    ControlSpec{kAudioCodecField, K::kReadOnlyField, "", 128, 150, 100, 20, true, F::kRegular, nullptr,
                kAudioCodecLabel},
    ControlSpec{kAudioBitRateLabel, K::kLabel, "Bit Rate:", 238, 155, 60, 20, true, F::kRegular, nullptr, 0},
    ControlSpec{kAudioBitRateField, K::kReadOnlyField, "", 308, 150, 60, 20, true, F::kRegular, nullptr,
                kAudioBitRateLabel},
    ControlSpec{kFileFormatLabel, K::kLabel, "File Format:", 8, 185, 100, 20, true, F::kRegular, nullptr, 0},
    ControlSpec{kFileFormatList, K::kDropDownList, "", 128, 180, 100, 20, true, F::kRegular, nullptr,
                kFileFormatLabel},
    ControlSpec{kTwoPassCheck, K::kCheckBox,
                "Two-Pass (H.264 only) (Increased quality with same file size, takes twice as long)", 8, 215,
                580, 20, true, F::kRegular, &setting::kTwoPass, 0},
    ControlSpec{kAudioBoosterCheck, K::kCheckBox,
                "Audio Booster (Make quiet sounds such as speaking a bit louder)", 8, 240, 580, 20, true,
                F::kRegular, &setting::kAudioBooster, 0},
    // Settings window, "Other" tab.
    ControlSpec{kStartUpCheck, K::kCheckBox, "Start when Windows loads.", 8, 15, 580, 20, true, F::kRegular,
                &setting::kStartUp, 0},
    ControlSpec{kStartMinimisedCheck, K::kCheckBox, "Start Ripwarden minimised in the system tray.", 8, 35,
                580, 20, true, F::kRegular, &setting::kStartMinimised, 0},
    ControlSpec{kAutoRipCheck, K::kCheckBox, "Automatically rip DVD when inserted.", 8, 65, 580, 20, true,
                F::kRegular, &setting::kAutoRip, 0},
    ControlSpec{kEjectOnFinishCheck, K::kCheckBox, "Eject the disc when rip is complete.", 8, 85, 580, 20,
                true, F::kRegular, &setting::kEjectOnFinish, 0},
    ControlSpec{kClearHandBrakeOutputCheck, K::kCheckBox,
                "Clear the HandBrake output window when starting a new DVD rip.", 8, 105, 580, 20, true,
                F::kRegular, &setting::kClearHandBrakeOutput, 0},
    // Encoder output window.
    ControlSpec{kOutputList, K::kListBox, "", 0, 0, 600, 300, true, F::kRegular, nullptr, 0},
    // Settings window, "Other" tab, below the rest.
    ControlSpec{kCopyFirstCheck, K::kCheckBox,
                "Copy the disc first, then encode it (the drive is free sooner)", 8, 135, 580, 20, true,
                F::kRegular, &setting::kCopyFirst, 0},
    ControlSpec{kKeepCopiesCheck, K::kCheckBox, "Keep the copy of each disc after its rip is complete.", 8,
                155, 580, 20, true, F::kRegular, &setting::kKeepCopies, 0},
    // Rip progress window, beside Settings.
    ControlSpec{kQueueButton, K::kButton, "Queue", 432, 10, 62, 20, true, F::kSmall, nullptr, 0},
    // Rip queue window.
    ControlSpec{kQueueList, K::kListBox, "", 10, 10, 580, 150, true, F::kRegular, nullptr, 0},
    ControlSpec{kQueueCancelButton, K::kButton, "Cancel", 10, 168, 80, 26, true, F::kRegular, nullptr, 0},
    ControlSpec{kQueueRetryButton, K::kButton, "Retry", 100, 168, 80, 26, true, F::kRegular, nullptr, 0},
    ControlSpec{kQueueRemoveButton, K::kButton, "Remove", 190, 168, 80, 26, true, F::kRegular, nullptr, 0},
    ControlSpec{kRecentRipsLabel, K::kLabel, "Last rips:", 10, 204, 200, 20, true, F::kBold, nullptr, 0},
    ControlSpec{kRecentRipsList, K::kListBox, "", 10, 226, 580, 124, true, F::kRegular, nullptr,
                kRecentRipsLabel},
    // Settings window, "Titles" tab.
    ControlSpec{kMainTitleRadio, K::kRadioButton, "Rip the main feature only", 8, 15, 580, 20, true,
                F::kRegular, &setting::kTitles, 0, "Main"},
    ControlSpec{kAllTitlesRadio, K::kRadioButton, "Rip every title, each to its own file (series discs)", 8,
                37, 580, 20, true, F::kRegular, &setting::kTitles, 0, "All"},
    ControlSpec{kShortestTitleLabel, K::kLabel, "Shortest title to rip (minutes):", 28, 70, 360, 20, true,
                F::kRegular, nullptr, 0},
    ControlSpec{kShortestTitleField, K::kNumberField, "", 398, 65, 60, 20, true, F::kRegular,
                &setting::kShortestTitle, kShortestTitleLabel},
    ControlSpec{kLongestTitleLabel, K::kLabel, "Longest title to rip (minutes, 0 for no limit):", 28, 100,
                360, 20, true, F::kRegular, nullptr, 0},
    ControlSpec{kLongestTitleField, K::kNumberField, "", 398, 95, 60, 20, true, F::kRegular,
                &setting::kLongestTitle, kLongestTitleLabel},
    ControlSpec{kAudioLanguagesLabel, K::kLabel,
                "Audio languages (for example eng,fra; empty: the first track):", 8, 135, 580, 20, true,
                F::kRegular, nullptr, 0},
    ControlSpec{kAudioLanguagesField, K::kTextField, "", 8, 155, 300, 20, true, F::kRegular,
                &setting::kAudioLanguages, kAudioLanguagesLabel},
    ControlSpec{kSubtitleLanguagesLabel, K::kLabel, "Subtitle languages (for example eng; empty: none):", 8,
                185, 580, 20, true, F::kRegular, nullptr, 0},
    ControlSpec{kSubtitleLanguagesField, K::kTextField, "", 8, 205, 300, 20, true, F::kRegular,
                &setting::kSubtitleLanguages, kSubtitleLanguagesLabel},
    ControlSpec{kChapterMarkersCheck, K::kCheckBox, "Keep the disc's chapters as chapter markers", 8, 240,
                580, 20, true, F::kRegular, &setting::kChapterMarkers, 0},
};

}  // namespace

std::span<const ControlSpec> AllControls() { return kControls; }

const ControlSpec* FindControl(int id) {
  for (const ControlSpec& spec : kControls) {
    if (spec.id == id) return &spec;
  }
  return nullptr;
}

}  // namespace ripwarden
