// The program's own loop, in this process on Qt's offscreen platform, with a
// question box really open: nothing of the rip may move behind it.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "app/turn_policy.h"
#include "helpers/disc_images.h"
#include "helpers/fake_encoder_control.h"
#include "platform/qt/program.h"
#include "platform/qt/qt_tray.h"
#include "temp_folder.h"

namespace ripwarden::testing {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

QAction* MenuAction(QMenu* menu, const QString& text) {
  for (QAction* action : menu->actions()) {
    if (action->text() == text) return action;
    if (action->menu() != nullptr) {
      if (QAction* inner = MenuAction(action->menu(), text)) return inner;
    }
  }
  return nullptr;
}

// Runs `step` every 50 ms inside whatever loop is running, nested ones
// included, until it returns false.
void Every50ms(std::function<bool()> step) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, step = std::move(step)] {
    if (!step()) timer->deleteLater();
  });
  timer->start(50);
}

void Answer(QMessageBox* box, QMessageBox::StandardButton answer) { box->button(answer)->click(); }

TEST(QuestionBox, HoldsTheRipUntilItIsAnswered) {
  const TempFolder home;
  const std::string disc = home.Path("DISC ONE");
  WriteMinimalVideoTs(disc + "/VIDEO_TS");
  fs::create_directories(home.Path("rips"));
  fs::create_directories(home.Path("runtime"));
  home.Write("Data/Config/Settings.cfg",
             "[Ripping]\nSourceDrive = " + disc + "\nDestination = " + home.Path("rips/") +
                 "\nFileContainer = MP4\nEncoding = \n[Other]\nStartMinimised = 1\n"
                 "AutoRip = 1\nEjectOnFinish = 0\n[HandBrake]\nLocation = " +
                 FakeEncoderPath() + "\n");
  home.Write("Data/Config/Presets.cfg", "");
  const std::string started = home.Path("encoder-started");
  FakeEncoderScript script(home, "touch " + started + "\nhang\n");
  setenv("RIPWARDEN_HOME", home.path().c_str(), 1);
  setenv("XDG_RUNTIME_DIR", home.Path("runtime").c_str(), 1);

  qt_platform::Program program;
  ASSERT_TRUE(program.Start());
  program.boxes().AskEvenOffscreen();
  QMenu* menu = program.tray().Menu();
  QAction* exit = MenuAction(menu, "Exit");
  QAction* progress = MenuAction(menu, "Rip Progress...");
  ASSERT_TRUE(exit != nullptr && progress != nullptr);

  // Exit asked before the first drive poll; while the question is open the
  // user clicks about and the poll falls due twice over.
  bool held = true;
  int questions = 0;
  Clock::time_point opened{};
  exit->trigger();
  Every50ms([&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return true;
    if (questions == 0) {
      ++questions;
      opened = Clock::now();
    }
    progress->trigger();
    if (fs::exists(started)) held = false;
    if (Clock::now() - opened < std::chrono::milliseconds(6000)) return true;
    Answer(box, QMessageBox::No);
    return false;
  });
  // Answered No, the rip starts; the next Exit answered Yes cancels it.
  Every50ms([&] {
    if (questions == 0 || QApplication::activeModalWidget() != nullptr) return true;
    if (!fs::exists(started)) return Clock::now() - opened < std::chrono::seconds(20);
    exit->trigger();
    Every50ms([&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return true;
      EXPECT_TRUE(box->text().startsWith("A DVD rip is currently in progress")) << box->text().toStdString();
      Answer(box, QMessageBox::Yes);
      return false;
    });
    return false;
  });
  QTimer::singleShot(60000, [] { QApplication::exit(3); });
  EXPECT_EQ(program.Run(), 0);

  EXPECT_EQ(questions, 1);
  EXPECT_TRUE(held) << "an encoder started behind the open question";
  EXPECT_TRUE(fs::exists(started)) << "no rip started once the question was answered";
  EXPECT_TRUE(fs::is_empty(home.Path("rips"))) << "the cancelled rip left its file";
}

// The policy both systems' loops follow, on its own.
TEST(TurnPolicy, RunsAtOnceWhenBusyElseSleepsUntilTheEngineIsDue) {
  EXPECT_FALSE(RunAgainNow({.output_waiting = false, .events_queued = false, .woken_during_turn = false}));
  EXPECT_TRUE(RunAgainNow({.output_waiting = true, .events_queued = false, .woken_during_turn = false}));
  EXPECT_TRUE(RunAgainNow({.output_waiting = false, .events_queued = true, .woken_during_turn = false}));
  EXPECT_TRUE(RunAgainNow({.output_waiting = false, .events_queued = false, .woken_during_turn = true}));

  EXPECT_EQ(SleepMilliseconds(700, false), 700u);
  EXPECT_EQ(SleepMilliseconds(0, false), 0u);
  EXPECT_EQ(SleepMilliseconds(60000, false), 2500u);
  // An ended output still signalled is looked at, not waited on.
  EXPECT_EQ(SleepMilliseconds(700, true), 20u);
  EXPECT_EQ(SleepMilliseconds(5, true), 5u);
}

TEST(TurnPolicy, TurnsInARowGiveTheWindowsBackWithinEightMilliseconds) {
  using std::chrono::milliseconds;
  EXPECT_TRUE(TakeAnotherTurn(true, milliseconds(7)));
  EXPECT_FALSE(TakeAnotherTurn(true, milliseconds(8)));
  EXPECT_FALSE(TakeAnotherTurn(false, milliseconds(0)));
}

}  // namespace
}  // namespace ripwarden::testing
