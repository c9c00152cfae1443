#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/qt/qt_folder_dialog.h"
#include "platform/qt/qt_window_system.h"

namespace ripwarden::qt_platform {
namespace {

constexpr int kWindow = 1;
using Kind = UiEvent::Kind;
using Seen = std::vector<std::string>;

class ControlEventsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(windows_.CreateAppWindow(kWindow, "Settings", 400, 300, WindowPlacement::kOverActiveWindow));
  }

  QWidget* Make(int id, ControlKind kind, const std::string& text = "", int y = 10) {
    EXPECT_TRUE(windows_.CreateControl(kWindow, id, kind, text, 10, y, 150, 24));
    return windows_.ControlWidget(id);
  }

  void ShowActive() {
    windows_.ShowAppWindow(kWindow);
    windows_.BringToFront(kWindow);
    ASSERT_TRUE(QTest::qWaitForWindowActive(windows_.WindowWidget(kWindow)));
  }

  // Every event queued so far, as "control 3" or "close 1".
  std::vector<std::string> Events() {
    QApplication::processEvents();
    std::vector<std::string> events;
    while (const auto event = windows_.TakeEvent()) {
      events.push_back((event->kind == Kind::kClose ? "close " : "control ") + std::to_string(event->id));
    }
    return events;
  }

  QtWindowSystem windows_;
};

TEST_F(ControlEventsTest, CloseBoxReportsAndLeavesTheWindowOpen) {
  ShowActive();
  // The same path as the close box; false: the window refused to close.
  EXPECT_FALSE(windows_.WindowWidget(kWindow)->windowHandle()->close());
  EXPECT_TRUE(windows_.IsWindowVisible(kWindow));
  EXPECT_EQ(Events(), (Seen{"close 1"}));
}

TEST_F(ControlEventsTest, ClicksOnButtonsAndCheckBoxesReportOnceEach) {
  auto* button = Make(2, ControlKind::kButton, "Start");
  auto* box = Make(3, ControlKind::kCheckBox, "Eject when done", 40);
  ShowActive();

  QTest::mouseClick(box, Qt::LeftButton);
  EXPECT_TRUE(windows_.IsChecked(3));
  EXPECT_EQ(Events(), (Seen{"control 3"}));

  box->setFocus();
  QTest::keyClick(box, Qt::Key_Space);
  EXPECT_FALSE(windows_.IsChecked(3));
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(Events(), (Seen{"control 3", "control 2"}));

  windows_.Enable(2, false);
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(Events(), Seen{});
}

TEST_F(ControlEventsTest, RadioButtonsAndTypedFieldsReportOnlyTheUsersChoiceAndTyping) {
  Make(2, ControlKind::kRadioButton, "Main");
  auto* all = Make(3, ControlKind::kRadioButton, "All", 40);
  auto* minutes = Make(4, ControlKind::kNumberField, "", 70);
  auto* languages = Make(5, ControlKind::kTextField, "", 100);
  windows_.SetChecked(2, true);
  windows_.SetText(4, "10");
  windows_.SetText(5, "eng");
  ShowActive();
  EXPECT_EQ(Events(), Seen{});

  QTest::mouseClick(all, Qt::LeftButton, {}, QPoint(8, 12));  // on its circle
  EXPECT_FALSE(windows_.IsChecked(2)) << "one run of radio buttons";
  EXPECT_EQ(Events(), (Seen{"control 3"}));
  minutes->setFocus();
  QTest::keyClick(minutes, Qt::Key_End);
  QTest::keyClicks(minutes, "x12345");
  EXPECT_EQ(windows_.GetText(4), "1012") << "digits only, four at most";
  languages->setFocus();
  QTest::keyClick(languages, Qt::Key_End);
  QTest::keyClicks(languages, ",fr;a");
  EXPECT_EQ(windows_.GetText(5), "eng,fra");
  EXPECT_EQ(Events(), (Seen{"control 4", "control 4", "control 5", "control 5", "control 5", "control 5"}));
}

TEST_F(ControlEventsTest, ScreenReaderToggleReportsLikeAClick) {
  Make(3, ControlKind::kCheckBox, "Two-pass");
  QAccessibleInterface* access = QAccessible::queryAccessibleInterface(windows_.ControlWidget(3));
  ASSERT_NE(access, nullptr);
  ASSERT_NE(access->actionInterface(), nullptr);
  access->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
  EXPECT_TRUE(windows_.IsChecked(3));
  EXPECT_EQ(Events(), (Seen{"control 3"}));
}

TEST_F(ControlEventsTest, ChangesMadeByTheProgramReportNothing) {
  Make(2, ControlKind::kCheckBox, "Auto-rip");
  Make(3, ControlKind::kDropDownList, "", 40);
  Make(4, ControlKind::kListBox, "", 70);
  Make(5, ControlKind::kLabel, "", 100);
  windows_.SetChecked(2, true);
  windows_.SetChecked(2, false);
  windows_.AppendItem(3, "DVD (sr0)");
  windows_.InsertItemAtTop(3, "DVD (sr1)");
  windows_.SelectItem(3, 1);
  windows_.SetText(3, "DVD (sr1)");
  windows_.AppendItem(4, "line");
  windows_.InsertItemAtTop(4, "line");
  windows_.SelectItem(4, 0);
  windows_.SetText(5, "Ready");
  windows_.SetText(2, "Auto rip");
  windows_.Enable(3, false);
  windows_.Enable(3, true);
  ShowActive();
  windows_.HideAppWindow(kWindow);
  windows_.ClearItems(3);
  EXPECT_EQ(Events(), Seen{});
}

TEST_F(ControlEventsTest, DropDownListReportsFocusOpeningClosingAndChoice) {
  Make(2, ControlKind::kButton, "Refresh");
  auto* list = qobject_cast<QComboBox*>(Make(3, ControlKind::kDropDownList, "", 40));
  windows_.AppendItem(3, "MP4");
  windows_.AppendItem(3, "MKV");
  ShowActive();
  windows_.ControlWidget(2)->setFocus();
  Events();

  QTest::keyClick(windows_.WindowWidget(kWindow), Qt::Key_Tab);
  ASSERT_EQ(QApplication::focusWidget(), list);
  EXPECT_EQ(Events(), (Seen{"control 3"}));

  list->showPopup();
  ASSERT_TRUE(list->view()->isVisible());
  EXPECT_EQ(Events(), (Seen{"control 3"}));

  QTest::keyClick(list->view(), Qt::Key_Down);
  QTest::keyClick(list->view(), Qt::Key_Return);
  EXPECT_FALSE(list->view()->isVisible());
  EXPECT_EQ(windows_.SelectedItem(3), 1);
  // The choice and the list closing; the order is Qt's.
  EXPECT_EQ(Events(), (Seen{"control 3", "control 3"}));
  EXPECT_EQ(QApplication::focusWidget(), list);

  QTest::keyClick(list, Qt::Key_Up);
  EXPECT_EQ(windows_.GetText(3), "MP4");
  EXPECT_EQ(Events(), (Seen{"control 3"}));

  QTest::keyClick(windows_.WindowWidget(kWindow), Qt::Key_Backtab);
  EXPECT_EQ(Events(), (Seen{"control 3"}));
}

TEST_F(ControlEventsTest, EventsComeOutInTheOrderTheyHappened) {
  auto* button = Make(2, ControlKind::kButton, "Start");
  auto* box = Make(3, ControlKind::kCheckBox, "Two-pass", 40);
  ShowActive();
  QTest::mouseClick(box, Qt::LeftButton);
  windows_.WindowWidget(kWindow)->windowHandle()->close();
  QTest::mouseClick(button, Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_EQ(windows_.TakeEvent()->id, 3);
  const auto close = windows_.TakeEvent();
  EXPECT_EQ(close->kind, Kind::kClose);
  EXPECT_EQ(close->id, kWindow);
  EXPECT_EQ(windows_.TakeEvent()->id, 2);
  EXPECT_FALSE(windows_.TakeEvent().has_value());
}

TEST_F(ControlEventsTest, ControlsAreNamedAfterTheirLabels) {
  Make(2, ControlKind::kLabel, "&Source drive:");
  auto* list = Make(3, ControlKind::kDropDownList, "", 40);
  windows_.AppendItem(3, "DVD-ROM (sr0)");
  windows_.SelectItem(3, 0);
  windows_.SetLabelFor(2, 3);

  QAccessibleInterface* access = QAccessible::queryAccessibleInterface(list);
  ASSERT_NE(access, nullptr);
  EXPECT_EQ(access->text(QAccessible::Name).toStdString(), "Source drive:");
  EXPECT_EQ(access->text(QAccessible::Value).toStdString(), "DVD-ROM (sr0)");
  QAccessibleInterface* label = QAccessible::queryAccessibleInterface(windows_.ControlWidget(2));
  bool labelled = false;
  for (const auto& relation : access->relations(QAccessible::Label)) labelled |= relation.first == label;
  EXPECT_TRUE(labelled);

  // The rest is as Qt's own: its list as its child, and an action that opens it.
  ASSERT_EQ(access->childCount(), 1);
  EXPECT_EQ(access->child(0)->object(), qobject_cast<QComboBox*>(list)->view());
  access->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  EXPECT_TRUE(access->state().expanded);

  // Renaming the label renames the control.
  windows_.SetText(2, "Drive:");
  EXPECT_EQ(access->text(QAccessible::Name).toStdString(), "Drive:");

  auto* box = Make(4, ControlKind::kCheckBox, "Boost audio", 70);
  EXPECT_EQ(QAccessible::queryAccessibleInterface(box)->text(QAccessible::Name).toStdString(), "Boost audio");
}

// Answers the folder chooser once it is up, from inside its event loop.
void AnswerFolderChooser(std::function<void(QFileDialog*)> answer) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [poll, answer = std::move(answer)] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<QFileDialog*>(widget);
      if (dialog == nullptr || !dialog->isVisible()) continue;
      poll->stop();
      poll->deleteLater();
      answer(dialog);
      return;
    }
  });
  poll->start(10);
}

TEST_F(ControlEventsTest, FolderChooserReturnsTheChosenFolderOrNothing) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  ShowActive();
  QtFolderDialog chooser(&windows_);

  QWidget* parent = nullptr;
  QString title;
  AnswerFolderChooser([&](QFileDialog* dialog) {
    parent = dialog->parentWidget();
    title = dialog->windowTitle();
    static_cast<QDialog*>(dialog)->accept();  // QFileDialog hides its own accept()
  });
  EXPECT_EQ(chooser.PickFolder("Pick the destination", folder.path().toStdString()),
            folder.path().toStdString());
  EXPECT_EQ(parent, windows_.WindowWidget(kWindow));
  EXPECT_EQ(title, "Pick the destination");

  AnswerFolderChooser([](QFileDialog* dialog) { dialog->reject(); });
  EXPECT_EQ(chooser.PickFolder("Pick the destination", folder.path().toStdString()), "");
}

}  // namespace
}  // namespace ripwarden::qt_platform
