// The program as a user starts it, on Qt's offscreen platform: one copy at a
// time, and what a new user gets on the first start.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "program/running_program.h"

namespace ripwarden::testing {
namespace {

namespace fs = std::filesystem;

constexpr auto kStartTimeout = 30s;
constexpr auto kStopTimeout = 20s;

// Running for good: past start-up, holding the single-instance lock.
// Start-up tries the lock once before it takes it for good, so it must be
// seen held twice, a moment apart.
::testing::AssertionResult WaitUntilRunning(RunningProgram& program, const ProgramSandbox& sandbox) {
  const auto held = [&] {
    if (!HoldsFileLock(program.pid(), sandbox.lock_file())) return false;
    std::this_thread::sleep_for(100ms);
    return HoldsFileLock(program.pid(), sandbox.lock_file());
  };
  if (WaitUntil(held, kStartTimeout)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the program never held its lock; it printed:\n"
                                       << program.Printed();
}

void StopWithSigterm(RunningProgram& program) {
  program.Signal(SIGTERM);
  EXPECT_EQ(program.WaitForExit(kStopTimeout), 0) << program.Printed();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  // The settings writer ends its lines with CR LF whatever the file had.
  for (std::string line; std::getline(in, line);) {
    if (line.ends_with('\r')) line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::string Shipped(const std::string& name) {
  return ReadFileBytes(std::string(SHIPPED_CONFIG) + "/" + name);
}

TEST(SingleInstance, ASecondCopySaysSoAndLeavesTheFirstRunning) {
  const ProgramSandbox sandbox;
  const auto environment = sandbox.Environment("offscreen");
  RunningProgram first(environment, sandbox.Log("first"));
  ASSERT_TRUE(WaitUntilRunning(first, sandbox));
  // Started for good: the last thing a first run does is to make the videos
  // folder and then write it into the settings, through a temporary file.
  const std::string destination_line = "Destination = " + sandbox.user_home() + "/Videos/";
  ASSERT_TRUE(WaitUntil(
      [&] { return ReadFileBytes(sandbox.settings_file()).find(destination_line) != std::string::npos; },
      kStartTimeout));
  const std::set<std::string> before = FolderTree(sandbox.sandbox());

  // Also one started by cron, su or a service manager, with no runtime folder.
  auto bare = environment;
  std::erase_if(bare, [](const std::string& variable) { return variable.starts_with("XDG_RUNTIME_DIR="); });
  for (const auto& second_environment : {environment, bare}) {
    RunningProgram second(second_environment, sandbox.Log("second"));
    EXPECT_EQ(second.WaitForExit(kStopTimeout), 0) << second.Printed();
    EXPECT_NE(second.ErrorOutput().find("Already Running"), std::string::npos) << second.Printed();
    // Without a runtime folder, Qt makes one of its own in the temporary folder.
    auto after = FolderTree(sandbox.sandbox());
    std::erase_if(after, [](const std::string& path) { return path.starts_with("tmp/runtime-"); });
    EXPECT_EQ(after, before) << "the second copy left something behind";
  }
  EXPECT_FALSE(first.HasEnded()) << first.Printed();
  EXPECT_TRUE(HoldsFileLock(first.pid(), sandbox.lock_file()));

  // A copy that died without letting go must not keep the user out.
  first.Signal(SIGKILL);
  ASSERT_EQ(first.WaitForExit(kStopTimeout), 128 + SIGKILL);
  RunningProgram third(environment, sandbox.Log("third"));
  ASSERT_TRUE(WaitUntilRunning(third, sandbox));
  std::this_thread::sleep_for(1s);
  EXPECT_FALSE(third.HasEnded()) << third.Printed();
  EXPECT_EQ(third.Printed().find("Already Running"), std::string::npos) << third.Printed();
  StopWithSigterm(third);
}

TEST(SingleInstance, StopSignalsEndItCleanlyAndFreeTheLock) {
  const ProgramSandbox sandbox;
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(::testing::Message() << "signal " << signal);
    RunningProgram program(sandbox.Environment("offscreen"), sandbox.Log("run"));
    ASSERT_TRUE(WaitUntilRunning(program, sandbox));
    program.Signal(signal);
    EXPECT_EQ(program.WaitForExit(kStopTimeout), 0) << program.Printed();
    EXPECT_FALSE(HoldsFileLock(program.pid(), sandbox.lock_file()));
  }
}

TEST(FirstRun, CopiesTheShippedSettingsAndRipsIntoTheVideosFolder) {
  const ProgramSandbox sandbox;
  const std::string videos = sandbox.user_home() + "/Videos/";
  RunningProgram program(sandbox.Environment("offscreen"), sandbox.Log("run"));
  ASSERT_TRUE(WaitUntilRunning(program, sandbox));
  const std::string destination_line = "Destination = " + videos;
  ASSERT_TRUE(WaitUntil(
      [&] { return ReadFileBytes(sandbox.settings_file()).find(destination_line) != std::string::npos; },
      kStartTimeout))
      << ReadFileBytes(sandbox.settings_file());
  EXPECT_TRUE(fs::is_directory(videos));

  EXPECT_EQ(ReadFileBytes(sandbox.presets_file()), Shipped("Presets.cfg"));
  // Everything else as shipped, in the shipped order.
  const auto shipped = Lines(Shipped("Settings.cfg"));
  const auto copied = Lines(ReadFileBytes(sandbox.settings_file()));
  ASSERT_EQ(copied.size(), shipped.size()) << ReadFileBytes(sandbox.settings_file());
  for (std::size_t i = 0; i < shipped.size(); ++i) {
    if (shipped[i].starts_with("Destination")) {
      EXPECT_EQ(copied[i].substr(0, destination_line.size()), destination_line);
    } else {
      EXPECT_EQ(copied[i], shipped[i]);
    }
  }
  StopWithSigterm(program);
}

TEST(FirstRun, TakesTheVideosFolderFromTheUserDirsFile) {
  const ProgramSandbox sandbox;
  std::ofstream(sandbox.user_home() + "/.config/user-dirs.dirs")
      << "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
         "XDG_VIDEOS_DIR=\"$HOME/My Films\"\n";
  const std::string films = sandbox.user_home() + "/My Films/";
  RunningProgram program(sandbox.Environment("offscreen"), sandbox.Log("run"));
  ASSERT_TRUE(WaitUntilRunning(program, sandbox));
  EXPECT_TRUE(WaitUntil(
      [&] {
        return ReadFileBytes(sandbox.settings_file()).find("Destination = " + films) != std::string::npos;
      },
      kStartTimeout))
      << ReadFileBytes(sandbox.settings_file());
  EXPECT_TRUE(fs::is_directory(films));
  EXPECT_FALSE(fs::exists(sandbox.user_home() + "/Videos"));
  StopWithSigterm(program);
}

TEST(FirstRun, LeavesAnExistingUsersSettingsAlone) {
  const ProgramSandbox sandbox;
  // An empty destination is the user's choice here, not a fresh copy to fill in.
  const std::string settings =
      "[Ripping]\r\nSourceDrive = /nowhere/disc.iso\r\nDestination = \r\nFileContainer = MKV\r\n"
      "[Other]\r\nStartMinimised = 1\r\nAutoRip = 0\r\n[HandBrake]\r\nLocation = HandBrakeCLI\r\n";
  const std::string presets = "Mine=x264/800/aac/96\r\n";
  sandbox.WriteConfig(settings, presets);
  RunningProgram program(sandbox.Environment("offscreen"), sandbox.Log("run"));
  ASSERT_TRUE(WaitUntilRunning(program, sandbox));
  // Past the first drive poll.
  std::this_thread::sleep_for(3s);
  StopWithSigterm(program);
  EXPECT_EQ(ReadFileBytes(sandbox.settings_file()), settings);
  EXPECT_EQ(ReadFileBytes(sandbox.presets_file()), presets);
  EXPECT_FALSE(fs::exists(sandbox.user_home() + "/Videos"));
}

}  // namespace
}  // namespace ripwarden::testing
