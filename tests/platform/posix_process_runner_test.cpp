// What only real child processes show: how they are started, what they
// inherit, large output, and that none of them is leaked.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "helpers/fake_encoder_control.h"
#include "helpers/process_census.h"
#include "platform/linux/posix_process_runner.h"
#include "temp_folder.h"

namespace ripwarden::testing {
namespace {

using namespace std::chrono_literals;
using linux_platform::PosixProcessRunner;

std::string RealPath(const std::string& path) { return std::filesystem::canonical(path).string(); }

// Drives the collection of released processes, as the main loop would.
bool AwaitNothingReleased(PosixProcessRunner& runner) {
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (runner.ReleasedCount() > 0) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    runner.IsProcessKnown(kNoProcess);
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

class PosixProcessRunnerTest : public ::testing::Test {
 protected:
  // A process left running would hold the test's output open after a failure.
  ~PosixProcessRunnerTest() override {
    for (const ChildProcess process : started_) runner_.KillProcess(process);
  }

  bool AwaitLine(ChildProcess process) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!runner_.IsLineWaiting(process)) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(2ms);
    }
    return true;
  }

  ChildProcess Run(const std::string& script, const std::vector<std::string>& arguments = {},
                   const std::string& working_folder = "") {
    FakeEncoderScript follow(temp_, script);
    started_.push_back(runner_.StartProcess(FakeEncoderPath(), arguments, working_folder));
    return started_.back();
  }

  TempFolder temp_;
  PosixProcessRunner runner_;
  std::vector<ChildProcess> started_;
};

TEST_F(PosixProcessRunnerTest, ArgumentsArriveAsTheyStand) {
  const std::string record = temp_.Path("record");
  const std::vector<std::string> arguments{"-i",         "/media/My DVD (1)/VIDEO_TS",
                                           "-o",         "/tmp/Rips/MY_MOVIE_(2009-03-14_15-09-26).MP4",
                                           "\"quoted\"", "'single'",
                                           "$HOME",      "a;b",
                                           "`id`",       "*",
                                           "",           "back\\slash",
                                           "two\nlines", "tab\there"};
  const ChildProcess process = Run("record " + record + "\n", arguments);
  ASSERT_NE(process, kNoProcess);
  ASSERT_TRUE(runner_.WaitForExit(process, 10000));
  const auto seen = ReadEncoderRecord(record);
  ASSERT_TRUE(seen);
  ASSERT_EQ(seen->argv.size(), arguments.size() + 1);
  EXPECT_EQ(std::vector<std::string>(seen->argv.begin() + 1, seen->argv.end()), arguments);
}

TEST_F(PosixProcessRunnerTest, ProgramPathWithSpacesAndParentheses) {
  const std::string folder = temp_.Path("Hand Brake (1.6)");
  std::filesystem::create_directories(folder);
  const std::string program = folder + "/Handbrake CLI;$x";
  std::filesystem::copy_file(FakeEncoderPath(), program);
  const std::string record = temp_.Path("record");
  FakeEncoderScript follow(temp_, "record " + record + "\n");
  const ChildProcess process = runner_.StartProcess(program, {"-i", "x"}, "");
  ASSERT_NE(process, kNoProcess);
  ASSERT_TRUE(runner_.WaitForExit(process, 10000));
  const auto seen = ReadEncoderRecord(record);
  ASSERT_TRUE(seen);
  EXPECT_EQ(seen->argv, (std::vector<std::string>{program, "-i", "x"}));
}

TEST_F(PosixProcessRunnerTest, WorkingFolderIsHonoured) {
  const std::string folder = temp_.Path("work folder");
  std::filesystem::create_directories(folder);
  const std::string record = temp_.Path("record");
  ChildProcess process = Run("record " + record + "\n", {}, folder);
  ASSERT_TRUE(runner_.WaitForExit(process, 10000));
  auto seen = ReadEncoderRecord(record);
  ASSERT_TRUE(seen);
  EXPECT_EQ(seen->working_folder, RealPath(folder));

  // None given: the child starts where this process is.
  std::filesystem::remove(record);
  process = Run("record " + record + "\n");
  ASSERT_TRUE(runner_.WaitForExit(process, 10000));
  seen = ReadEncoderRecord(record);
  ASSERT_TRUE(seen);
  EXPECT_EQ(seen->working_folder, RealPath(std::filesystem::current_path().string()));
}

TEST_F(PosixProcessRunnerTest, OutputDescriptorWakesAWatcherUntilTheOutputHasEnded) {
  // What the main loop sleeps on during a rip: readable when a line comes,
  // and no longer offered once the output has ended.
  const ChildProcess process = Run("write first\\n\nsleep 200\nwrite second\\n\n");
  const int fd = runner_.OutputDescriptor(process);
  ASSERT_GE(fd, 0);
  pollfd wanted{fd, POLLIN, 0};
  ASSERT_EQ(::poll(&wanted, 1, 10000), 1);
  ASSERT_TRUE(AwaitLine(process));
  EXPECT_EQ(runner_.ReadOutputLine(process), "first");
  ASSERT_TRUE(AwaitLine(process));
  EXPECT_EQ(runner_.ReadOutputLine(process), "second");
  ASSERT_TRUE(runner_.WaitForExit(process, 10000));
  // The end arrives; once taken, there is nothing to watch.
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (runner_.IsProcessRunning(process) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(2ms);
  }
  EXPECT_EQ(runner_.OutputDescriptor(process), -1);
  EXPECT_EQ(runner_.OutputDescriptor(kNoProcess), -1);
  runner_.CloseProcess(process);
  EXPECT_EQ(runner_.OutputDescriptor(process), -1);
}

TEST_F(PosixProcessRunnerTest, NothingStartsWithoutProgramOrFolder) {
  const int descriptors = OpenDescriptorCount();
  const std::string not_executable = temp_.Write("HandBrakeCLI", "#!/bin/sh\nexit 0\n");
  ::chmod(not_executable.c_str(), 0644);
  FakeEncoderScript follow(temp_, "exit 0\n");
  EXPECT_EQ(runner_.StartProcess(temp_.Path("missing/HandBrakeCLI"), {}, ""), kNoProcess);
  EXPECT_EQ(runner_.StartProcess(not_executable, {}, ""), kNoProcess);
  EXPECT_EQ(runner_.StartProcess(temp_.path(), {}, ""), kNoProcess);
  EXPECT_EQ(runner_.StartProcess("", {}, ""), kNoProcess);
  EXPECT_EQ(runner_.StartProcess("no-such-program-ripwarden", {}, ""), kNoProcess);
  EXPECT_EQ(runner_.StartProcess(FakeEncoderPath(), {}, temp_.Path("missing folder")), kNoProcess);
  EXPECT_EQ(OpenDescriptorCount(), descriptors);
  EXPECT_TRUE(ChildProcesses().empty());
}

TEST_F(PosixProcessRunnerTest, ProgramNameIsLookedUpInPath) {
  const char* saved = std::getenv("PATH");
  const std::string old_path = saved != nullptr ? saved : "";
  const std::string folder = std::filesystem::path(FakeEncoderPath()).parent_path().string();
  const std::string name = std::filesystem::path(FakeEncoderPath()).filename().string();
  ::setenv("PATH", ("/nonexistent::" + folder).c_str(), 1);
  FakeEncoderScript follow(temp_, "exit 7\n");
  const ChildProcess found = runner_.StartProcess(name, {}, "");
  ::setenv("PATH", old_path.c_str(), 1);
  ASSERT_NE(found, kNoProcess);
  ASSERT_TRUE(runner_.WaitForExit(found, 10000));
  EXPECT_EQ(runner_.ExitCode(found), 7);
}

TEST_F(PosixProcessRunnerTest, ChildGetsOnlyItsStandardStreams) {
  const std::string record = temp_.Path("record");
  // A descriptor that a library opened without close-on-exec.
  const int leaky = ::open(temp_.Write("leaky", "x").c_str(), O_RDONLY);
  const ChildProcess process = Run("record " + record + "\nhang\n");
  ::close(leaky);
  const auto seen = AwaitEncoderRecord(record, 10000);
  ASSERT_TRUE(seen);
  std::vector<std::string> descriptors;
  for (const auto& entry :
       std::filesystem::directory_iterator("/proc/" + std::to_string(seen->pid) + "/fd")) {
    descriptors.push_back(entry.path().filename().string());
  }
  std::sort(descriptors.begin(), descriptors.end());
  EXPECT_EQ(descriptors, (std::vector<std::string>{"0", "1", "2"}));
  EXPECT_EQ(std::filesystem::read_symlink("/proc/" + std::to_string(seen->pid) + "/fd/0"), "/dev/null");
  EXPECT_TRUE(std::filesystem::read_symlink("/proc/" + std::to_string(seen->pid) + "/fd/1")
                  .string()
                  .starts_with("pipe:"));
  runner_.KillProcess(process);
}

// The encoder's log goes to its file on a thread of the runner's: a child
// that floods it never waits, and the file is whole, and bounded, once the
// runner says the child has ended.
TEST_F(PosixProcessRunnerTest, StandardErrorFillsABoundedLogAndTheTempFolderIsTheChilds) {
  const std::string record = temp_.Path("record");
  const std::string log = temp_.Path("encoder.log");
  constexpr long kFlood = 9 << 20;
  FakeEncoderScript follow(temp_, "log first line\nflood-log " + std::to_string(kFlood) + "\nrecord " +
                                      record + "\nwrite done\\n\nhang\n");
  const ChildProcess process =
      runner_.StartProcessWithOptions(FakeEncoderPath(), {}, "", {temp_.Path("scratch"), log});
  started_.push_back(process);
  const auto seen = AwaitEncoderRecord(record, 10000);
  ASSERT_TRUE(seen) << "the child waited on its standard error";
  const std::string environment = ReadFileBytes("/proc/" + std::to_string(seen->pid) + "/environ");
  EXPECT_NE(environment.find(std::string("\0TMPDIR=", 8) + temp_.Path("scratch") + '\0'), std::string::npos);
  EXPECT_EQ(environment.find("TMPDIR=", environment.find("TMPDIR=" + temp_.Path("scratch")) + 1),
            std::string::npos)
      << "two TMPDIRs";
  ASSERT_TRUE(AwaitLine(process));
  EXPECT_EQ(runner_.ReadOutputLine(process), "done");
  runner_.KillProcess(process);
  ASSERT_TRUE(runner_.WaitForExit(process, 5000));
  EXPECT_FALSE(runner_.IsProcessRunning(process));
  const std::string kept = ReadFileBytes(log);
  const std::string note = "\n[" + std::to_string(std::strlen("first line\n") + kFlood - kMostErrorLogBytes) +
                           " more bytes were not kept]\n";
  EXPECT_TRUE(kept.starts_with("first line\neee"));
  EXPECT_EQ(kept.size(), kMostErrorLogBytes + note.size());
  EXPECT_TRUE(kept.ends_with(note)) << kept.substr(kept.size() - 80);
}

TEST_F(PosixProcessRunnerTest, InterruptArrivesEvenWhenThisProcessBlocksIt) {
  sigset_t interrupt;
  sigset_t before;
  ::sigemptyset(&interrupt);
  ::sigaddset(&interrupt, SIGINT);
  ::sigprocmask(SIG_BLOCK, &interrupt, &before);
  const ChildProcess process = Run("write started\\n\nhang\n");
  ::sigprocmask(SIG_SETMASK, &before, nullptr);
  ASSERT_TRUE(AwaitLine(process));
  runner_.InterruptProcess(process);
  ASSERT_TRUE(runner_.WaitForExit(process, 10000));
  EXPECT_EQ(runner_.ExitCode(process), 1);
}

TEST_F(PosixProcessRunnerTest, TenMegabyteLineWithoutLineEnd) {
  constexpr std::size_t kSize = 10 * 1024 * 1024;
  const ChildProcess process = Run("flood " + std::to_string(kSize) + "\nexit 0\n");
  const auto start = std::chrono::steady_clock::now();
  const std::string line = runner_.ReadOutputLine(process);
  const auto took = std::chrono::steady_clock::now() - start;
  // Cut at its longest; the rest is never held.
  EXPECT_EQ(line, std::string(OutputLines::kLongestLine, 'x'));
  EXPECT_LT(took, 20s);
  ASSERT_TRUE(runner_.WaitForExit(process, 10000));
  EXPECT_FALSE(runner_.IsProcessRunning(process));
}

TEST_F(PosixProcessRunnerTest, WaitingKeepsTheOutputOfAProcessThatFillsThePipe) {
  // Far more than a pipe holds: the process only ends when its output is read.
  const ChildProcess process = Run("flood 1048576\nwrite \\nend\\n\nexit 0\n");
  ASSERT_TRUE(runner_.WaitForExit(process, 10000));
  EXPECT_EQ(runner_.ReadOutputLine(process).size(), OutputLines::kLongestLine);
  EXPECT_EQ(runner_.ReadOutputLine(process), "end");
  EXPECT_FALSE(runner_.IsProcessRunning(process));
}

TEST_F(PosixProcessRunnerTest, AFloodOfLinesWaitsInTheProcessWhileLinesAreTaken) {
  const ChildProcess process = Run("flood 1073741824 31\n");
  ASSERT_TRUE(AwaitLine(process));
  std::int32_t most = 0;
  for (int i = 0; i < 5000; ++i) {
    if (runner_.IsLineWaiting(process)) {
      ASSERT_EQ(runner_.ReadOutputLine(process), std::string(31, 'x'));
    }
    most = std::max(most, runner_.AvailableOutput(process));
  }
  // What is held, and what the pipe holds besides.
  EXPECT_LE(most, static_cast<std::int32_t>(OutputLines::kMostHeld + (1 << 20)));
  runner_.KillProcess(process);
  EXPECT_TRUE(runner_.WaitForExit(process, 10000)) << "a full pipe kept the process from ending";
}

TEST_F(PosixProcessRunnerTest, RecordedEncoderRunReplays) {
  const ChildProcess process = Run(ReplayScript(AssetsFolder() + "/handbrake-1.6.1/two-pass-10s-ok", 20));
  std::vector<std::string> lines;
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (runner_.IsProcessRunning(process) && std::chrono::steady_clock::now() < deadline) {
    if (runner_.IsLineWaiting(process)) {
      lines.push_back(runner_.ReadOutputLine(process));
    } else {
      std::this_thread::sleep_for(1ms);
    }
  }
  EXPECT_EQ(runner_.ExitCode(process), 0);
  const auto count = [&](const std::string& prefix) {
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string& l) { return l.starts_with(prefix); });
  };
  EXPECT_EQ(count("Encoding: task 1 of 2, "), 14);
  EXPECT_EQ(count("Encoding: task 2 of 2, "), 13);
  EXPECT_EQ(count("libdvdnav: DVD Title: MY MOVIE"), 3);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "Encoding: task 2 of 2, 99.60 %");
}

TEST_F(PosixProcessRunnerTest, ClosedProcessRunsOnAndIsCollectedWhenItEnds) {
  const std::string marker = temp_.Path("finished");
  const ChildProcess process =
      Run("write first\\n\nsleep 300\nwrite written after close\\n\ntouch " + marker + "\nexit 0\n");
  ASSERT_TRUE(AwaitLine(process));
  EXPECT_EQ(runner_.ReadOutputLine(process), "first");
  runner_.CloseProcess(process);
  EXPECT_EQ(runner_.ReleasedCount(), 1u);
  // Writing after the close must neither fail nor kill it.
  ASSERT_TRUE(AwaitNothingReleased(runner_));
  EXPECT_TRUE(FileExists(marker));
  EXPECT_TRUE(ZombieChildren().empty());
}

TEST(PosixProcessRunnerCycles, ThreeHundredStartsLeaveNoDescriptorAndNoZombie) {
  TempFolder temp;
  const int descriptors = OpenDescriptorCount();
  ASSERT_TRUE(ChildProcesses().empty());
  {
    PosixProcessRunner runner;
    FakeEncoderScript follow(temp, "write \\rEncoding: 1.00 %\nhang\n");
    for (int i = 0; i < 300; ++i) {
      const ChildProcess process = runner.StartProcess(FakeEncoderPath(), {"-i", "/dev/sr0"}, "");
      ASSERT_NE(process, kNoProcess) << "start " << i;
      runner.KillProcess(process);
      runner.CloseProcess(process);
    }
    EXPECT_TRUE(AwaitNothingReleased(runner));
    EXPECT_TRUE(ChildProcesses().empty());
    EXPECT_EQ(OpenDescriptorCount(), descriptors);

    // Killed but neither waited for nor closed: the runner's end collects them.
    for (int i = 0; i < 5; ++i) runner.KillProcess(runner.StartProcess(FakeEncoderPath(), {}, ""));
  }
  EXPECT_TRUE(ChildProcesses().empty());
  EXPECT_EQ(OpenDescriptorCount(), descriptors);
}

}  // namespace
}  // namespace ripwarden::testing
