#pragma once

namespace ripwarden {

// Windows, by number.
inline constexpr int kProgressWindow = 0;
inline constexpr int kSettingsWindow = 8;
inline constexpr int kOutputWindow = 35;
inline constexpr int kQueueWindow = 51;

// Controls, numbered across all windows.
namespace control {
// Rip progress window.
inline constexpr int kDiscInfoLabel = 1;
inline constexpr int kDiscLabelText = 2;
inline constexpr int kSettingsButton = 3;
inline constexpr int kRipProgressBar = 4;
inline constexpr int kStartButton = 5;
inline constexpr int kCancelButton = 6;
inline constexpr int kStatusText = 7;
// Settings window.
inline constexpr int kSettingsTabs = 9;
inline constexpr int kSourceDriveLabel = 10;
inline constexpr int kSourceDriveList = 11;
inline constexpr int kRefreshListButton = 12;
inline constexpr int kDestinationLabel = 13;
inline constexpr int kDestinationField = 14;
inline constexpr int kBrowseButton = 15;
inline constexpr int kQualityPresetLabel = 16;
inline constexpr int kQualityPresetList = 17;
inline constexpr int kVideoCodecLabel = 18;
inline constexpr int kVideoCodecField = 19;
inline constexpr int kVideoBitRateLabel = 20;
inline constexpr int kVideoBitRateField = 21;
inline constexpr int kAudioCodecLabel = 22;
inline constexpr int kAudioCodecField = 23;
inline constexpr int kAudioBitRateLabel = 24;
inline constexpr int kAudioBitRateField = 25;
inline constexpr int kFileFormatLabel = 26;
inline constexpr int kFileFormatList = 27;
inline constexpr int kTwoPassCheck = 28;
inline constexpr int kAudioBoosterCheck = 29;
inline constexpr int kStartUpCheck = 30;
inline constexpr int kStartMinimisedCheck = 31;
inline constexpr int kAutoRipCheck = 32;
inline constexpr int kEjectOnFinishCheck = 33;
inline constexpr int kClearHandBrakeOutputCheck = 34;
// Encoder output window.
inline constexpr int kOutputList = 36;
// Added later, numbered above the tray menu's entries.
// Settings window, "Other" tab.
inline constexpr int kCopyFirstCheck = 48;
inline constexpr int kKeepCopiesCheck = 49;
// Rip progress window.
inline constexpr int kQueueButton = 50;
// Rip queue window.
inline constexpr int kQueueList = 52;
inline constexpr int kQueueCancelButton = 53;
inline constexpr int kQueueRetryButton = 54;
inline constexpr int kQueueRemoveButton = 55;
inline constexpr int kRecentRipsLabel = 56;
inline constexpr int kRecentRipsList = 57;
// Settings window, "Titles" tab.
inline constexpr int kMainTitleRadio = 58;
inline constexpr int kAllTitlesRadio = 59;
inline constexpr int kShortestTitleLabel = 60;
inline constexpr int kShortestTitleField = 61;
inline constexpr int kLongestTitleLabel = 62;
inline constexpr int kLongestTitleField = 63;
inline constexpr int kAudioLanguagesLabel = 64;
inline constexpr int kAudioLanguagesField = 65;
inline constexpr int kSubtitleLanguagesLabel = 66;
inline constexpr int kSubtitleLanguagesField = 67;
inline constexpr int kChapterMarkersCheck = 68;
}  // namespace control

}  // namespace ripwarden
