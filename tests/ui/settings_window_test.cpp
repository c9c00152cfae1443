#include "ui_fixture.h"

#include <filesystem>

#include "helpers/native_platform.h"
#include "temp_folder.h"

namespace ripwarden::testing {
namespace {

using namespace control;
using Items = std::vector<std::string>;

class DriveListTest : public UiTest {
 protected:
  void Focus() { ui.HandleControlEvent(kSourceDriveList); }
};

TEST_F(DriveListTest, WithoutDrivesHoldsOnlyTheBlankEntry) {
  drives = FakeDrives();
  ui.BuildSettingsWindow();
  EXPECT_EQ(Control(kSourceDriveList).items, Items{""});
  EXPECT_EQ(Control(kSourceDriveList).selected, 0);
  Focus();  // merely focusing the list stores its selection
  EXPECT_EQ(Setting("Ripping", "SourceDrive"), "");
}

TEST_F(DriveListTest, SelectsTheStoredDriveByItsExactName) {
  drives.AddDrive("sr1", "DVD-RW");
  Insert("MY MOVIE");
  Set("Ripping", "SourceDrive", "sr1");
  ui.BuildSettingsWindow();
  ASSERT_EQ(Control(kSourceDriveList).items.size(), 4u);
  EXPECT_EQ(Control(kSourceDriveList).items[3], "*: All drives");
  EXPECT_EQ(Control(kSourceDriveList).items[1].rfind("sr0:", 0), 0u);
  EXPECT_NE(Control(kSourceDriveList).items[1].find("MY MOVIE"), std::string::npos);
  EXPECT_EQ(Control(kSourceDriveList).selected, 2);
  windows.SelectItem(kSourceDriveList, 1);
  Focus();
  EXPECT_EQ(Setting("Ripping", "SourceDrive"), "sr0");

  windows.SelectItem(kSourceDriveList, 3);
  Focus();
  EXPECT_EQ(Setting("Ripping", "SourceDrive"), "*");
  ui.HandleControlEvent(kRefreshListButton);
  EXPECT_EQ(Control(kSourceDriveList).selected, 3);

  Set("Ripping", "SourceDrive", "SR1");
  ui.HandleControlEvent(kRefreshListButton);
  EXPECT_EQ(Control(kSourceDriveList).selected, 0) << "names match case-sensitively";
}

TEST_F(DriveListTest, ADiscImageOrFolderSourceSurvivesTheList) {
  for (const std::string source : {"/home/me/discs/film.iso", "/media/usb:1/MY MOVIE", "sr0|/discs/b.iso"}) {
    drives.InsertDisc(source, {"udf", "FILM"});
    Set("Ripping", "SourceDrive", source);
    windows = FakeWindowSystem();
    ui.BuildSettingsWindow();
    const auto& list = Control(kSourceDriveList);
    ASSERT_EQ(list.items.size(), 4u);
    EXPECT_EQ(list.items[3],
              source + (source.find('|') == std::string::npos ? ": FILM" : ": several sources"));
    EXPECT_EQ(list.selected, 3);
    Focus();
    EXPECT_EQ(Setting("Ripping", "SourceDrive"), source);
    ui.HandleControlEvent(kRefreshListButton);
    Focus();
    EXPECT_EQ(Setting("Ripping", "SourceDrive"), source);
  }
}

TEST_F(DriveListTest, AVanishedImageIsStillKept) {
  Set("Ripping", "SourceDrive", "/mnt/unplugged/film.iso");
  ui.BuildSettingsWindow();
  EXPECT_EQ(Control(kSourceDriveList).items.back(), "/mnt/unplugged/film.iso: ");
  Focus();
  EXPECT_EQ(Setting("Ripping", "SourceDrive"), "/mnt/unplugged/film.iso");
}

class PresetListTest : public UiTest {
 protected:
  void Choose(int item) {
    windows.SelectItem(kQualityPresetList, item);
    ui.HandleControlEvent(kQualityPresetList);
  }
  Items Fields() {
    return {Control(kVideoCodecField).text, Control(kVideoBitRateField).text, Control(kAudioCodecField).text,
            Control(kAudioBitRateField).text};
  }
};

TEST_F(PresetListTest, ListsEveryLineAndShowsTheStoredPreset) {
  files.Put(kPresets, "Normal=x264/1500/aac/160\n\nSmall =x264/900\nNormal=x264/2500/aac/192\nno equals\n");
  ui.BuildSettingsWindow();
  EXPECT_EQ(Control(kQualityPresetList).items, (Items{"", "Normal", "", "Small ", "Normal", "no equals"}));
  EXPECT_EQ(Control(kQualityPresetList).selected, 4) << "the later of two equal names stays selected";
  EXPECT_EQ(Fields(), (Items{"x264", "2500", "aac", "192"}));

  Choose(4);  // either entry of that name uses the first line's values
  EXPECT_EQ(Fields(), (Items{"x264", "1500", "aac", "160"}));
  Choose(3);
  EXPECT_EQ(Fields(), (Items{"x264", "900", "", ""}));
  EXPECT_EQ(Setting("Ripping", "Encoding"), "Small") << "the store trims the name's space";
}

TEST_F(PresetListTest, TheBlankEntriesChangeNothing) {
  files.Put(kPresets, "Normal=x264/1500/aac/160\n\nOther=x264/800/aac/96\n");
  ui.BuildSettingsWindow();
  Choose(2);
  Choose(0);
  EXPECT_EQ(Fields(), (Items{"x264", "1500", "aac", "160"}));
  EXPECT_EQ(Setting("Ripping", "Encoding"), "Normal");
}

TEST_F(PresetListTest, CreatesAMissingFileAndListsAReadOnlyOne) {
  files.RemoveFile(kPresets);
  ui.BuildSettingsWindow();
  EXPECT_EQ(Control(kQualityPresetList).items, Items{""});
  EXPECT_EQ(files.Content(kPresets), "");

  windows = FakeWindowSystem();
  files.Put(kPresets, "Normal=x264/1500/aac/160\n", false);
  ui.BuildSettingsWindow();
  EXPECT_EQ(Control(kQualityPresetList).items, (Items{"", "Normal"}));
}

// Deleted under the running program, the file comes back holding what the
// window shows (and the change just made), not the shipped values.
TEST_F(UiTest, ALostSettingsFileIsMadeAgainAsTheWindowShowsIt) {
  files.Put(kShippedSettings,
            "[Ripping]\nSourceDrive = \nDestination = \nFileContainer = MP4\nEncoding = \nTwoPass = 0\n"
            "[Other]\nAutoRip = 0\nEjectOnFinish = 1\n[HandBrake]\nLocation = /usr/bin/HandBrakeCLI\n");
  Set("Ripping", "FileContainer", "MKV");
  Set("Other", "AutoRip", "1");
  Set("Ripping", "Titles", "All");
  Insert();
  ui.BuildSettingsWindow();
  for (const bool again : {false, true}) {
    SCOPED_TRACE(again ? "deleted again" : "deleted");
    files.RemoveFile(kSettings);
    windows.SetChecked(kAudioBoosterCheck, again);
    ui.HandleControlEvent(kAudioBoosterCheck);
    const std::vector<std::tuple<const char*, const char*, std::string>> expected = {
        {"Ripping", "SourceDrive", "sr0"},   {"Ripping", "Destination", "/srv/rips/"},
        {"Ripping", "FileContainer", "MKV"}, {"Ripping", "Encoding", "Normal"},
        {"Ripping", "TwoPass", "1"},         {"Ripping", "AudioBooster", again ? "1" : "0"},
        {"Ripping", "Titles", "All"},        {"Other", "AutoRip", "1"},
        {"Other", "EjectOnFinish", "0"},     {"HandBrake", "Location", "/usr/bin/HandBrakeCLI"}};
    for (const auto& [group, key, value] : expected) EXPECT_EQ(Setting(group, key), value) << key;
  }
}

TEST_F(UiTest, EachCheckBoxStoresExactlyItsOwnKey) {
  const std::vector<std::tuple<int, const char*, const char*>> boxes = {
      {kTwoPassCheck, "Ripping", "TwoPass"},
      {kAudioBoosterCheck, "Ripping", "AudioBooster"},
      {kStartMinimisedCheck, "Other", "StartMinimised"},
      {kAutoRipCheck, "Other", "AutoRip"},
      {kEjectOnFinishCheck, "Other", "EjectOnFinish"},
      {kClearHandBrakeOutputCheck, "Other", "ClearHandBrakeOutput"},
      {kStartUpCheck, "Other", "StartUp"}};
  ui.BuildSettingsWindow();
  const auto without = [](std::string text, const std::string& key) {
    const auto at = text.find("\n" + key + " = ");
    if (at != std::string::npos) text.erase(at, text.find('\n', at + 1) - at);
    return text;
  };
  for (const auto& [id, group, key] : boxes) {
    windows.SetChecked(id, !windows.IsChecked(id));
    ui.HandleControlEvent(id);
    const std::string stored = Setting(group, key);
    EXPECT_EQ(stored, windows.IsChecked(id) ? "1" : "0") << key;
    const std::string before = *files.Content(kSettings);
    windows.SetChecked(id, !windows.IsChecked(id));
    ui.HandleControlEvent(id);
    EXPECT_NE(Setting(group, key), stored) << key;
    EXPECT_EQ(without(*files.Content(kSettings), key), without(before, key))
        << "more than " << key << " changed";
  }
  EXPECT_EQ(autostart.calls, (std::vector<std::string>{"register", "unregister"}));
}

class TitlesTabTest : public UiTest {
 protected:
  void Choose(int radio) {
    windows.SetChecked(kMainTitleRadio, radio == kMainTitleRadio);
    windows.SetChecked(kAllTitlesRadio, radio == kAllTitlesRadio);
    ui.HandleControlEvent(radio);
  }
  void Type(int field, const std::string& text) {
    windows.SetText(field, text);
    ui.HandleControlEvent(field);
  }
  bool LimitsEnabled() { return Control(kShortestTitleField).enabled && Control(kLongestTitleField).enabled; }
};

TEST_F(TitlesTabTest, ShowsTheStoredValuesAndAnythingButAllAsMain) {
  files.Put(kSettings,
            "[Ripping]\nTitles = All\nShortestTitle = 25\nAudioLanguages = eng,fra\nChapterMarkers = 1\n");
  ui.BuildSettingsWindow();
  EXPECT_TRUE(Control(kAllTitlesRadio).checked);
  EXPECT_FALSE(Control(kMainTitleRadio).checked);
  EXPECT_TRUE(LimitsEnabled());
  EXPECT_EQ(Control(kShortestTitleField).text, "25");
  EXPECT_EQ(Control(kAudioLanguagesField).text, "eng,fra");
  EXPECT_TRUE(Control(kChapterMarkersCheck).checked);

  Set("Ripping", "Titles", "all");
  windows = FakeWindowSystem();
  ui.BuildSettingsWindow();
  EXPECT_TRUE(Control(kMainTitleRadio).checked);
  EXPECT_FALSE(Control(kAllTitlesRadio).checked);
  EXPECT_FALSE(LimitsEnabled()) << "the limits choose among titles only when every title is ripped";
}

TEST_F(TitlesTabTest, StoresEachChangeAndOnlyNumbersAndLanguageLists) {
  ui.BuildSettingsWindow();
  Choose(kAllTitlesRadio);
  EXPECT_EQ(Setting("Ripping", "Titles"), "All");
  EXPECT_TRUE(LimitsEnabled());
  Choose(kMainTitleRadio);
  EXPECT_EQ(Setting("Ripping", "Titles"), "Main");
  EXPECT_FALSE(LimitsEnabled());

  Type(kShortestTitleField, "25");
  EXPECT_EQ(Setting("Ripping", "ShortestTitle"), "25");
  Type(kLongestTitleField, "0120");
  EXPECT_EQ(Setting("Ripping", "LongestTitle"), "120");
  for (const std::string bad : {"", "12a", "-5", "10000", " 7"}) {
    Type(kShortestTitleField, bad);
    EXPECT_EQ(Setting("Ripping", "ShortestTitle"), "25") << '"' << bad << '"';
  }

  Type(kAudioLanguagesField, "  eng, fra ");
  EXPECT_EQ(Setting("Ripping", "AudioLanguages"), "eng, fra");
  Type(kAudioLanguagesField, "eng;fra");
  EXPECT_EQ(Setting("Ripping", "AudioLanguages"), "eng, fra");
  Type(kSubtitleLanguagesField, "eng");
  EXPECT_EQ(Setting("Ripping", "SubtitleLanguages"), "eng");
  Type(kSubtitleLanguagesField, " ");
  EXPECT_EQ(Setting("Ripping", "SubtitleLanguages"), "") << "empty: no subtitles";

  windows.SetChecked(kChapterMarkersCheck, false);
  ui.HandleControlEvent(kChapterMarkersCheck);
  EXPECT_EQ(Setting("Ripping", "ChapterMarkers"), "0");
}

TEST_F(UiTest, FileFormatStoresTheSelectionEvenWhenBlank) {
  Set("Ripping", "FileContainer", "mkv");
  ui.BuildSettingsWindow();
  ui.HandleControlEvent(kFileFormatList);
  EXPECT_EQ(Setting("Ripping", "FileContainer"), "");
  windows.SelectItem(kFileFormatList, 1);
  ui.HandleControlEvent(kFileFormatList);
  EXPECT_EQ(Setting("Ripping", "FileContainer"), "MKV");
}

TEST_F(UiTest, BrowseStoresTheChosenFolderWithOneSlash) {
  ui.BuildSettingsWindow();
  folders.answer = "/home/me/Videos";
  ui.HandleControlEvent(kBrowseButton);
  EXPECT_EQ(folders.asked, Items{"Choose a destination for DVD rips to be saved. | /srv/rips"});
  EXPECT_EQ(Setting("Ripping", "Destination"), "/home/me/Videos/");
  EXPECT_EQ(Control(kDestinationField).text, "/home/me/Videos/");

  Set("Ripping", "Destination", "/");
  folders.answer = "/";
  ui.HandleControlEvent(kBrowseButton);
  EXPECT_EQ(folders.asked.back(), "Choose a destination for DVD rips to be saved. | /");
  EXPECT_EQ(Setting("Ripping", "Destination"), "/");

  folders.answer = "";  // cancelled
  ui.HandleControlEvent(kBrowseButton);
  EXPECT_EQ(Setting("Ripping", "Destination"), "/");
  EXPECT_EQ(Control(kDestinationField).text, "/");
}

// The settings window over a real settings file in a folder of its own.
class RealSettingsFileTest : public UiTest {
 protected:
  static constexpr const char* kContent =
      "[Ripping]\r\nSourceDrive = sr0\r\nDestination = /srv/rips/\r\nFileContainer = MP4\r\n"
      "Encoding = Normal\r\nTwoPass = 1\r\nTitles = Main\r\nShortestTitle = 10\r\nAudioLanguages = eng\r\n"
      "[Other]\r\nAutoRip = 0\r\n";
  void MakeReadOnly() {
    namespace fs = std::filesystem;
    fs::permissions(Utf8Path(path_), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  }
  // Each control that writes a setting is changed once; each must show the
  // stored value again.
  void ChangeEveryControl() {
    windows.SetChecked(kTwoPassCheck, false);
    ui_.HandleControlEvent(kTwoPassCheck);
    EXPECT_TRUE(windows.IsChecked(kTwoPassCheck));
    windows.SetChecked(kAutoRipCheck, true);
    ui_.HandleControlEvent(kAutoRipCheck);
    EXPECT_FALSE(windows.IsChecked(kAutoRipCheck));
    folders.answer = "/home/me/Videos";
    ui_.HandleControlEvent(kBrowseButton);
    EXPECT_EQ(Control(kDestinationField).text, "/srv/rips/");
    windows.SelectItem(kFileFormatList, 1);
    ui_.HandleControlEvent(kFileFormatList);
    EXPECT_EQ(Control(kFileFormatList).items, (Items{"AVI", "MKV", "MP4"}));
    EXPECT_EQ(Control(kFileFormatList).selected, 2);
    windows.SelectItem(kSourceDriveList, 0);
    ui_.HandleControlEvent(kSourceDriveList);
    EXPECT_EQ(Control(kSourceDriveList).items.size(), 3u);
    EXPECT_EQ(Control(kSourceDriveList).selected, 1);
    windows.SelectItem(kQualityPresetList, 2);
    ui_.HandleControlEvent(kQualityPresetList);
    EXPECT_EQ(Control(kQualityPresetList).items, (Items{"", "Normal", "X"}));
    EXPECT_EQ(Control(kQualityPresetList).selected, 1);
    EXPECT_EQ(Control(kVideoBitRateField).text, "1500");
    windows.SetChecked(kMainTitleRadio, false);
    windows.SetChecked(kAllTitlesRadio, true);
    ui_.HandleControlEvent(kAllTitlesRadio);
    EXPECT_TRUE(windows.IsChecked(kMainTitleRadio));
    EXPECT_FALSE(windows.IsChecked(kAllTitlesRadio));
    EXPECT_FALSE(windows.IsEnabled(kShortestTitleField));
    for (const auto& [field, typed, stored] :
         {std::tuple{kShortestTitleField, "30", "10"}, std::tuple{kAudioLanguagesField, "deu", "eng"}}) {
      windows.SetText(field, typed);
      ui_.HandleControlEvent(field);
      EXPECT_EQ(windows.GetText(field), stored);
    }
  }

  TempFolder folder_;
  NativeFiles real_files_;
  std::string path_ = folder_.Write("Settings.cfg", kContent);
  SettingsStore real_settings_{real_files_, Charset::kUtf8, path_};
  AppWindows ui_{{windows, folders, real_settings_, presets, files, drives, autostart, engine, paths, boxes},
                 "Ripwarden",
                 kPresets};
};

TEST_F(RealSettingsFileTest, AChangeAReadOnlyFileRefusesIsUndoneAndToldOnce) {
  MakeReadOnly();
  ui_.BuildSettingsWindow();
  ChangeEveryControl();
  ChangeEveryControl();
  EXPECT_EQ(
      boxes.messages,
      Items{
          "Settings - Ripwarden | Your change could not be saved: the settings file cannot be written.\r\r" +
          path_ + "\r\rCheck that the file is not read-only and that you may write to its folder."});
  EXPECT_EQ(ReadFileBytes(path_), kContent);
}

TEST_F(RealSettingsFileTest, AnUnreadableFileIsLeftAsItIsAndTheUserToldWhy) {
  const std::string junk = Utf16File(u"[Other]\r\nAutoRip = \xDC00\r\n");
  folder_.Write("Settings.cfg", junk);
  ui_.BuildSettingsWindow();
  windows.SetChecked(kStartUpCheck, true);
  ui_.HandleControlEvent(kStartUpCheck);
  EXPECT_FALSE(windows.IsChecked(kStartUpCheck));
  ASSERT_EQ(boxes.messages.size(), 1u);
  EXPECT_NE(
      boxes.messages[0].find("the settings file could not be read, so it was left as it is.\r\r" + path_),
      std::string::npos);
  EXPECT_TRUE(ReadFileBytes(path_) == junk);
  EXPECT_TRUE(autostart.calls.empty());
}

TEST_F(UiTest, TheProgressWindowButtonsReachTheEngine) {
  BuildAll();
  ui.HandleControlEvent(kSettingsButton);
  EXPECT_TRUE(windows.windows.at(kSettingsWindow).visible);
  EXPECT_EQ(windows.windows.at(kSettingsWindow).raised, 1);

  Insert();
  windows.Enable(kStartButton, true);
  ui.HandleControlEvent(kStartButton);
  EXPECT_FALSE(Control(kStartButton).enabled);
  EXPECT_TRUE(engine.IsRipping());
  ui.HandleControlEvent(kStartButton);
  EXPECT_EQ(processes.started().size(), 1u);

  // Cancel asks first, and only Yes reaches the engine.
  boxes.answers = {false};
  ui.HandleControlEvent(kCancelButton);
  EXPECT_TRUE(engine.IsRipping());
  EXPECT_EQ(boxes.questions,
            std::vector<std::string>{"Cancel Rip - Ripwarden | Are you sure you want to cancel this rip?"});
  EXPECT_EQ(processes.process(processes.last_started()).interrupts, 0);
  boxes.answers = {true};
  ui.HandleControlEvent(kCancelButton);
  EXPECT_FALSE(engine.IsRipping());
  EXPECT_EQ(view.status, "USER CANCELLED");
  ui.HandleControlEvent(kOutputList);  // no case: nothing happens
  ui.HandleControlEvent(999);
}

}  // namespace
}  // namespace ripwarden::testing
