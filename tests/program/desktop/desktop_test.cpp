// The program on a real X display with an XEmbed tray host (see
// tests/program/with-desktop.sh), used as a user would: clicks on the tray
// icon, the menu walked with the keyboard, a balloon clicked, and with a
// stand-in notification server a rip from the balloon to its end. What it
// shows is read back with xwininfo; the menu's texts cannot be read from
// outside, so each entry is known by the window it opens.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <regex>
#include <sstream>
#include <thread>

#include "helpers/disc_images.h"
#include "helpers/fake_encoder_control.h"
#include "helpers/media_probe.h"
#include "helpers/notify_record.h"
#include "helpers/sample_dvd.h"
#include "program/running_program.h"

namespace ripwarden::testing {
namespace {

constexpr auto kWindowTimeout = 20s;

// Hidden in the tray at start, announcing a disc rather than ripping it.
std::string Settings(const std::string& source, const std::string& destination, const std::string& encoder) {
  return "[Ripping]\nSourceDrive = " + source + "\nDestination = " + destination +
         "\nFileContainer = MP4\nEncoding = Test Standard\nTwoPass = 0\n"
         "AudioBooster = 0\n[Other]\nStartUp = 0\nStartMinimised = 1\nAutoRip = 0\nEjectOnFinish = 0\n"
         "ClearHandBrakeOutput = 0\n[HandBrake]\nLocation = " +
         encoder + "\n[Application]\nVersion = 0.1.0\n";
}

struct XWindow {
  std::string id;
  std::string name;
  int width = 0;
  int height = 0;
  bool override_redirect = false;
};

std::string RunTool(const std::vector<std::string>& command) {
  const ToolOutput result = RunCapturing(command);
  EXPECT_EQ(result.exit_code, 0) << command[0] << ":\n" << result.output;
  return result.output;
}

// The program's mapped top-level windows (its windows, menus and balloons).
std::vector<XWindow> ShownWindows() {
  static const std::regex kChild(
      R"re(^\s*(0x[0-9a-f]+) (?:"(.*)"|\(has no name\)): \("ripwarden" .*\)\s+(\d+)x(\d+)[+-])re");
  std::vector<XWindow> shown;
  std::istringstream lines(RunCapturing({"xwininfo", "-root", "-children"}).output);
  for (std::string line; std::getline(lines, line);) {
    std::smatch match;
    if (!std::regex_search(line, match, kChild)) continue;
    const std::string details = RunCapturing({"xwininfo", "-all", "-id", match[1]}).output;
    if (details.find("Map State: IsViewable") == std::string::npos) continue;
    shown.push_back({match[1], match[2], std::stoi(match[3]), std::stoi(match[4]),
                     details.find("Override Redirect State: yes") != std::string::npos});
  }
  return shown;
}

std::string Describe(const std::vector<XWindow>& windows) {
  std::ostringstream out;
  for (const XWindow& w : windows) {
    out << "  " << w.id << " \"" << w.name << "\" " << w.width << "x" << w.height
        << (w.override_redirect ? " (override-redirect)" : "") << "\n";
  }
  return out.str();
}

// Menus and balloons: windows that bypass the window manager.
std::vector<XWindow> Popups() {
  std::vector<XWindow> popups = ShownWindows();
  std::erase_if(popups, [](const XWindow& w) { return !w.override_redirect; });
  return popups;
}

bool IsShown(const std::string& title) {
  for (const XWindow& w : ShownWindows()) {
    if (w.name == title && !w.override_redirect) return true;
  }
  return false;
}

::testing::AssertionResult ComesUp(const std::string& title) {
  if (WaitUntil([&] { return IsShown(title); }, kWindowTimeout, 100ms)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "\"" << title << "\" never showed; shown:\n"
                                       << Describe(ShownWindows());
}

::testing::AssertionResult PopupsBecome(std::size_t count) {
  if (WaitUntil([&] { return Popups().size() == count; }, kWindowTimeout, 100ms)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "expected " << count << " menus or balloons; shown:\n"
                                       << Describe(ShownWindows());
}

// The program's icon window, embedded by trayer into its panel.
std::string TrayIcon() {
  std::istringstream trays(RunCapturing({"xdotool", "search", "--class", "trayer"}).output);
  for (std::string tray; std::getline(trays, tray);) {
    std::istringstream tree(RunCapturing({"xwininfo", "-tree", "-id", tray}).output);
    for (std::string line; std::getline(tree, line);) {
      std::smatch match;
      if (std::regex_search(line, match, std::regex(R"re(^\s*(0x[0-9a-f]+) .*\("ripwarden" )re")))
        return match[1];
    }
  }
  return {};
}

void Keys(const std::vector<std::string>& keys) {
  std::vector<std::string> command = {"xdotool", "key", "--delay", "60"};
  command.insert(command.end(), keys.begin(), keys.end());
  RunTool(command);
}

class TrayDesktop : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run this through tests/program/with-desktop.sh";
  }

  // Starts the program hidden in the tray, with its icon embedded.
  void Start(const std::string& source, const std::string& destination = "/nonexistent/",
             const std::string& encoder = "HandBrakeCLI") {
    sandbox_.WriteConfig(Settings(source, destination, encoder), "Test Standard=x264/1500/aac/160\n");
    program_.emplace(sandbox_.Environment("xcb"), sandbox_.Log("run"));
    ASSERT_TRUE(WaitUntil(
        [&] {
          icon_ = TrayIcon();
          return !icon_.empty() || program_->HasEnded();
        },
        30s, 100ms));
    ASSERT_FALSE(icon_.empty()) << "no tray icon; the program printed:\n" << program_->Printed();
  }

  void ClickIcon(const std::string& button, int times = 1) {
    RunTool({"xdotool", "mousemove", "--window", icon_, "8", "8", "click", "--repeat", std::to_string(times),
             "--delay", "100", button});
  }

  // Right-clicks the icon and waits for the menu, then takes the pointer
  // off it so that only the keyboard chooses.
  ::testing::AssertionResult OpenMenu() {
    if (auto closed = PopupsBecome(0); !closed) return closed;
    ClickIcon("3");
    auto opened = PopupsBecome(1);
    RunTool({"xdotool", "mousemove", "20", "700"});
    return opened;
  }

  ProgramSandbox sandbox_;
  std::optional<RunningProgram> program_;
  std::string icon_;
};

TEST_F(TrayDesktop, StartsHiddenAndTheMenuOpensOnRightClick) {
  ASSERT_NO_FATAL_FAILURE(Start(sandbox_.sandbox() + "/no disc.iso"));
  std::this_thread::sleep_for(1s);
  EXPECT_EQ(ShownWindows().size(), 0u) << Describe(ShownWindows());

  ASSERT_TRUE(OpenMenu());
  Keys({"Escape"});
  EXPECT_TRUE(PopupsBecome(0));
  EXPECT_FALSE(program_->HasEnded()) << program_->Printed();
}

TEST_F(TrayDesktop, EachMenuEntryOpensItsWindow) {
  ASSERT_NO_FATAL_FAILURE(Start(sandbox_.sandbox() + "/no disc.iso"));
  // Rip Progress..., Rip Queue..., Settings..., About..., a separator, HandBrake Output...
  ASSERT_TRUE(OpenMenu());
  Keys({"Down", "Return"});
  EXPECT_TRUE(ComesUp("Progress - Ripwarden"));
  ASSERT_TRUE(OpenMenu());
  Keys({"Down", "Down", "Return"});
  EXPECT_TRUE(ComesUp("Rip Queue - Ripwarden"));
  ASSERT_TRUE(OpenMenu());
  Keys({"Down", "Down", "Down", "Return"});
  EXPECT_TRUE(ComesUp("Settings - Ripwarden"));
  ASSERT_TRUE(OpenMenu());
  Keys({"Down", "Down", "Down", "Down", "Return"});
  EXPECT_TRUE(ComesUp("About - Ripwarden"));
  Keys({"Escape"});
  EXPECT_TRUE(WaitUntil([] { return !IsShown("About - Ripwarden"); }, kWindowTimeout));
  ASSERT_TRUE(OpenMenu());
  Keys({"Down", "Down", "Down", "Down", "Down", "Return"});
  EXPECT_TRUE(ComesUp("HandBrake Output - Ripwarden"));

  // Force Drive To opens its own menu beside the first.
  ASSERT_TRUE(OpenMenu());
  Keys({"Down", "Down", "Down", "Down", "Down", "Down", "Right"});
  EXPECT_TRUE(PopupsBecome(2));
  Keys({"Escape", "Escape"});
  EXPECT_TRUE(PopupsBecome(0));

  // Exit, last: answered No the program stays, answered Yes it ends.
  ASSERT_TRUE(OpenMenu());
  Keys({"Up", "Return"});
  ASSERT_TRUE(ComesUp("Quit - Ripwarden"));
  Keys({"Escape"});
  EXPECT_TRUE(WaitUntil([] { return !IsShown("Quit - Ripwarden"); }, kWindowTimeout));
  std::this_thread::sleep_for(500ms);
  ASSERT_FALSE(program_->HasEnded()) << program_->Printed();
  ASSERT_TRUE(OpenMenu());
  Keys({"Up", "Return"});
  ASSERT_TRUE(ComesUp("Quit - Ripwarden"));
  Keys({"Return"});
  EXPECT_EQ(program_->WaitForExit(20s), 0) << program_->Printed();
  EXPECT_FALSE(HoldsFileLock(program_->pid(), sandbox_.lock_file()));
}

TEST_F(TrayDesktop, DoubleClickOnTheIconShowsTheProgressWindow) {
  ASSERT_NO_FATAL_FAILURE(Start(sandbox_.sandbox() + "/no disc.iso"));
  ClickIcon("1", 2);
  EXPECT_TRUE(ComesUp("Progress - Ripwarden"));
}

TEST_F(TrayDesktop, ClickingTheDiscInsertedBalloonShowsTheProgressWindow) {
  ASSERT_NO_FATAL_FAILURE(Start(SampleDvdImage(12, "MY MOVIE")));
  // Announced at the first drive poll, since AutoRip is off.
  ASSERT_TRUE(PopupsBecome(1));
  const XWindow balloon = Popups().front();
  EXPECT_FALSE(IsShown("Progress - Ripwarden"));
  RunTool({"xdotool", "mousemove", "--window", balloon.id, std::to_string(balloon.width / 2),
           std::to_string(balloon.height / 2), "click", "1"});
  EXPECT_TRUE(ComesUp("Progress - Ripwarden"));
  EXPECT_TRUE(PopupsBecome(0)) << "the balloon stayed";
}

// A user's click (or another program's) as the server reports it.
void ClickNotification(unsigned id) {
  RunTool({"dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.Notifications",
           "/org/freedesktop/Notifications", "org.freedesktop.Notifications.InvokeAction",
           "uint32:" + std::to_string(id), "string:default"});
}

TEST_F(TrayDesktop, WithANotificationServerAManualRipIsAnnouncedThere) {
  const TempFolder work;
  const std::string log = work.Path("notifications.log");
  RunningProgram server(sandbox_.Environment("xcb"), sandbox_.Log("server"), {FAKE_NOTIFICATION_SERVER, log});
  ASSERT_TRUE(WaitUntil([&] { return ReadFileBytes(log).starts_with("ready") || server.HasEnded(); }, 20s));
  ASSERT_FALSE(server.HasEnded()) << server.Printed();
  const auto calls = [&] { return ReadNotifyLog(log); };
  const auto await_calls = [&](std::size_t count) {
    return WaitUntil([&] { return calls().size() >= count; }, kWindowTimeout);
  };

  // Quick, as the soak's encoder: progress, muxing, a file.
  const FakeEncoderScript script(
      work,
      "write Encoding: task 1 of 1, 50.00 %\\r\nwrite \\rMuxing: this may take awhile...\\n\n"
      "output-copy " +
          AssetsFolder() + "/media/ten-seconds.mp4\nexit 0\n");
  const std::string destination = sandbox_.user_home() + "/Rips/";
  std::filesystem::create_directories(destination);
  const std::string disc = MakeIsoImage(work.path(), "MY MOVIE");
  ASSERT_FALSE(disc.empty());
  ASSERT_NO_FATAL_FAILURE(Start(disc, destination, FakeEncoderPath()));

  ASSERT_TRUE(await_calls(1)) << program_->Printed();
  const NotifyCall inserted = calls()[0];
  EXPECT_EQ(inserted.app_name, "Ripwarden");
  EXPECT_EQ(inserted.summary, "DVD Inserted");
  EXPECT_EQ(inserted.body, "A DVD has been inserted. To begin ripping click this message.");
  EXPECT_EQ(inserted.urgency, 1);
  EXPECT_EQ(inserted.app_icon, "dialog-information");
  EXPECT_EQ(inserted.desktop_entry, "ripwarden");
  ASSERT_FALSE(inserted.actions.empty());
  EXPECT_EQ(inserted.actions[0], "default");
  EXPECT_EQ(Popups().size(), 0u) << "Qt's balloon too:\n" << Describe(ShownWindows());

  ClickNotification(inserted.id + 100);
  std::this_thread::sleep_for(1500ms);
  EXPECT_FALSE(IsShown("Progress - Ripwarden")) << "another program's notification opened it";
  ClickNotification(inserted.id);
  ASSERT_TRUE(ComesUp("Progress - Ripwarden"));

  // Start, at the left under the disc's label.
  for (const XWindow& w : ShownWindows()) {
    if (w.name == "Progress - Ripwarden")
      RunTool({"xdotool", "mousemove", "--window", w.id, "45", "95", "click", "1"});
  }
  ASSERT_TRUE(await_calls(3)) << program_->Printed();
  const auto rip = calls();
  EXPECT_EQ(rip[1].summary, "DVD Rip Started");
  EXPECT_EQ(rip[1].body, "A DVD has been inserted and is now being ripped.");
  EXPECT_EQ(rip[2].summary, "Rip Complete!");
  EXPECT_EQ(rip[2].body, "The DVD has been ripped to your computer.");
  for (std::size_t i = 1; i < rip.size(); ++i) {
    EXPECT_EQ(rip[i].replaces_id, rip[i - 1].id)
        << rip[i].summary << " did not replace " << rip[i - 1].summary;
    EXPECT_EQ(rip[i].urgency, 1);
  }
  for (const NotifyCall& call : rip) std::cout << "[ notify ] " << FormatNotifyCall(call) << "\n";
}

}  // namespace
}  // namespace ripwarden::testing
