#include "app/application.h"

#include "../ui/ui_fixture.h"
#include "app/app_graph.h"
#include "fakes/fake_system.h"
#include "fakes/fake_tray.h"
#include "rip/rip_history.h"

namespace ripwarden::testing {
namespace {

using Texts = std::vector<std::string>;

// The whole application as the program wires it, over fakes of every
// platform service, with a settings file that watches sr0 and rips into
// /srv/rips/.
class ApplicationTest : public ::testing::Test, protected FakeSystem {
 protected:
  static constexpr const char* kSettings = "Data/Config/Settings.cfg";
  static constexpr const char* kPresets = "Data/Config/Presets.cfg";

  ApplicationTest() {
    files.Put(kSettings,
              "[Ripping]\nSourceDrive = sr0\nDestination = /srv/rips/\nFileContainer = MP4\n"
              "Encoding = Normal\nTwoPass = 1\nAudioBooster = 1\n"
              "[Other]\nAutoRip = 0\nEjectOnFinish = 0\nClearHandBrakeOutput = 0\n"
              "[HandBrake]\nLocation = /usr/bin/HandBrakeCLI\n");
    files.Put(kPresets, "Normal=x264/1500/aac/160\n");
    files.PutFolder("/srv/rips/");
    drives.AddDrive("sr0");
  }

  bool Start(const std::string& home) {
    user.home = home;
    return app.Start();
  }
  void StartRunning() {
    ASSERT_TRUE(Start("/home/me/.config/ripwarden"));
    Insert();
    engine.StartRip();
    ASSERT_TRUE(engine.IsRipping());
    WriteOutputFile();
  }
  void Set(const std::string& group, const std::string& key, const std::string& value) {
    settings.WriteSetting(group, key, value);
  }
  std::string Setting(const std::string& group, const std::string& key) {
    return settings.ReadSetting(group, key);
  }
  void Insert() { drives.InsertDisc("sr0", {"udf", "MY MOVIE"}); }
  void Poll() {
    clock.Advance(2500);
    engine.PollDrive();
  }
  // The running rip's file appears, and the encoder's log says it got every frame.
  void WriteOutputFile() {
    files.Put(JobOf(engine).encoding_file, "ftyp....");
    if (!JobOf(engine).record.log.empty())
      files.Put(JobOf(engine).record.log, "[10:25:30] sync: got 250 frames, 250 expected\n");
  }
  std::string Status() { return windows.control(control::kStatusText).text; }

  linux_platform::PosixPathRules paths;
  FakeWindowSystem windows;
  FakeFolderDialog folders;
  FakeTray tray;
  FakeMessageBoxes boxes;
  FixedDialect dialects;
  AppGraph graph{{.system = services(paths, &media_probe),
                  .windows = windows,
                  .folders = folders,
                  .tray = tray,
                  .boxes = boxes},
                 {.dialects = &dialects}};
  SettingsStore& settings = graph.settings;
  RipEngine& engine = graph.engine;
  Application& app = graph.app;
};

TEST_F(ApplicationTest, StartsInTheHomeFolderWithWindowsAndTrayMenu) {
  ASSERT_TRUE(Start("/home/me/.config/ripwarden"));
  EXPECT_EQ(working_directory.current, "/home/me/.config/ripwarden");
  EXPECT_TRUE(lock.held);
  EXPECT_EQ(windows.windows.size(), 4u);
  EXPECT_TRUE(tray.icon_shown);
  EXPECT_EQ(tray.icon_tip, "Ripwarden");
  EXPECT_EQ(tray.menu, (Texts{"Rip Progress... (40)", "Rip Queue... (47)", "Settings... (41)",
                              "About... (42)", "-", "HandBrake Output... (43)", "Force Drive To",
                              ">Load Media (44)", ">Eject Media (45)", "-", "Exit (46)"}));
}

TEST_F(ApplicationTest, ASecondCopySaysSoAndBuildsNothing) {
  lock.another_copy_runs = true;
  EXPECT_FALSE(Start("/home/me/.config/ripwarden"));
  EXPECT_EQ(
      boxes.messages,
      Texts{"Already Running | Ripwarden is already running, you cannot run two instances simultaneously.\r\r"
            "If the other copy of Ripwarden is not responding please kill the process in the Task Manager."});
  EXPECT_TRUE(windows.windows.empty());
  EXPECT_FALSE(tray.icon_shown);
  EXPECT_TRUE(working_directory.requested.empty());
}

// The fakes' files are relative to the working folder, so the home folder is "".
TEST_F(ApplicationTest, AFirstStartGetsTheShippedFilesCompletedForThisMachine) {
  files.RemoveFile(kSettings);
  files.RemoveFile(kPresets);
  const std::string shipped_presets = "Shipped=x264/1500/aac/160\n";
  files.Put(user.defaults + "/Settings.cfg",
            "[Ripping]\nSourceDrive = sr0\nDestination = \n[HandBrake]\nLocation = /usr/bin/HandBrakeCLI\n");
  files.Put(user.defaults + "/Presets.cfg", shipped_presets);
  user.runnable.clear();
  user.found_encoder = "/usr/local/bin/HandBrakeCLI";
  ASSERT_TRUE(Start(""));
  EXPECT_EQ(files.Content(kPresets), shipped_presets);
  EXPECT_EQ(Setting("Ripping", "SourceDrive"), "sr0");
  EXPECT_EQ(Setting("Ripping", "Destination"), "/home/me/Videos/");
  EXPECT_TRUE(files.IsFolder("/home/me/Videos/"));
  EXPECT_EQ(windows.control(control::kDestinationField).text, "/home/me/Videos/");
  EXPECT_EQ(Setting("HandBrake", "Location"), "/usr/local/bin/HandBrakeCLI");
}

TEST_F(ApplicationTest, ALaterStartLeavesTheUsersFilesAsTheyAre) {
  const std::string settings_before = *files.Content(kSettings);
  files.Put(user.defaults + "/Settings.cfg", "[Ripping]\nDestination = \n");
  files.Put(user.defaults + "/Presets.cfg", "Shipped=x264/1500/aac/160\n");
  user.runnable.clear();
  user.found_encoder = "/usr/local/bin/HandBrakeCLI";
  ASSERT_TRUE(Start(""));
  EXPECT_EQ(files.Content(kSettings), settings_before);
}

TEST_F(ApplicationTest, LostSettingsComeBackWithoutTouchingTheUsersPresets) {
  files.RemoveFile(kSettings);
  const std::string presets_before = *files.Content(kPresets);
  files.Put(user.defaults + "/Settings.cfg", "[Ripping]\nDestination = \n");
  files.Put(user.defaults + "/Presets.cfg", "Shipped=x264/1500/aac/160\n");
  ASSERT_TRUE(Start(""));
  EXPECT_EQ(files.Content(kPresets), presets_before);
  EXPECT_EQ(Setting("Ripping", "Destination"), "/home/me/Videos/");
}

TEST_F(ApplicationTest, ASecondCopyInstallsNothing) {
  files.RemoveFile(kSettings);
  files.Put(user.defaults + "/Settings.cfg", "[Ripping]\nDestination = \n");
  lock.another_copy_runs = true;
  EXPECT_FALSE(Start(""));
  EXPECT_FALSE(files.Exists(kSettings));
}

// What a program that died mid-rip left is settled by the next copy that
// holds the lock, and by no other.
TEST_F(ApplicationTest, OnlyTheCopyThatRunsSettlesWhatACrashLeft) {
  RipHistory history(files, "/state/ripwarden/history.jsonl");
  RipRecord dead;
  dead.id = "1";
  dead.output = "/srv/rips/A.MP4";
  dead.result = "running";
  ASSERT_EQ(history.Write(dead), HistoryWrite::kWritten);
  files.Put("/srv/rips/A.MP4.part", "ftyp....");

  lock.another_copy_runs = true;
  EXPECT_FALSE(Start("/home"));
  EXPECT_TRUE(files.Exists("/srv/rips/A.MP4.part"));
  EXPECT_EQ(history.Records().value().at(0).result, "running");

  lock.another_copy_runs = false;
  ASSERT_TRUE(Start("/home"));
  EXPECT_TRUE(files.Exists("/srv/rips/A.incomplete.MP4"));
  EXPECT_EQ(history.Records().value().at(0).result, "interrupted");
}

TEST_F(ApplicationTest, WithoutATrayTheProgressWindowShowsWhateverTheSetting) {
  Set("Other", "StartMinimised", "1");
  tray.available = false;
  ASSERT_TRUE(Start("/home"));
  EXPECT_FALSE(app.has_tray());
  EXPECT_TRUE(windows.IsWindowVisible(kProgressWindow));
}

// The user is told where to look: the file under the program's home, not
// the path the program opens it by.
TEST_F(ApplicationTest, AChangeThatCannotBeKeptNamesTheSettingsFileInFull) {
  files.Put(kSettings, *files.Content(kSettings), false);
  ASSERT_TRUE(Start("/home/me/.config/ripwarden"));
  windows.SetChecked(control::kAutoRipCheck, true);
  windows.events = {{UiEvent::Kind::kControl, control::kAutoRipCheck}};
  app.RunOnce();
  EXPECT_FALSE(windows.IsChecked(control::kAutoRipCheck));
  EXPECT_EQ(
      boxes.messages,
      Texts{"Settings - Ripwarden | Your change could not be saved: the settings file cannot be written."
            "\r\r/home/me/.config/ripwarden/Data/Config/Settings.cfg\r\r"
            "Check that the file is not read-only and that you may write to its folder."});
}

TEST_F(ApplicationTest, DispatchesOneEventPerTurnAndPollsEveryTurn) {
  ASSERT_TRUE(Start("/home"));
  windows.ShowAppWindow(kSettingsWindow);
  windows.events = {{UiEvent::Kind::kClose, kSettingsWindow}, {UiEvent::Kind::kClose, 99}};
  tray.events = {{UiEvent::Kind::kBalloonClicked, 0}};
  Insert();
  clock.Advance(2500);
  app.RunOnce();
  EXPECT_FALSE(windows.IsWindowVisible(kSettingsWindow));
  EXPECT_EQ(windows.control(control::kDiscLabelText).text, "MY MOVIE")
      << "the drive poll ran in the same turn";
  EXPECT_TRUE(tray.greyed_items[menu::kLoadMedia]) << "nothing to load into a drive that holds a disc";
  app.RunOnce();  // an unknown window's close request does nothing
  EXPECT_EQ(windows.windows.at(kProgressWindow).raised, 0);
  app.RunOnce();
  EXPECT_TRUE(windows.IsWindowVisible(kProgressWindow));
  EXPECT_EQ(windows.windows.at(kProgressWindow).raised, 1);
}

TEST_F(ApplicationTest, MenuShowsTheWindowsAndTheAboutBox) {
  ASSERT_TRUE(Start("/home"));
  for (auto [item, window] :
       {std::pair{menu::kRipProgress, kProgressWindow}, std::pair{menu::kSettings, kSettingsWindow},
        std::pair{menu::kHandBrakeOutput, kOutputWindow}}) {
    app.OnMenuCommand(item);
    EXPECT_TRUE(windows.IsWindowVisible(window));
    EXPECT_EQ(windows.windows.at(window).raised, 1);
  }
  files.Put(kSettings, "[Application]\nVersion = 1.2.3\n");
  app.OnMenuCommand(menu::kAbout);
  files.Put(kSettings, "[Application]\n");
  app.OnMenuCommand(menu::kAbout);
  files.RemoveFile(kSettings);
  app.OnMenuCommand(menu::kAbout);
  EXPECT_EQ(boxes.messages,
            (Texts{"About - Ripwarden | Ripwarden v1.2.3, for automating HandBrake to rip DVDs.",
                   "About - Ripwarden | Ripwarden v0, for automating HandBrake to rip DVDs.",
                   "About - Ripwarden | Ripwarden v, for automating HandBrake to rip DVDs."}));
}

TEST_F(ApplicationTest, LoadAndEjectAnnounceThemselvesAndAskDuringARip) {
  ASSERT_TRUE(Start("/home"));
  app.OnMenuCommand(menu::kLoadMedia);
  app.OnMenuCommand(menu::kEjectMedia);
  EXPECT_EQ(drives.loaded, Texts{"sr0"});
  EXPECT_EQ(drives.ejected, Texts{"sr0"});
  EXPECT_TRUE(boxes.questions.empty());
  EXPECT_EQ(
      tray.balloons,
      (Texts{
          "Loading Drive... | Attempting to load the specified drive... (if there is no media in the drive, "
          "this will do nothing.) | Ripwarden | info",
          "Ejecting Drive... | Attempting to eject the specified drive... | Ripwarden | info"}));

  Insert();
  engine.StartRip();
  boxes.answers = {false};
  app.OnMenuCommand(menu::kEjectMedia);
  EXPECT_EQ(drives.ejected.size(), 1u);
  EXPECT_EQ(boxes.questions.back(),
            "Eject Drive - Ripwarden | A DVD rip is in progress, if you continue the rip will fail.\r\rAre "
            "you sure "
            "you want to force the drive to eject?");
  boxes.answers = {true};
  app.OnMenuCommand(menu::kEjectMedia);
  EXPECT_EQ(drives.ejected.size(), 2u);
  Poll();
  EXPECT_EQ(Status(), kDiscLostText);
}

// Several drives: a submenu each, whose entries act on that drive alone.
TEST_F(ApplicationTest, EachOfSeveralDrivesIsForcedFromItsOwnSubmenu) {
  drives.AddDrive("sr1");
  Set("Ripping", "SourceDrive", "sr0|sr1");
  ASSERT_TRUE(Start("/home"));
  drives.InsertDisc("sr1", {"udf", "MY MOVIE"});
  clock.Advance(2500);
  app.RunOnce();
  EXPECT_EQ(tray.menu, (Texts{"Rip Progress... (40)", "Rip Queue... (47)", "Settings... (41)",
                              "About... (42)", "-", "HandBrake Output... (43)", "Force Drive To", ">sr0",
                              ">>Load Media (100)", ">>Eject Media (101)", ">sr1", ">>Load Media (102)",
                              ">>Eject Media (103)", "-", "Exit (46)"}));
  EXPECT_EQ(tray.greyed_items, (std::map<int, bool>{{100, false}, {102, true}}));

  engine.StartRip("sr1");
  app.OnMenuCommand(101);
  app.OnMenuCommand(102);
  EXPECT_TRUE(boxes.questions.empty()) << "the rip reads the other drive";
  app.OnMenuCommand(103);
  EXPECT_EQ(boxes.questions.size(), 1u);
  EXPECT_EQ(drives.ejected, Texts{"sr0"});
  EXPECT_EQ(drives.loaded, Texts{"sr1"});
}

TEST_F(ApplicationTest, ExitAsksAndOnlyYesLetsGo) {
  ASSERT_TRUE(Start("/home"));
  boxes.answers = {false};
  app.OnMenuCommand(menu::kExit);
  EXPECT_FALSE(app.quit_confirmed());
  EXPECT_TRUE(tray.icon_shown);
  EXPECT_EQ(boxes.questions.back(),
            "Quit - Ripwarden | If you quit Ripwarden, any DVDs you insert will not be automatically "
            "ripped.\r\rAre "
            "you sure you want to quit?");
  boxes.answers = {true};
  app.OnMenuCommand(menu::kExit);
  EXPECT_TRUE(app.quit_confirmed());
  EXPECT_FALSE(tray.icon_shown);
  EXPECT_FALSE(lock.held);
  EXPECT_TRUE(drives.ejected.empty());
}

TEST_F(ApplicationTest, ExitDuringARipCancelsItWithoutAFurtherQuestion) {
  StartRunning();
  const std::string partial = JobOf(engine).encoding_file;
  boxes.answers = {true};
  app.OnMenuCommand(menu::kExit);
  EXPECT_EQ(boxes.questions.size(), 1u);
  EXPECT_NE(boxes.questions[0].find("A DVD rip is currently in progress"), std::string::npos);
  EXPECT_EQ(Status(), "USER CANCELLED");
  EXPECT_FALSE(files.Exists(partial));
  EXPECT_EQ(drives.ejected, Texts{"sr0"});
  EXPECT_FALSE(tray.icon_shown);
  EXPECT_TRUE(app.quit_confirmed());
  const auto polls = drives.volume_queries;
  clock.Advance(5000);
  app.RunOnce();
  EXPECT_EQ(drives.volume_queries, polls) << "nothing runs after the confirmed exit";
}

// The system asking the program to stop (a logout, a signal) takes Exit's
// way out, without its question and without handling what waits.
TEST_F(ApplicationTest, AStopRequestQuitsLikeExitWithoutAsking) {
  StartRunning();
  const std::string partial = JobOf(engine).encoding_file;
  windows.events = {{UiEvent::Kind::kControl, control::kSettingsButton}};
  app.RequestStop();
  app.RunOnce();
  EXPECT_TRUE(boxes.questions.empty());
  EXPECT_EQ(Status(), "USER CANCELLED");
  EXPECT_FALSE(files.Exists(partial));
  EXPECT_FALSE(tray.icon_shown);
  EXPECT_FALSE(lock.held);
  EXPECT_TRUE(app.quit_confirmed());
  EXPECT_FALSE(windows.IsWindowVisible(kSettingsWindow));
}

}  // namespace
}  // namespace ripwarden::testing
