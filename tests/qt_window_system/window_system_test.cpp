#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QWheelEvent>
#include <QWindow>

#include <string>

#include "platform/qt/qt_window_system.h"

namespace ripwarden::qt_platform {
namespace {

constexpr int kWindow = 1;

class QtWindowSystemTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(windows_.CreateAppWindow(kWindow, "Ripwarden", 400, 300, kDefault)); }

  QWidget* Make(int id, ControlKind kind, const std::string& text = "", int window = kWindow) {
    EXPECT_TRUE(windows_.CreateControl(window, id, kind, text, 10, 20, 120, 24));
    return windows_.ControlWidget(id);
  }

  void ShowActive(int window) {
    windows_.ShowAppWindow(window);
    windows_.BringToFront(window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(windows_.WindowWidget(window)));
  }

  static constexpr WindowPlacement kDefault = WindowPlacement::kOverActiveWindow;
  QtWindowSystem windows_;
};

TEST_F(QtWindowSystemTest, WindowIsMadeHiddenWithFixedSizeTitleAndNoMaximiseBox) {
  QWidget* window = windows_.WindowWidget(kWindow);
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(windows_.IsWindowVisible(kWindow));
  EXPECT_EQ(window->size(), QSize(400, 300));
  EXPECT_EQ(window->minimumSize(), window->maximumSize());
  EXPECT_EQ(window->windowTitle(), "Ripwarden");
  const Qt::WindowFlags flags = window->windowFlags();
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);

  windows_.ShowAppWindow(kWindow);
  EXPECT_TRUE(windows_.IsWindowVisible(kWindow));
  windows_.HideAppWindow(kWindow);
  EXPECT_FALSE(windows_.IsWindowVisible(kWindow));
  EXPECT_FALSE(windows_.CreateAppWindow(kWindow, "again", 10, 10, kDefault));
}

TEST_F(QtWindowSystemTest, NewWindowGoesToTheFixedCornerWhenNoneOfOursIsActive) {
  EXPECT_EQ(windows_.WindowWidget(kWindow)->pos(), QPoint(449, 185));
}

TEST_F(QtWindowSystemTest, NewWindowIsCentredOverTheActiveOneAndKeptOnScreen) {
  windows_.WindowWidget(kWindow)->move(100, 80);
  ShowActive(kWindow);
  const QRect active = windows_.WindowWidget(kWindow)->frameGeometry();
  const QSize frame = active.size() - QSize(400, 300);

  ASSERT_TRUE(windows_.CreateAppWindow(2, "Output", 201, 100, kDefault));
  const QSize outer = QSize(201, 100) + frame;
  EXPECT_EQ(windows_.WindowWidget(2)->pos(), QPoint(active.left() + (active.width() - outer.width()) / 2,
                                                    active.top() + (active.height() - outer.height()) / 2));
  windows_.ShowAppWindow(2);
  EXPECT_EQ(windows_.WindowWidget(2)->frameGeometry().topLeft(), windows_.WindowWidget(2)->pos());

  // Much bigger than the active window: its corner would lie left of and above the screen.
  ASSERT_TRUE(windows_.CreateAppWindow(3, "Wide", 900, 800, kDefault));
  EXPECT_EQ(windows_.WindowWidget(3)->pos(), QPoint(0, 0));
}

TEST_F(QtWindowSystemTest, WindowCentredOnScreenFitsTheAvailableArea) {
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  ASSERT_TRUE(windows_.CreateAppWindow(2, "Settings", 300, 200, WindowPlacement::kCentredOnScreen));
  EXPECT_EQ(windows_.WindowWidget(2)->pos(),
            QPoint(area.left() + (area.width() - 300) / 2, area.top() + (area.height() - 200) / 2));
  ASSERT_TRUE(windows_.CreateAppWindow(3, "Huge", area.width() + 500, 50, WindowPlacement::kCentredOnScreen));
  EXPECT_EQ(windows_.WindowWidget(3)->pos().x(), area.left());
}

TEST_F(QtWindowSystemTest, ShowKeepsAMinimisedWindowMinimised) {
  QWidget* window = windows_.WindowWidget(kWindow);
  windows_.ShowAppWindow(kWindow);
  window->showMinimized();
  windows_.HideAppWindow(kWindow);
  windows_.ShowAppWindow(kWindow);
  EXPECT_TRUE(windows_.IsWindowVisible(kWindow));
  EXPECT_TRUE(window->isMinimized());
}

TEST_F(QtWindowSystemTest, IconGoesOnWindowsMadeBeforeAndAfter) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::red);
  windows_.SetWindowIcon(QIcon(pixmap));
  ASSERT_TRUE(windows_.CreateAppWindow(2, "Later", 100, 100, kDefault));
  EXPECT_FALSE(windows_.WindowWidget(kWindow)->windowIcon().isNull());
  EXPECT_FALSE(windows_.WindowWidget(2)->windowIcon().isNull());
}

TEST_F(QtWindowSystemTest, EachKindOfControlIsItsWidgetAtItsPlace) {
  auto* label = qobject_cast<QLabel*>(Make(1, ControlKind::kLabel, "<b>DISC</b>"));
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->geometry(), QRect(10, 20, 120, 24));
  EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
  EXPECT_TRUE(label->alignment() & Qt::AlignLeft);
  // A disc label that looks like markup is shown as it is.
  EXPECT_EQ(label->textFormat(), Qt::PlainText);

  auto* centred = qobject_cast<QLabel*>(Make(2, ControlKind::kCentredLabel, "Ripping"));
  ASSERT_NE(centred, nullptr);
  EXPECT_TRUE(centred->alignment() & Qt::AlignHCenter);
  EXPECT_TRUE(centred->wordWrap());

  auto* button = qobject_cast<QPushButton*>(Make(3, ControlKind::kButton, "Start"));
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->text(), "Start");
  auto* box = qobject_cast<QCheckBox*>(Make(4, ControlKind::kCheckBox, "Two-pass"));
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->text(), "Two-pass");

  auto* list = qobject_cast<QComboBox*>(Make(5, ControlKind::kDropDownList));
  ASSERT_NE(list, nullptr);
  EXPECT_FALSE(list->isEditable());

  auto* field = qobject_cast<QLineEdit*>(Make(6, ControlKind::kReadOnlyField, "/media/videos/"));
  ASSERT_NE(field, nullptr);
  EXPECT_TRUE(field->isReadOnly());
  EXPECT_EQ(field->text(), "/media/videos/");

  EXPECT_NE(qobject_cast<QTabWidget*>(Make(7, ControlKind::kTabPanel)), nullptr);
  windows_.CloseTabPanel(7);

  auto* bar = qobject_cast<QProgressBar*>(Make(8, ControlKind::kProgressBar));
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->minimum(), 0);
  EXPECT_EQ(bar->maximum(), 10000);
  EXPECT_EQ(bar->value(), 0);
  EXPECT_FALSE(bar->isTextVisible());

  auto* lines = qobject_cast<QListWidget*>(Make(9, ControlKind::kListBox));
  ASSERT_NE(lines, nullptr);
  EXPECT_EQ(lines->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(lines->geometry(), QRect(10, 20, 120, 24));
  for (int id = 1; id <= 9; ++id)
    EXPECT_EQ(windows_.ControlWidget(id)->window(), windows_.WindowWidget(kWindow));
}

TEST_F(QtWindowSystemTest, FontsAreVerdanaInThreeStyles) {
  Make(1, ControlKind::kLabel);
  Make(2, ControlKind::kButton);
  Make(3, ControlKind::kCentredLabel);
  windows_.SetFont(1, FontId::kRegular);
  windows_.SetFont(2, FontId::kSmall);
  windows_.SetFont(3, FontId::kBold);
  const QFont regular = windows_.ControlWidget(1)->font();
  const QFont small = windows_.ControlWidget(2)->font();
  const QFont bold = windows_.ControlWidget(3)->font();
  EXPECT_EQ(regular.family(), "Verdana");
  EXPECT_EQ(regular.pointSize(), 10);
  EXPECT_FALSE(regular.bold());
  EXPECT_EQ(small.family(), "Verdana");
  EXPECT_EQ(small.pointSize(), 8);
  EXPECT_EQ(bold.pointSize(), 10);
  EXPECT_TRUE(bold.bold());
}

TEST_F(QtWindowSystemTest, TabPagesTakeTheControlsMadeAfterThem) {
  auto* panel = qobject_cast<QTabWidget*>(Make(1, ControlKind::kTabPanel));
  windows_.AddTab(1, "General");
  Make(2, ControlKind::kButton, "Refresh");
  windows_.AddTab(1, "Encoding");
  Make(3, ControlKind::kCheckBox, "Two-pass");
  windows_.CloseTabPanel(1);
  Make(4, ControlKind::kButton, "Close");

  ASSERT_EQ(panel->count(), 2);
  EXPECT_EQ(panel->tabText(0), "General");
  EXPECT_EQ(panel->tabText(1), "Encoding");
  EXPECT_EQ(windows_.ControlWidget(2)->parentWidget(), panel->widget(0));
  EXPECT_EQ(windows_.ControlWidget(3)->parentWidget(), panel->widget(1));
  EXPECT_EQ(windows_.ControlWidget(3)->pos(), QPoint(10, 20));
  EXPECT_EQ(windows_.ControlWidget(4)->parentWidget(), windows_.WindowWidget(kWindow));

  // Only the chosen page's controls show.
  windows_.ShowAppWindow(kWindow);
  EXPECT_TRUE(windows_.ControlWidget(2)->isVisible());
  EXPECT_FALSE(windows_.ControlWidget(3)->isVisible());
  panel->setCurrentIndex(1);
  EXPECT_TRUE(windows_.ControlWidget(3)->isVisible());
}

TEST_F(QtWindowSystemTest, TabAndShiftTabFollowTheOrderOfMaking) {
  // Made in an order that differs from their places on screen.
  ASSERT_TRUE(windows_.CreateControl(kWindow, 1, ControlKind::kButton, "Last on screen", 10, 200, 80, 24));
  ASSERT_TRUE(windows_.CreateControl(kWindow, 2, ControlKind::kLabel, "Drive:", 10, 10, 80, 24));
  ASSERT_TRUE(windows_.CreateControl(kWindow, 3, ControlKind::kDropDownList, "", 100, 10, 80, 24));
  ASSERT_TRUE(windows_.CreateControl(kWindow, 4, ControlKind::kCheckBox, "Off", 10, 100, 80, 24));
  ASSERT_TRUE(windows_.CreateControl(kWindow, 5, ControlKind::kReadOnlyField, "/x", 10, 50, 80, 24));
  ASSERT_TRUE(windows_.CreateControl(kWindow, 6, ControlKind::kTabPanel, "", 200, 10, 190, 150));
  windows_.AddTab(6, "Encoding");
  ASSERT_TRUE(windows_.CreateControl(kWindow, 7, ControlKind::kCheckBox, "On a page", 10, 10, 80, 24));
  windows_.CloseTabPanel(6);
  ASSERT_TRUE(windows_.CreateControl(kWindow, 8, ControlKind::kButton, "After", 10, 250, 80, 24));
  windows_.Enable(4, false);
  ShowActive(kWindow);

  windows_.ControlWidget(1)->setFocus();
  QWidget* window = windows_.WindowWidget(kWindow);
  QTest::keyClick(window, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), windows_.ControlWidget(3));
  QTest::keyClick(window, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), windows_.ControlWidget(5));
  QTest::keyClick(window, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget()->parentWidget(), windows_.ControlWidget(6));  // its row of tabs
  QTest::keyClick(window, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), windows_.ControlWidget(7));
  QTest::keyClick(window, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), windows_.ControlWidget(8));
  QTest::keyClick(window, Qt::Key_Backtab);
  EXPECT_EQ(QApplication::focusWidget(), windows_.ControlWidget(7));
  QTest::keyClick(window, Qt::Key_Backtab);
  QTest::keyClick(window, Qt::Key_Backtab);
  EXPECT_EQ(QApplication::focusWidget(), windows_.ControlWidget(5));
  QTest::keyClick(window, Qt::Key_Backtab);
  EXPECT_EQ(QApplication::focusWidget(), windows_.ControlWidget(3));
}

TEST_F(QtWindowSystemTest, TextsReadBackByKind) {
  Make(1, ControlKind::kLabel, "Label");
  Make(2, ControlKind::kDropDownList, "ignored");
  Make(3, ControlKind::kReadOnlyField, "");
  Make(4, ControlKind::kProgressBar, "");
  windows_.SetText(1, "Disc: ÉTÉ_2004");
  EXPECT_EQ(windows_.GetText(1), "Disc: ÉTÉ_2004");

  EXPECT_EQ(windows_.GetText(2), "");
  windows_.AppendItem(2, "MP4");
  windows_.AppendItem(2, "MKV");
  windows_.SelectItem(2, 1);
  EXPECT_EQ(windows_.GetText(2), "MKV");
  EXPECT_EQ(windows_.SelectedItem(2), 1);
  windows_.SetText(2, "MP4");
  EXPECT_EQ(windows_.SelectedItem(2), 0);
  windows_.SetText(2, "AVI");  // not in the list: the choice stays
  EXPECT_EQ(windows_.SelectedItem(2), 0);
  windows_.SelectItem(2, -1);
  EXPECT_EQ(windows_.SelectedItem(2), -1);
  EXPECT_EQ(windows_.GetText(2), "");
  windows_.SelectItem(2, 7);
  EXPECT_EQ(windows_.SelectedItem(2), -1);
  EXPECT_EQ(windows_.ItemText(2, 1), "MKV");
  EXPECT_EQ(windows_.ItemText(2, 2), "");
  EXPECT_EQ(windows_.ItemText(2, -1), "");

  // A long path shows from its start.
  const std::string path = "/media/someone/a very long folder name that does not fit/videos/";
  windows_.SetText(3, path);
  EXPECT_EQ(windows_.GetText(3), path);
  EXPECT_EQ(qobject_cast<QLineEdit*>(windows_.ControlWidget(3))->cursorPosition(), 0);

  auto* bar = qobject_cast<QProgressBar*>(windows_.ControlWidget(4));
  windows_.SetProgress(4, 2500);
  EXPECT_EQ(bar->value(), 2500);
  windows_.SetProgress(4, 10001);
  EXPECT_EQ(bar->value(), 10000);
  windows_.SetProgress(4, -5);
  EXPECT_EQ(bar->value(), 0);
  EXPECT_EQ(windows_.GetText(4), "");
}

TEST_F(QtWindowSystemTest, UnknownWindowsAndControlsAreIgnored) {
  EXPECT_FALSE(windows_.CreateControl(99, 1, ControlKind::kButton, "x", 0, 0, 10, 10));
  EXPECT_EQ(windows_.ControlWidget(1), nullptr);
  Make(1, ControlKind::kButton, "Start");
  EXPECT_FALSE(windows_.CreateControl(kWindow, 1, ControlKind::kLabel, "again", 0, 0, 10, 10));
  EXPECT_EQ(windows_.GetText(1), "Start");

  windows_.ShowAppWindow(99);
  windows_.HideAppWindow(99);
  windows_.BringToFront(99);
  EXPECT_FALSE(windows_.IsWindowVisible(99));
  EXPECT_TRUE(windows_.Grab(99).isNull());
  windows_.AddTab(1, "not a panel");
  windows_.AddTab(42, "x");
  windows_.CloseTabPanel(42);
  windows_.SetFont(42, FontId::kBold);
  windows_.SetLabelFor(42, 1);
  windows_.SetLabelFor(1, 42);
  windows_.SetText(42, "x");
  windows_.Enable(42, true);
  windows_.SetChecked(42, true);
  windows_.SetProgress(42, 5);
  windows_.ClearItems(42);
  windows_.AppendItem(42, "x");
  windows_.InsertItemAtTop(42, "x");
  windows_.SelectItem(42, 0);
  EXPECT_EQ(windows_.GetText(42), "");
  EXPECT_FALSE(windows_.IsEnabled(42));
  EXPECT_FALSE(windows_.IsChecked(42));
  EXPECT_EQ(windows_.ItemCount(42), 0);
  EXPECT_EQ(windows_.ItemText(42, 0), "");
  EXPECT_EQ(windows_.SelectedItem(42), -1);
  // A button has no items and no check mark.
  windows_.AppendItem(1, "x");
  EXPECT_EQ(windows_.ItemCount(1), 0);
  EXPECT_FALSE(windows_.IsChecked(1));
  EXPECT_FALSE(windows_.TakeEvent().has_value());
}

TEST_F(QtWindowSystemTest, ListBoxKeepsEveryLineNewestFirst) {
  Make(1, ControlKind::kListBox);
  windows_.AppendItem(1, "first");
  windows_.InsertItemAtTop(1, "second");
  EXPECT_EQ(windows_.ItemText(1, 0), "second");
  EXPECT_EQ(windows_.ItemText(1, 1), "first");
  windows_.ClearItems(1);
  for (int i = 0; i < 10000; ++i) windows_.InsertItemAtTop(1, "Encoding: task 1 of 1, " + std::to_string(i));
  EXPECT_EQ(windows_.ItemCount(1), 10000);
  EXPECT_EQ(windows_.ItemText(1, 0), "Encoding: task 1 of 1, 9999");
  EXPECT_EQ(windows_.ItemText(1, 9999), "Encoding: task 1 of 1, 0");
}

TEST_F(QtWindowSystemTest, ListBoxNeverScrollsSideways) {
  Make(1, ControlKind::kListBox);
  auto* lines = qobject_cast<QListWidget*>(windows_.ControlWidget(1));
  // As some desktop styles set it; Qt's default scrolls sideways by whole columns, of which there is one.
  lines->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  windows_.AppendItem(1, "short");
  windows_.InsertItemAtTop(1, std::string(2000, 'x') + "END");
  ShowActive(kWindow);
  lines->setFocus();
  windows_.SelectItem(1, 0);
  lines->scrollToItem(lines->item(0));
  QTest::keyClick(lines, Qt::Key_End);
  QTest::keyClick(lines, Qt::Key_Right);
  QTest::keyClick(lines, Qt::Key_Up);
  // A sideways swipe on a touchpad.
  QWheelEvent swipe(QPointF(20, 5), lines->viewport()->mapToGlobal(QPointF(20, 5)), QPoint(), QPoint(-240, 0),
                    Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(lines->viewport(), &swipe);
  QApplication::processEvents();
  EXPECT_FALSE(lines->horizontalScrollBar()->isVisible());
  EXPECT_EQ(lines->horizontalScrollBar()->maximum(), 0);
  EXPECT_EQ(lines->horizontalScrollBar()->value(), 0);
}

TEST_F(QtWindowSystemTest, ScreenshotIsTheWindowsClientArea) {
  Make(1, ControlKind::kButton, "Start");
  const QImage image = windows_.Grab(kWindow);
  EXPECT_EQ(image.size(), QSize(400, 300) * windows_.WindowWidget(kWindow)->devicePixelRatioF());
  EXPECT_FALSE(windows_.SaveScreenshot(kWindow, "/nonexistent-folder/shot.png"));
}

}  // namespace
}  // namespace ripwarden::qt_platform
