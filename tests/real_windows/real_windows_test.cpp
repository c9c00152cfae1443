// The program's own windows on real Qt widgets, offscreen, reading and
// writing a real settings file.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QTest>

#include "../rip/engine_fixture.h"
#include "app/app_graph.h"
#include "fakes/fake_system.h"
#include "fakes/fake_tray.h"
#include "platform/linux/linux_files.h"
#include "platform/linux/posix_path_rules.h"
#include "platform/qt/qt_folder_dialog.h"
#include "platform/qt/qt_tray.h"
#include "platform/qt/qt_window_system.h"
#include "temp_folder.h"
#include "ui/app_windows.h"
#include "ui/window_ids.h"

namespace ripwarden::testing {
namespace {

using namespace control;

// The real tray menu, drawn offscreen, in a session that has a notification
// area: offscreen has none, and the program would then behave otherwise. Its
// balloons reach no bus, and so no developer's desktop.
class OffscreenTray final : public qt_platform::QtTray {
 public:
  OffscreenTray() : QtTray(QIcon(), QDBusConnection(QStringLiteral("no bus"))) {}
  bool AddTrayIcon(const std::string&) override { return true; }
};

class RealWindowsTest : public ::testing::Test {
 protected:
  RealWindowsTest() {
    home_.Write("Data/Config/Settings.cfg",
                "[Ripping]\r\nSourceDrive = sr1\r\nDestination = /srv/rips/\r\nFileContainer = MP4\r\n"
                "Encoding = Normal\r\nTwoPass = 1\r\nAudioBooster = 0\r\n[Other]\r\nStartUp = 0\r\n"
                "StartMinimised = 0\r\nAutoRip = 1\r\nEjectOnFinish = 1\r\nClearHandBrakeOutput = 0\r\n"
                "[HandBrake]\r\nLocation = HandBrakeCLI\r\n[Application]\r\nVersion = 0.1.0\r\n");
    home_.Write("Data/Config/Presets.cfg", "Normal=x264/1500/aac/160\nSmall=x264/900/aac/96\n");
    drives_.AddDrive("sr0", "DVD-RW DRIVE");
    drives_.AddDrive("sr1", "BD-ROM");
    drives_.InsertDisc("sr1", {"udf", "MY MOVIE"});
    // No shipped files: whatever is installed on this machine stays out of the test.
    system_.user.home = home_.path();
    system_.user.defaults = home_.Path("shipped");
    system_.user.state = home_.Path("State");
  }
  void Start() { ASSERT_TRUE(app_.Start()); }
  std::string SettingsText() { return home_.Read("Data/Config/Settings.cfg"); }
  std::string Setting(const std::string& group, const std::string& key) {
    return settings_.ReadSetting(group, key);
  }
  // Lets Qt deliver what the user did, then hands it to the program.
  void Pump() {
    QApplication::processEvents();
    for (int turn = 0; turn < 50; ++turn) app_.RunOnce();
  }
  QWidget* Widget(int id) { return windows_.ControlWidget(id); }

  TempFolder home_;
  linux_platform::LinuxFiles files_;
  FakeSystem system_;
  FakeDrives& drives_ = system_.drives;
  FixedDialect dialects_;
  linux_platform::PosixPathRules paths_;
  qt_platform::QtWindowSystem windows_;
  qt_platform::QtFolderDialog folders_{&windows_};
  OffscreenTray tray_;
  FakeMessageBoxes boxes_;
  AppGraph graph_{{.system = system_.services(paths_, &system_.media_probe, {.files = &files_}),
                   .windows = windows_,
                   .folders = folders_,
                   .tray = tray_,
                   .boxes = boxes_},
                  {.settings_path = home_.Path("Data/Config/Settings.cfg"),
                   .presets_path = home_.Path("Data/Config/Presets.cfg"),
                   .dialects = &dialects_}};
  SettingsStore& settings_ = graph_.settings;
  WindowRipView& view_ = graph_.view;
  Application& app_ = graph_.app;
};

TEST_F(RealWindowsTest, ClickingEachCheckBoxRewritesExactlyItsKey) {
  Start();
  const std::vector<std::pair<int, std::string>> boxes = {
      {kTwoPassCheck, "TwoPass"},
      {kAudioBoosterCheck, "AudioBooster"},
      {kStartMinimisedCheck, "StartMinimised"},
      {kAutoRipCheck, "AutoRip"},
      {kEjectOnFinishCheck, "EjectOnFinish"},
      {kClearHandBrakeOutputCheck, "ClearHandBrakeOutput"}};
  windows_.ShowAppWindow(kSettingsWindow);
  auto* tabs = Widget(kSettingsTabs);
  for (const auto& [id, key] : boxes) {
    // The box must be on the visible tab to take a click.
    QMetaObject::invokeMethod(tabs, "setCurrentIndex", Q_ARG(int, id >= kStartUpCheck ? 1 : 0));
    const std::string before = SettingsText();
    const bool was = windows_.IsChecked(id);
    QTest::mouseClick(Widget(id), Qt::LeftButton, {}, QPoint(8, Widget(id)->height() / 2));
    Pump();
    ASSERT_NE(windows_.IsChecked(id), was) << key;
    const std::string after = SettingsText();
    const std::string line = key + " = " + (was ? "0" : "1") + "\r\n";
    EXPECT_NE(after.find("\n" + line), std::string::npos) << key;
    const std::string old_line = key + " = " + (was ? "1" : "0") + "\r\n";
    std::string expected = before;
    expected.replace(expected.find("\n" + old_line) + 1, old_line.size(), line);
    EXPECT_EQ(after, expected) << "more than " << key << " changed";
  }
  EXPECT_FALSE(Widget(kStartUpCheck)->isEnabled());
}

TEST_F(RealWindowsTest, ChoosingFromTheListsStoresTheChoice) {
  Start();
  windows_.ShowAppWindow(kSettingsWindow);
  auto* drive_list = qobject_cast<QComboBox*>(Widget(kSourceDriveList));
  ASSERT_NE(drive_list, nullptr);
  EXPECT_EQ(drive_list->currentIndex(), 2);
  drive_list->setFocus();
  QTest::keyClick(drive_list, Qt::Key_Up);
  Pump();
  EXPECT_EQ(Setting("Ripping", "SourceDrive"), "sr0");

  auto* presets = qobject_cast<QComboBox*>(Widget(kQualityPresetList));
  presets->setFocus();
  QTest::keyClick(presets, Qt::Key_Down);
  Pump();
  EXPECT_EQ(Setting("Ripping", "Encoding"), "Small");
  EXPECT_EQ(windows_.GetText(kVideoBitRateField), "900");

  auto* formats = qobject_cast<QComboBox*>(Widget(kFileFormatList));
  formats->setFocus();
  QTest::keyClick(formats, Qt::Key_Up);
  Pump();
  EXPECT_EQ(Setting("Ripping", "FileContainer"), "MKV");
}

TEST_F(RealWindowsTest, MerelyFocusingTheDriveListStoresItsSelection) {
  settings_.WriteSetting("Ripping", "SourceDrive", "d");
  Start();
  windows_.ShowAppWindow(kSettingsWindow);
  windows_.BringToFront(kSettingsWindow);
  ASSERT_TRUE(QTest::qWaitForWindowActive(windows_.WindowWidget(kSettingsWindow)));
  Widget(kRefreshListButton)->setFocus();
  Pump();
  EXPECT_EQ(Setting("Ripping", "SourceDrive"), "d");
  Widget(kSourceDriveList)->setFocus();
  Pump();
  EXPECT_EQ(Setting("Ripping", "SourceDrive"), "");
}

TEST_F(RealWindowsTest, ShowsTheProgressWindowAtStartOnlyForExactlyZero) {
  settings_.WriteSetting("Other", "StartMinimised", "00");
  Start();
  EXPECT_FALSE(windows_.IsWindowVisible(kProgressWindow));
  EXPECT_FALSE(windows_.IsWindowVisible(kSettingsWindow));
  EXPECT_FALSE(windows_.IsWindowVisible(kOutputWindow));
}

TEST_F(RealWindowsTest, TheCloseBoxHidesAndTheOutputListGrowsAtTheTop) {
  Start();
  ASSERT_TRUE(windows_.IsWindowVisible(kProgressWindow));
  windows_.WindowWidget(kProgressWindow)->close();
  Pump();
  EXPECT_FALSE(windows_.IsWindowVisible(kProgressWindow));
  view_.InsertOutputLine("first");
  view_.InsertOutputLine("second");
  EXPECT_EQ(windows_.ItemText(kOutputList, 0), "second");
  EXPECT_EQ(windows_.ItemText(kOutputList, 1), "first");
}

TEST_F(RealWindowsTest, TheOutputListKeepsOnlyTheNewestLines) {
  Start();
  windows_.ShowAppWindow(kOutputWindow);
  constexpr int kMost = WindowRipView::kMostOutputLines;
  for (int i = 1; i <= kMost + 1; ++i) {
    view_.InsertOutputLine("Encoding: task 1 of 1, line " + std::to_string(i));
    if (i % 1000 == 0) QApplication::processEvents();
  }
  EXPECT_EQ(windows_.ItemCount(kOutputList), kMost);
  EXPECT_EQ(windows_.ItemText(kOutputList, 0), "Encoding: task 1 of 1, line 20001");
  EXPECT_EQ(windows_.ItemText(kOutputList, kMost - 1), "Encoding: task 1 of 1, line 2");
  // Otherwise each repaint measures all of them again: a full list then
  // takes longer to repaint than the encoder takes to print.
  EXPECT_TRUE(qobject_cast<QListWidget*>(Widget(kOutputList))->uniformItemSizes());
  view_.ClearOutputList();
  view_.InsertOutputLine("after");
  EXPECT_EQ(windows_.ItemCount(kOutputList), 1);
}

TEST_F(RealWindowsTest, EveryListAndFieldIsLabelledByItsLabel) {
  Start();
  for (const auto& [label, control] :
       std::vector<std::pair<int, int>>{{kSourceDriveLabel, kSourceDriveList},
                                        {kDestinationLabel, kDestinationField},
                                        {kQualityPresetLabel, kQualityPresetList},
                                        {kVideoCodecLabel, kVideoCodecField},
                                        {kVideoBitRateLabel, kVideoBitRateField},
                                        {kAudioCodecLabel, kAudioCodecField},
                                        {kAudioBitRateLabel, kAudioBitRateField},
                                        {kFileFormatLabel, kFileFormatList}}) {
    QAccessibleInterface* access = QAccessible::queryAccessibleInterface(Widget(control));
    ASSERT_NE(access, nullptr);
    EXPECT_EQ(access->text(QAccessible::Name).toStdString(), windows_.GetText(label)) << control;
    QAccessibleInterface* label_access = QAccessible::queryAccessibleInterface(Widget(label));
    bool labelled = false;
    for (const auto& relation : access->relations(QAccessible::Label))
      labelled |= relation.first == label_access;
    EXPECT_TRUE(labelled) << control;
  }
}

// Pictures of the windows for the documentation; the test fails only when
// one cannot be drawn or written.
// The tray menu described anew when a second drive is chosen, and again when
// it is given up: each drive's submenu acts on that drive.
TEST_F(RealWindowsTest, ASecondDriveGetsItsOwnForceDriveSubmenu) {
  Start();
  const auto submenu = [](QMenu* menu, const QString& title) -> QMenu* {
    for (QAction* action : menu->actions())
      if (action->menu() != nullptr && action->text() == title) return action->menu();
    return nullptr;
  };
  settings_.WriteSetting("Ripping", "SourceDrive", "sr0|sr1");
  system_.clock.Advance(2500);
  Pump();
  QMenu* force = submenu(tray_.Menu(), "Force Drive To");
  ASSERT_NE(force, nullptr);
  QMenu* first = submenu(force, "sr0");
  QMenu* second = submenu(force, "sr1");
  ASSERT_TRUE(first != nullptr && second != nullptr);
  ASSERT_EQ(second->actions().size(), 2);
  EXPECT_FALSE(second->actions()[0]->isEnabled());
  first->actions()[1]->trigger();
  Pump();
  EXPECT_EQ(drives_.ejected, std::vector<std::string>{"sr0"});

  settings_.WriteSetting("Ripping", "SourceDrive", "sr1");
  system_.clock.Advance(2500);
  Pump();
  force = submenu(tray_.Menu(), "Force Drive To");
  ASSERT_NE(force, nullptr);
  ASSERT_EQ(force->actions().size(), 2);
  EXPECT_EQ(force->actions()[1]->text(), "Eject Media");
}

TEST_F(RealWindowsTest, DrawsTheWindowsForTheDocumentation) {
  Start();
  view_.SetDiscLabelText("MY MOVIE");
  view_.SetRipProgressBar(4523);
  view_.SetStatusText("45.23%");
  view_.EnableCancelButton(true);
  for (const char* line : {"-i /dev/sr1 -o /srv/rips/MY_MOVIE_(2026-12-07_14-02-48).MP4 --main-feature -e "
                           "x264 -b 1500 -2 -a 1 -E aac "
                           "-B 160",
                           "libdvdnav: DVD Title: MY MOVIE", "Encoding: task 1 of 2, 12.40 %",
                           "Encoding: task 1 of 2, 45.23 %"}) {
    view_.InsertOutputLine(line);
  }
  const std::string folder = SCREENSHOT_FOLDER;
  EXPECT_TRUE(windows_.SaveScreenshot(kProgressWindow, folder + "/progress-window.png"));
  EXPECT_TRUE(windows_.SaveScreenshot(kOutputWindow, folder + "/output-window.png"));
  EXPECT_TRUE(windows_.SaveScreenshot(kSettingsWindow, folder + "/settings-ripping.png"));
  QMetaObject::invokeMethod(Widget(kSettingsTabs), "setCurrentIndex", Q_ARG(int, 1));
  EXPECT_TRUE(windows_.SaveScreenshot(kSettingsWindow, folder + "/settings-other.png"));
  QMenu* menu = tray_.Menu();
  menu->adjustSize();
  EXPECT_TRUE(menu->grab().save(QString::fromStdString(folder + "/tray-menu.png"), "PNG"));
}

}  // namespace
}  // namespace ripwarden::testing
