// What only the Linux runner shows: descriptors, signals, modes and the
// search path.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
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
  EXPECT_EQ(runner_.StartFailure(), "No such file or directory");
  EXPECT_EQ(runner_.StartProcess(not_executable, {}, ""), kNoProcess);
  EXPECT_EQ(runner_.StartFailure(), "Permission denied");
  EXPECT_EQ(runner_.StartProcess(temp_.path(), {}, ""), kNoProcess);
  EXPECT_EQ(runner_.StartProcess("", {}, ""), kNoProcess);
  EXPECT_EQ(runner_.StartProcess("no-such-program-ripwarden", {}, ""), kNoProcess);
  EXPECT_EQ(runner_.StartFailure(), "No such file or directory");
  EXPECT_EQ(runner_.StartProcess(FakeEncoderPath(), {}, temp_.Path("missing folder")), kNoProcess);
  EXPECT_EQ(runner_.StartFailure(), "No such file or directory");
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

}  // namespace
}  // namespace ripwarden::testing
