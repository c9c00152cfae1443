// Balloons from a program without a tray icon (Qt's offscreen platform has
// none, as stock GNOME has none), on a private bus with a stand-in
// notification server, or without one.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QProcess>
#include <QTest>
#include <iostream>
#include <optional>
#include <sstream>

#include "helpers/notification_server.h"
#include "platform/qt/qt_tray.h"

namespace ripwarden::qt_platform {
namespace {

using testing::NotifyCall;
using testing::StandInNotificationServer;

constexpr const char* kInserted = "A DVD has been inserted. To begin ripping click this message.";
constexpr const char* kFailed = "The DVD was either ejected mid-rip or could no longer be accessed.";

class TrayNotifications : public ::testing::Test {
 protected:
  void SetUp() override {
    daemon_.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
    ASSERT_TRUE(daemon_.waitForReadyRead(10000)) << "no dbus-daemon";
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    ASSERT_FALSE(address_.isEmpty());
  }

  void TearDown() override {
    tray_.reset();
    server_.reset();
    QDBusConnection::disconnectFromBus("tray");
    QDBusConnection::disconnectFromBus("server");
    daemon_.kill();
    daemon_.waitForFinished();
  }

  void StartServer(bool offers_actions) {
    server_.emplace(offers_actions);
    QDBusConnection bus = QDBusConnection::connectToBus(address_, "server");
    ASSERT_TRUE(bus.registerObject("/org/freedesktop/Notifications", &*server_,
                                   QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
    ASSERT_TRUE(bus.registerService("org.freedesktop.Notifications"));
  }

  void StartTray() { tray_.emplace(QIcon(), QDBusConnection::connectToBus(address_, "tray")); }

  ::testing::AssertionResult CallsBecome(std::size_t count) {
    for (int i = 0; i < 500 && server_->calls().size() < count; ++i) QTest::qWait(10);
    if (server_->calls().size() == count) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << server_->calls().size() << " Notify calls, not " << count;
  }

  // Clicks seen until `count` have come, or a second has passed.
  int Clicks(int count) {
    int clicks = 0;
    for (int i = 0; i < 100 && clicks < count; ++i) {
      QTest::qWait(10);
      while (auto event = tray_->TakeEvent()) clicks += event->kind == UiEvent::Kind::kBalloonClicked;
    }
    return clicks;
  }

  // The disc balloon, the server's `count`th call.
  NotifyCall Announce(std::size_t count = 1) {
    tray_->ShowBalloon("DVD Inserted", kInserted, "Ripwarden", BalloonIcon::kInformation);
    EXPECT_TRUE(CallsBecome(count));
    return server_->calls().empty() ? NotifyCall{} : server_->calls().back();
  }

  QProcess daemon_;
  QString address_;
  std::optional<StandInNotificationServer> server_;
  std::optional<QtTray> tray_;
};

TEST_F(TrayNotifications, EachBalloonKindReachesTheServerAndANewOneReplacesTheLast) {
  ASSERT_NO_FATAL_FAILURE(StartServer(true));
  StartTray();
  std::ostringstream printed;
  std::streambuf* const was = std::cerr.rdbuf(printed.rdbuf());
  const NotifyCall inserted = Announce();
  tray_->ShowBalloon(std::string(70, 'T'), kFailed, "Ripwarden", BalloonIcon::kError);
  const bool sent = CallsBecome(2);
  std::cerr.rdbuf(was);
  ASSERT_TRUE(sent);

  EXPECT_EQ(inserted.summary, "DVD Inserted");
  EXPECT_EQ(inserted.body, kInserted);
  EXPECT_EQ(inserted.app_icon, "dialog-information");
  EXPECT_EQ(inserted.urgency, 1) << "low urgency keeps GNOME from showing it";
  EXPECT_EQ(inserted.desktop_entry, "ripwarden");
  ASSERT_GE(inserted.actions.size(), 2u);
  EXPECT_EQ(inserted.actions[0], "default");
  EXPECT_EQ(inserted.replaces_id, 0u);

  const NotifyCall failed = server_->calls()[1];
  EXPECT_EQ(failed.summary, std::string(63, 'T'));
  EXPECT_EQ(failed.body, kFailed);
  EXPECT_EQ(failed.app_icon, "dialog-error");
  EXPECT_EQ(failed.urgency, 2);
  EXPECT_EQ(failed.replaces_id, inserted.id);
  EXPECT_EQ(printed.str(), "") << "a server took the balloons";
}

TEST_F(TrayNotifications, OnlyAClickOnOurOwnNotificationCounts) {
  ASSERT_NO_FATAL_FAILURE(StartServer(true));
  StartTray();
  const NotifyCall ours = Announce();
  ASSERT_NE(ours.id, 0u);
  // Another program's notification first; the bus keeps the order, so once
  // ours has come the other has been seen.
  server_->InvokeAction(ours.id + 7, "default");
  server_->InvokeAction(ours.id, "default");
  EXPECT_EQ(Clicks(2), 1);
  // Waving it away is no click where the server can report clicks; closed,
  // it is no longer ours, and the next one is a new notification.
  server_->Close(ours.id, 2);
  server_->InvokeAction(ours.id, "default");
  EXPECT_EQ(Clicks(1), 0);
  const NotifyCall next = Announce(2);
  EXPECT_EQ(next.replaces_id, 0u);
  server_->InvokeAction(next.id, "default");
  EXPECT_EQ(Clicks(1), 1);
}

TEST_F(TrayNotifications, AServerWithoutActionsReportsTheClickAsItsClose) {
  ASSERT_NO_FATAL_FAILURE(StartServer(false));
  StartTray();
  const NotifyCall ours = Announce();
  server_->Close(ours.id + 1, 2);
  server_->Close(ours.id, 1);  // expired
  const NotifyCall again = Announce(2);
  server_->Close(again.id, 2);
  EXPECT_EQ(Clicks(2), 1);
}

TEST_F(TrayNotifications, WithoutAServerOrATrayTheBalloonGoesToStandardError) {
  StartTray();
  std::ostringstream printed;
  std::streambuf* const was = std::cerr.rdbuf(printed.rdbuf());
  tray_->ShowBalloon("DVD Inserted", kInserted, "Ripwarden", BalloonIcon::kInformation);
  std::cerr.rdbuf(was);
  EXPECT_EQ(printed.str(), std::string("DVD Inserted: ") + kInserted + "\n");
  EXPECT_EQ(Clicks(1), 0);
}

}  // namespace
}  // namespace ripwarden::qt_platform
