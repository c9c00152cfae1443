#include "ui_fixture.h"

namespace ripwarden::testing {
namespace {

using namespace control;
using Items = std::vector<std::string>;

TEST_F(UiTest, BuildsTheProgressWindowAsDescribed) {
  ui.BuildProgressWindow();
  const auto& window = windows.windows.at(kProgressWindow);
  EXPECT_EQ(window.title, "Progress - Ripwarden");
  EXPECT_EQ(window.width, 580);
  EXPECT_EQ(window.height, 120);
  EXPECT_EQ(windows.creation_order, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, kQueueButton}));
  EXPECT_EQ(Control(kDiscLabelText).text, "[Empty]");
  EXPECT_EQ(Control(kSettingsButton).font, FontId::kSmall);
  EXPECT_FALSE(Control(kRipProgressBar).has_font);
  EXPECT_EQ(Control(kStatusText).kind, ControlKind::kCentredLabel);
  EXPECT_EQ((std::vector<int>{Control(kStatusText).x, Control(kStatusText).y, Control(kStatusText).width,
                              Control(kStatusText).height}),
            (std::vector<int>{100, 80, 380, 40}));
  EXPECT_FALSE(Control(kStartButton).enabled);
  EXPECT_FALSE(Control(kCancelButton).enabled);
  EXPECT_TRUE(Control(kSettingsButton).enabled);
}

class StartMinimisedTest : public UiTest,
                           public ::testing::WithParamInterface<std::pair<const char*, bool>> {};

TEST_P(StartMinimisedTest, ShowsTheProgressWindowOnlyForExactlyZero) {
  if (std::string(GetParam().first) == "no file") {
    files.RemoveFile(kSettings);
  } else if (std::string(GetParam().first) != "no key") {
    Set("Other", "StartMinimised", GetParam().first);
  }
  ui.BuildProgressWindow();
  EXPECT_EQ(windows.IsWindowVisible(kProgressWindow), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Values, StartMinimisedTest,
                         ::testing::Values(std::pair{"0", true}, std::pair{"no key", true},
                                           std::pair{"1", false}, std::pair{"00", false},
                                           std::pair{"no file", false}));

TEST_F(UiTest, BuildsTheSettingsWindowOnThreeTabs) {
  ui.BuildProgressWindow();
  windows.creation_order.clear();
  ui.BuildSettingsWindow();
  std::vector<int> expected;
  for (int id = kSettingsTabs; id <= kClearHandBrakeOutputCheck; ++id) expected.push_back(id);
  expected.insert(expected.end(), {kCopyFirstCheck, kKeepCopiesCheck});
  for (int id = kMainTitleRadio; id <= kChapterMarkersCheck; ++id) expected.push_back(id);
  EXPECT_EQ(windows.creation_order, expected);
  EXPECT_EQ(Control(kCopyFirstCheck).tab, "Other");
  EXPECT_EQ(Control(kChapterMarkersCheck).tab, "Titles");
  EXPECT_EQ(windows.windows.at(kSettingsWindow).title, "Settings - Ripwarden");
  EXPECT_EQ(Control(kSettingsTabs).items, (Items{"Ripping", "Other", "Titles"}));
  EXPECT_EQ(Control(kAudioBoosterCheck).tab, "Ripping");
  EXPECT_EQ(Control(kStartUpCheck).tab, "Other");
  EXPECT_EQ(Control(kStartUpCheck).y, 15);
  EXPECT_EQ(Control(kAutoRipCheck).y, 65);
  for (int bold : {kSourceDriveLabel, kDestinationLabel, kQualityPresetLabel}) {
    EXPECT_EQ(Control(bold).font, FontId::kBold) << bold;
  }
  EXPECT_EQ(Control(kFileFormatLabel).font, FontId::kRegular);
  for (auto [label, named] :
       {std::pair{kSourceDriveLabel, kSourceDriveList}, std::pair{kFileFormatLabel, kFileFormatList},
        std::pair{kAudioBitRateLabel, kAudioBitRateField}, std::pair{kLongestTitleLabel, kLongestTitleField},
        std::pair{kSubtitleLanguagesLabel, kSubtitleLanguagesField}}) {
    EXPECT_EQ(Control(named).label, label);
  }
  EXPECT_FALSE(Control(kStartUpCheck).enabled);
  EXPECT_EQ(Control(kDestinationField).text, "/srv/rips/");
  EXPECT_EQ(windows.windows.at(kSettingsWindow).placement, WindowPlacement::kOverActiveWindow);
}

TEST_F(UiTest, ShowsStoredValuesAsTheyReadAsIntegers) {
  files.Put(kSettings,
            "[Ripping]\nTwoPass = 2\nAudioBooster =  1\nFileContainer = mkv\n[Other]\nStartUp = 1\n"
            "StartMinimised = 00\nAutoRip = $0\nEjectOnFinish = x1\n");
  ui.BuildSettingsWindow();
  EXPECT_TRUE(Control(kTwoPassCheck).checked);
  EXPECT_TRUE(Control(kAudioBoosterCheck).checked);
  EXPECT_TRUE(Control(kStartUpCheck).checked);
  EXPECT_FALSE(Control(kStartMinimisedCheck).checked);
  EXPECT_FALSE(Control(kAutoRipCheck).checked);
  EXPECT_FALSE(Control(kEjectOnFinishCheck).checked);
  EXPECT_FALSE(Control(kClearHandBrakeOutputCheck).checked);
  EXPECT_EQ(Control(kDestinationField).text, "0") << "a missing key reads as 0";
  EXPECT_EQ(Control(kFileFormatList).items, (Items{"AVI", "MKV", "MP4"}));
  EXPECT_EQ(Control(kFileFormatList).selected, -1);
}

TEST_F(UiTest, BuildsTheOutputWindowCentredWithOneList) {
  BuildAll();
  const auto& window = windows.windows.at(kOutputWindow);
  EXPECT_EQ(window.title, "HandBrake Output - Ripwarden");
  EXPECT_EQ(window.placement, WindowPlacement::kCentredOnScreen);
  EXPECT_FALSE(window.visible);
  EXPECT_EQ(Control(kOutputList).kind, ControlKind::kListBox);
  EXPECT_EQ(Control(kOutputList).width, 600);
}

TEST_F(UiTest, AWindowThatCannotBeMadeLeavesTheOthers) {
  windows.refuse_windows = {kSettingsWindow};
  BuildAll();
  EXPECT_EQ(windows.windows.count(kSettingsWindow), 0u);
  EXPECT_EQ(windows.controls.count(kSourceDriveList), 0u);
  EXPECT_EQ(windows.controls.count(kOutputList), 1u);
  ui.HandleControlEvent(kRefreshListButton);  // nothing to fill, nothing breaks
}

}  // namespace
}  // namespace ripwarden::testing
