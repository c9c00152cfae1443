#pragma once

namespace ripwarden {

// Where one setting lives in the settings file.
struct SettingKey {
  const char* group;
  const char* key;
  // What the setting reads as when the file lacks it: a setting added later
  // reads as what the program did before it.
  const char* missing = "0";
};

// SourceDrive: several sources are separated by kSourceSeparator; kEveryDrive
// watches every optical drive the system has, now and later.
inline constexpr char kSourceSeparator = '|';
inline constexpr const char* kEveryDrive = "*";

// Every setting the program reads or writes, named here once so that a typo
// in a key cannot quietly read the "0" of a missing one.
namespace setting {
inline constexpr SettingKey kSourceDrive{"Ripping", "SourceDrive"};
inline constexpr SettingKey kDestination{"Ripping", "Destination"};
inline constexpr SettingKey kFileContainer{"Ripping", "FileContainer"};
inline constexpr SettingKey kEncoding{"Ripping", "Encoding"};
inline constexpr SettingKey kTwoPass{"Ripping", "TwoPass"};
inline constexpr SettingKey kAudioBooster{"Ripping", "AudioBooster"};
inline constexpr SettingKey kCopyFirst{"Ripping", "CopyFirst"};
inline constexpr SettingKey kWorkFolder{"Ripping", "WorkFolder"};
inline constexpr SettingKey kKeepCopies{"Ripping", "KeepCopies"};
inline constexpr SettingKey kTitles{"Ripping", "Titles"};
inline constexpr SettingKey kShortestTitle{"Ripping", "ShortestTitle"};
inline constexpr SettingKey kLongestTitle{"Ripping", "LongestTitle"};
inline constexpr SettingKey kAudioLanguages{"Ripping", "AudioLanguages", ""};
inline constexpr SettingKey kSubtitleLanguages{"Ripping", "SubtitleLanguages", ""};
inline constexpr SettingKey kChapterMarkers{"Ripping", "ChapterMarkers", "1"};
inline constexpr SettingKey kStartUp{"Other", "StartUp"};
inline constexpr SettingKey kStartMinimised{"Other", "StartMinimised"};
inline constexpr SettingKey kAutoRip{"Other", "AutoRip"};
inline constexpr SettingKey kEjectOnFinish{"Other", "EjectOnFinish"};
inline constexpr SettingKey kClearHandBrakeOutput{"Other", "ClearHandBrakeOutput"};
inline constexpr SettingKey kEncoderLocation{"HandBrake", "Location"};
inline constexpr SettingKey kVersion{"Application", "Version"};

inline constexpr SettingKey kEverySetting[] = {
    kSourceDrive,    kDestination,          kFileContainer,   kEncoding, kTwoPass,        kAudioBooster,
    kCopyFirst,      kWorkFolder,           kKeepCopies,      kTitles,   kShortestTitle,  kLongestTitle,
    kAudioLanguages, kSubtitleLanguages,    kChapterMarkers,  kStartUp,  kStartMinimised, kAutoRip,
    kEjectOnFinish,  kClearHandBrakeOutput, kEncoderLocation, kVersion};
}  // namespace setting

}  // namespace ripwarden
