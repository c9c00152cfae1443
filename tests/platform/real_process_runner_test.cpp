// What the real runners share on real child processes of the stand-in
// encoder: how they are started, what reaches them, large output, their
// standard error, and that none of them is leaked.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <thread>

#include <gtest/gtest.h>

#include "helpers/fake_encoder_control.h"
#include "helpers/native_platform.h"
#include "helpers/process_census.h"
#include "rip/encoder_log.h"
#include "temp_folder.h"

namespace ripwarden::testing {
namespace {

using namespace std::chrono_literals;

std::string SlashesForward(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

// Drives the collection of released processes, as the main loop would.
bool AwaitNothingReleased(NativeProcessRunner& runner) {
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (runner.ReleasedCount() > 0) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    runner.IsProcessKnown(kNoProcess);
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

class RealProcessRunnerTest : public ::testing::Test {
 protected:
  // A process left running would hold the test's output open after a failure.
  ~RealProcessRunnerTest() override {
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
                   const std::string& working_folder = "", const ProcessOptions& options = {}) {
    FakeEncoderScript follow(temp_, script);
    started_.push_back(
        runner_.StartProcessWithOptions(FakeEncoderPath(), arguments, working_folder, options));
    return started_.back();
  }

  // Reads all output, so that the process can end and the runner report it.
  void RunToTheEnd(ChildProcess process) {
    ASSERT_TRUE(runner_.WaitForExit(process, 10000));
    while (runner_.IsProcessRunning(process)) runner_.ReadOutputLine(process);
  }

  TempFolder temp_;
  NativeProcessRunner runner_;
  std::vector<ChildProcess> started_;
};

TEST_F(RealProcessRunnerTest, ArgumentsArriveAsTheyStand) {
  const std::string record = temp_.Path("record");
  const std::vector<std::string> arguments{
      "-i", "/media/My DVD (1)/VIDEO_TS", "-o", "/tmp/Rips/MY_MOVIE_(2009-03-14_15-09-26).MP4", "\"quoted\"",
      "'single'", "$HOME", "a;b", "`id`", "*", "", "back\\slash", "two\nlines", "tab\there",
      // What quoting on Windows must get right.
      "C:\\Rips\\", "trailing \\\\", "a\\\"b", "\\\\server\\share", "%PATH%", "^&|<>",
      "MY MOVIE \xc3\xa9\xe6\xbc\xa2\xf0\x9f\x8e\xac"};
  const ChildProcess process = Run("record " + record + "\n", arguments);
  ASSERT_NE(process, kNoProcess);
  ASSERT_TRUE(runner_.WaitForExit(process, 10000));
  const auto seen = ReadEncoderRecord(record);
  ASSERT_TRUE(seen);
  ASSERT_EQ(seen->argv.size(), arguments.size() + 1);
  EXPECT_EQ(std::vector<std::string>(seen->argv.begin() + 1, seen->argv.end()), arguments);
}

TEST_F(RealProcessRunnerTest, ProgramPathWithSpacesAndParentheses) {
  const std::string folder = temp_.Path("Hand Brake (1.6)");
  std::filesystem::create_directories(folder);
  const std::string program = folder + "/Handbrake CLI;$x" + kProgramSuffix;
  std::filesystem::copy_file(FakeEncoderPath(), Utf8Path(program));
  const std::string record = temp_.Path("record");
  FakeEncoderScript follow(temp_, "record " + record + "\n");
  const ChildProcess process = runner_.StartProcess(program, {"-i", "x"}, "");
  ASSERT_NE(process, kNoProcess);
  ASSERT_TRUE(runner_.WaitForExit(process, 10000));
  const auto seen = ReadEncoderRecord(record);
  ASSERT_TRUE(seen);
  ASSERT_FALSE(seen->argv.empty());
  EXPECT_EQ(SlashesForward(seen->argv[0]), program);
  EXPECT_EQ(std::vector<std::string>(seen->argv.begin() + 1, seen->argv.end()),
            (std::vector<std::string>{"-i", "x"}));
}

TEST_F(RealProcessRunnerTest, WorkingFolderIsHonoured) {
  const std::string folder = temp_.Path("work folder");
  std::filesystem::create_directories(folder);
  const std::string record = temp_.Path("record");
  ChildProcess process = Run("record " + record + "\n", {}, folder);
  ASSERT_TRUE(runner_.WaitForExit(process, 10000));
  auto seen = ReadEncoderRecord(record);
  ASSERT_TRUE(seen);
  EXPECT_TRUE(std::filesystem::equivalent(Utf8Path(seen->working_folder), Utf8Path(folder)))
      << seen->working_folder;

  // None given: the child starts where this process is.
  std::filesystem::remove(record);
  process = Run("record " + record + "\n");
  ASSERT_TRUE(runner_.WaitForExit(process, 10000));
  seen = ReadEncoderRecord(record);
  ASSERT_TRUE(seen);
  EXPECT_TRUE(std::filesystem::equivalent(Utf8Path(seen->working_folder), std::filesystem::current_path()))
      << seen->working_folder;
}

TEST_F(RealProcessRunnerTest, TenMegabyteLineWithoutLineEnd) {
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

TEST_F(RealProcessRunnerTest, WaitingKeepsTheOutputOfAProcessThatFillsThePipe) {
  // Far more than a pipe holds: the process only ends when its output is read.
  const ChildProcess process = Run("flood 1048576\nwrite \\nend\\n\nexit 0\n");
  ASSERT_TRUE(runner_.WaitForExit(process, 10000));
  EXPECT_EQ(runner_.ReadOutputLine(process).size(), OutputLines::kLongestLine);
  EXPECT_EQ(runner_.ReadOutputLine(process), "end");
  EXPECT_FALSE(runner_.IsProcessRunning(process));
}

TEST_F(RealProcessRunnerTest, AFloodOfLinesWaitsInTheProcessWhileLinesAreTaken) {
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

TEST_F(RealProcessRunnerTest, RecordedEncoderRunReplays) {
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

TEST_F(RealProcessRunnerTest, ClosedProcessRunsOnAndIsCollectedWhenItEnds) {
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

TEST(RealProcessRunnerCycles, ThreeHundredStartsLeaveNoDescriptorAndNoZombie) {
  TempFolder temp;
  const int descriptors = OpenDescriptorCount();
  ASSERT_TRUE(ChildProcesses().empty());
  {
    NativeProcessRunner runner;
    FakeEncoderScript follow(temp, "write \\rEncoding: 1.00 %\nhang\n");
    int refused = 0;
    for (int i = 0; i < 300; ++i) {
      const ChildProcess process = runner.StartProcess(FakeEncoderPath(), {"-i", "/dev/sr0"}, "");
      // It is leaks that are counted here; a refused start is tried again after a moment.
      if (process == kNoProcess && refused < kRefusedStartsTolerated) {
        std::cerr << "start " << i << " refused: " << runner.StartFailure() << '\n';
        ++refused;
        --i;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        continue;
      }
      ASSERT_NE(process, kNoProcess) << "start " << i << ": " << runner.StartFailure();
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

TEST_F(RealProcessRunnerTest, StandardErrorGoesToTheLogWholeOnceTheEndIsReported) {
  const std::string log = temp_.Path("encoder.log");
  const ChildProcess process =
      Run("write progress\\n\nerror scan: duration is 00:01:30\\r\\n\nerror Encode done!\\n\nexit 0\n", {},
          "", {.temp_folder = "", .error_log = log});
  RunToTheEnd(process);
  EXPECT_EQ(ReadFileBytes(log), "scan: duration is 00:01:30\r\nEncode done!\n");
  EXPECT_EQ(runner_.ExitCode(process), 0);
}

// A damaged disc makes the encoder chatty, and its verdict comes last.
TEST_F(RealProcessRunnerTest, ErrorLogKeepsItsStartAndItsEndAndSaysHowMuchWasLeftOut) {
  const std::string log = temp_.Path("encoder.log");
  const std::size_t last_flood = kMostErrorLogBytes / 2 - 1000;
  const std::string verdict = "sync: got 307 frames, 2250 expected\nEncode done!\n";
  const ChildProcess process =
      Run("log first line\nflood-error " + std::to_string(kMostErrorLogBytes) + "\nerror \\n\nflood-error " +
              std::to_string(last_flood) + "\nerror \\n\nlog sync: got 307 frames, 2250 expected\n" +
              "log Encode done!\nexit 3\n",
          {}, "", {.temp_folder = "", .error_log = log});
  RunToTheEnd(process);
  const std::string kept = ReadFileBytes(log);
  EXPECT_TRUE(kept.starts_with("first line\neeee")) << kept.substr(0, 20);
  const auto note = kept.find("\n[");
  ASSERT_EQ(note, kMostErrorLogBytes / 2);
  const auto note_end = kept.find("]\n", note) + 2;
  const std::size_t written = 11 + kMostErrorLogBytes + 1 + last_flood + 1 + verdict.size();
  const std::size_t left_out = written - (kept.size() - (note_end - note));
  EXPECT_EQ(kept.substr(note, note_end - note),
            "\n[" + std::to_string(left_out) + " more bytes were not kept]\n");
  // The end starts at a whole line, and the encoder's verdict is there to read.
  EXPECT_EQ(kept.substr(note_end), std::string(last_flood, 'e') + "\n" + verdict);
  EXPECT_EQ(ReadEncoderLog(kept).frames_got, 307);
}

TEST_F(RealProcessRunnerTest, TemporaryFilesGoWhereTheOptionsSay) {
  const std::string folder = temp_.Path("encoder temp");
  std::filesystem::create_directories(Utf8Path(folder));
#ifdef _WIN32
  const std::vector<std::string> variables{"TEMP", "TMP"};
#else
  const std::vector<std::string> variables{"TMPDIR"};
#endif
  const auto script = [&](const std::string& suffix) {
    std::string text;
    for (const std::string& name : variables)
      text += "environment " + name + " " + temp_.Path(name + suffix) + "\n";
    return text + "exit 0\n";
  };
  RunToTheEnd(Run(script(".given"), {}, "", {.temp_folder = folder, .error_log = ""}));
  for (const std::string& name : variables)
    EXPECT_EQ(SlashesForward(temp_.Read(name + ".given")), folder) << name;
  // Without the option the child has this process's own.
  RunToTheEnd(Run(script(".own")));
  for (const std::string& name : variables)
    EXPECT_NE(SlashesForward(temp_.Read(name + ".own")), folder) << name;
}

}  // namespace
}  // namespace ripwarden::testing
