// The behaviour every ProcessRunner shares, checked on real child processes
// and on the fake that the rip engine's tests drive.
#include <chrono>
#include <memory>
#include <optional>
#include <thread>

#include <gtest/gtest.h>

#include "fakes/fake_process_runner.h"
#include "helpers/fake_encoder_control.h"
#include "helpers/native_platform.h"
#include "rip/rip_engine.h"
#include "temp_folder.h"

namespace ripwarden::testing {
namespace {

using namespace std::chrono_literals;

class RunnerWorld {
 public:
  virtual ~RunnerWorld() = default;
  virtual ProcessRunner& runner() = 0;
  // A process that writes each chunk in one write, with short pauses between
  // them, then exits with exit_code, or runs on when there is none.
  virtual ChildProcess Start(const std::vector<std::string>& chunks, std::optional<int> exit_code) = 0;
  // A process that writes the chunks as Start's does and runs on, reading
  // nothing from its standard input, as the encoder's Windows build does.
  virtual ChildProcess StartReadingNoInput(const std::vector<std::string>& chunks) = 0;
  // A start of a program that is nowhere.
  virtual ChildProcess StartMissing() = 0;

  // Real output takes a moment to arrive.
  bool AwaitLine(ChildProcess process) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!runner().IsLineWaiting(process)) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(2ms);
    }
    return true;
  }
  bool AwaitExit(ChildProcess process) { return runner().WaitForExit(process, 10000); }
  // All lines, once the process has ended.
  std::vector<std::string> RemainingLines(ChildProcess process) {
    std::vector<std::string> lines;
    while (runner().IsProcessRunning(process) && lines.size() < 100) {
      lines.push_back(runner().ReadOutputLine(process));
    }
    return lines;
  }
};

class NativeWorld final : public RunnerWorld {
 public:
  NativeWorld() { LeaveConsoleAsTheProgramHasNone(); }
  ~NativeWorld() override {
    for (const ChildProcess process : started_) runner_.KillProcess(process);
  }
  ProcessRunner& runner() override { return runner_; }
  ChildProcess Start(const std::vector<std::string>& chunks, std::optional<int> exit_code) override {
    return Follow(Script(chunks) + (exit_code ? "exit " + std::to_string(*exit_code) + "\n" : "hang\n"));
  }
  ChildProcess StartReadingNoInput(const std::vector<std::string>& chunks) override {
    return Follow("ignore-input\n" + Script(chunks) + "hang\n");
  }
  ChildProcess StartMissing() override {
    return runner_.StartProcess(temp_.Path("missing/HandBrakeCLI") + kProgramSuffix, {}, "");
  }

 private:
  static std::string Script(const std::vector<std::string>& chunks) {
    std::string script;
    for (const std::string& chunk : chunks) script += "write " + ScriptText(chunk) + "\nsleep 20\n";
    return script;
  }
  ChildProcess Follow(const std::string& script) {
    FakeEncoderScript follow(temp_, script);
    started_.push_back(runner_.StartProcess(FakeEncoderPath(), {}, ""));
    return started_.back();
  }

  TempFolder temp_;
  NativeProcessRunner runner_;
  std::vector<ChildProcess> started_;
};

class FakeWorld final : public RunnerWorld {
 public:
  ProcessRunner& runner() override { return runner_; }
  ChildProcess Start(const std::vector<std::string>& chunks, std::optional<int> exit_code) override {
    const ChildProcess process = runner_.StartProcess("HandBrakeCLI", {}, "");
    for (const std::string& chunk : chunks) runner_.Output(process, chunk);
    if (exit_code) runner_.Exit(process, *exit_code);
    return process;
  }
  // The fake's processes have no input.
  ChildProcess StartReadingNoInput(const std::vector<std::string>& chunks) override {
    return Start(chunks, std::nullopt);
  }
  ChildProcess StartMissing() override {
    runner_.FailNextStart();
    return runner_.StartProcess("HandBrakeCLI", {}, "");
  }

 private:
  FakeProcessRunner runner_;
};

// One implementation under test; its name shows in the test's name.
struct Implementation {
  const char* name;
  std::unique_ptr<RunnerWorld> (*make)();
};
void PrintTo(const Implementation& implementation, std::ostream* out) { *out << implementation.name; }

class ProcessRunnerTest : public ::testing::TestWithParam<Implementation> {
 protected:
  std::unique_ptr<RunnerWorld> world_ = GetParam().make();
  ProcessRunner& runner_ = world_->runner();
};

using Lines = std::vector<std::string>;

TEST_P(ProcessRunnerTest, UpdatesThatBeginWithCarriageReturnComeOutOnePerLine) {
  const ChildProcess process =
      world_->Start({"\rEncoding: task 1 of 1, 10.00 %", "\rEncoding: task 1 of 1, 20.00 %",
                     "\rEncoding: task 1 of 1, 30.00 %", "\n"},
                    0);
  ASSERT_NE(process, kNoProcess);
  ASSERT_TRUE(world_->AwaitExit(process));
  EXPECT_EQ(world_->RemainingLines(process),
            (Lines{"", "Encoding: task 1 of 1, 10.00 %", "Encoding: task 1 of 1, 20.00 %",
                   "Encoding: task 1 of 1, 30.00 %"}));
  EXPECT_EQ(runner_.ExitCode(process), 0);
}

TEST_P(ProcessRunnerTest, UpdateIsHandedOutWhenTheNextOneBegins) {
  const ChildProcess process = world_->Start({"\rEncoding: 10.00 %", "\rEncoding: 20.00 %"}, std::nullopt);
  ASSERT_TRUE(world_->AwaitLine(process));
  EXPECT_EQ(runner_.ReadOutputLine(process), "");
  ASSERT_TRUE(world_->AwaitLine(process));
  EXPECT_EQ(runner_.ReadOutputLine(process), "Encoding: 10.00 %");
  // The last update has no line end yet: asking must not wait for one.
  for (int i = 0; i < 5; ++i) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(runner_.IsLineWaiting(process));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms);
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_GT(runner_.AvailableOutput(process), 0);
  EXPECT_TRUE(runner_.IsProcessRunning(process));
  EXPECT_EQ(runner_.ExitCode(process), std::nullopt);

  runner_.KillProcess(process);
  ASSERT_TRUE(world_->AwaitExit(process));
  EXPECT_EQ(runner_.EndingSignal(process), 9);
  EXPECT_EQ(runner_.ExitCode(process), std::nullopt);
  EXPECT_TRUE(runner_.IsLineWaiting(process));
  EXPECT_EQ(world_->RemainingLines(process), (Lines{"Encoding: 20.00 %"}));
}

TEST_P(ProcessRunnerTest, SeveralLinesInOneReadComeBackOnePerCall) {
  const ChildProcess process = world_->Start({"one\ntwo\r\nthree\rfour\n\rfive\n"}, std::nullopt);
  ASSERT_TRUE(world_->AwaitLine(process));
  // The process writes nothing more, so none of these may wait for the pipe.
  Lines lines;
  for (int i = 0; i < 6; ++i) lines.push_back(runner_.ReadOutputLine(process));
  EXPECT_EQ(lines, (Lines{"one", "two", "three", "four", "", "five"}));
  EXPECT_FALSE(runner_.IsLineWaiting(process));
  EXPECT_EQ(runner_.AvailableOutput(process), 0);
  EXPECT_TRUE(runner_.IsProcessRunning(process));
  runner_.KillProcess(process);
}

TEST_P(ProcessRunnerTest, RunningUntilTheLastOutputIsTaken) {
  const ChildProcess process = world_->Start({"last words\n", "tail without end"}, 0);
  ASSERT_TRUE(world_->AwaitExit(process));
  EXPECT_EQ(runner_.ExitCode(process), 0);
  EXPECT_TRUE(runner_.IsProcessRunning(process));
  EXPECT_EQ(runner_.AvailableOutput(process), 27);
  EXPECT_EQ(runner_.ReadOutputLine(process), "last words");
  EXPECT_TRUE(runner_.IsProcessRunning(process));
  EXPECT_TRUE(runner_.IsLineWaiting(process));
  EXPECT_EQ(runner_.ReadOutputLine(process), "tail without end");
  EXPECT_FALSE(runner_.IsProcessRunning(process));
  EXPECT_FALSE(runner_.IsLineWaiting(process));
  EXPECT_EQ(runner_.AvailableOutput(process), 0);
}

TEST_P(ProcessRunnerTest, NulEndsTheTextOfItsLine) {
  const ChildProcess process = world_->Start({std::string("abc\0def\nghi\n", 12)}, 0);
  ASSERT_TRUE(world_->AwaitExit(process));
  EXPECT_EQ(world_->RemainingLines(process), (Lines{"abc", "ghi"}));
}

TEST_P(ProcessRunnerTest, LongLinesAreCutWhereACharacterBeginsAndHandedOutAtOnce) {
  constexpr std::size_t kLongest = OutputLines::kLongestLine;
  const ChildProcess process = world_->Start(
      {std::string(kLongest + 500, 'a') + "\r\n", std::string(kLongest - 1, 'b') + "\xc3\xa9" + "bb\n",
       "short\n", std::string(kLongest + 1, 'c')},
      std::nullopt);
  Lines lines;
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(world_->AwaitLine(process)) << i;
    lines.push_back(runner_.ReadOutputLine(process));
  }
  EXPECT_EQ(lines, (Lines{std::string(kLongest, 'a'), std::string(kLongest - 1, 'b'), "short",
                          std::string(kLongest, 'c')}));
  EXPECT_FALSE(runner_.IsLineWaiting(process));
  runner_.KillProcess(process);
}

TEST_P(ProcessRunnerTest, CarriageReturnAndLineFeedInSeparateReadsEndOneLine) {
  const ChildProcess process = world_->Start({"first\r", "\nsecond\r", "\nthird\n"}, std::nullopt);
  ASSERT_TRUE(world_->AwaitLine(process));
  EXPECT_EQ(runner_.ReadOutputLine(process), "first");
  // Taken by the read that waits for the next line...
  EXPECT_EQ(runner_.ReadOutputLine(process), "second");
  // ...and by the non-blocking look for one.
  ASSERT_TRUE(world_->AwaitLine(process));
  EXPECT_EQ(runner_.ReadOutputLine(process), "third");
  EXPECT_FALSE(runner_.IsLineWaiting(process));
  runner_.KillProcess(process);
}

TEST_P(ProcessRunnerTest, ProcessWithoutOutput) {
  const ChildProcess process = world_->Start({}, 0);
  ASSERT_TRUE(world_->AwaitExit(process));
  EXPECT_EQ(runner_.AvailableOutput(process), 0);
  EXPECT_FALSE(runner_.IsLineWaiting(process));
  EXPECT_FALSE(runner_.IsProcessRunning(process));
  EXPECT_EQ(runner_.ReadOutputLine(process), "");
  EXPECT_EQ(runner_.ExitCode(process), 0);
}

TEST_P(ProcessRunnerTest, ExitCodeIsReported) {
  // 130 is what a shell reports for SIGINT: an exit code all the same.
  for (const int code : {3, 130}) {
    const ChildProcess process = world_->Start({"Encode failed\n"}, code);
    ASSERT_TRUE(world_->AwaitExit(process));
    EXPECT_EQ(runner_.ExitCode(process), code);
    EXPECT_EQ(runner_.EndingSignal(process), std::nullopt);
  }
}

TEST_P(ProcessRunnerTest, InterruptedEncoderStopsWithCodeOne) {
  const ChildProcess process = world_->Start({"\rEncoding: task 1 of 2, 5.00 %"}, std::nullopt);
  ASSERT_TRUE(world_->AwaitLine(process));
  EXPECT_EQ(runner_.ReadOutputLine(process), "");
  runner_.InterruptProcess(process);
  ASSERT_TRUE(world_->AwaitExit(process));
  EXPECT_EQ(runner_.ExitCode(process), 1);
  EXPECT_EQ(world_->RemainingLines(process), (Lines{"Encoding: task 1 of 2, 5.00 %"}));
}

// The encoder's Windows build never reads its standard input: the request
// must reach it otherwise (SIGINT; on Windows Ctrl+C on its console), at
// once, and end it by itself, not by the kill after the engine's grace.
TEST_P(ProcessRunnerTest, EncoderReadingNoInputStopsByItselfWithinTheGrace) {
  const ChildProcess process = world_->StartReadingNoInput({"\rEncoding: task 1 of 1, 5.00 %"});
  ASSERT_TRUE(world_->AwaitLine(process));
  const auto asked = std::chrono::steady_clock::now();
  runner_.InterruptProcess(process);
  EXPECT_LT(std::chrono::steady_clock::now() - asked, 1s) << "the request waited";
  ASSERT_TRUE(runner_.WaitForExit(process, RipEngine::kStopGraceMs)) << "it ran on after the grace";
  EXPECT_EQ(runner_.ExitCode(process), 1);
  EXPECT_EQ(runner_.EndingSignal(process), std::nullopt);
  // Asked again, as a loop that waits out the grace might: nothing changes.
  runner_.InterruptProcess(process);
  EXPECT_EQ(runner_.ExitCode(process), 1);
}

TEST_P(ProcessRunnerTest, FailedStartSaysWhyUntilAStartWorks) {
  EXPECT_EQ(runner_.StartFailure(), "");
  ASSERT_EQ(world_->StartMissing(), kNoProcess);
  EXPECT_NE(runner_.StartFailure(), "");
  ASSERT_NE(world_->Start({}, 0), kNoProcess);
  EXPECT_EQ(runner_.StartFailure(), "");
}

TEST_P(ProcessRunnerTest, ClosedReferenceIsForgottenForGood) {
  const ChildProcess first = world_->Start({"unread\n"}, std::nullopt);
  ASSERT_EQ(runner_.IsProcessKnown(first), first);
  runner_.KillProcess(first);
  runner_.CloseProcess(first);
  const ChildProcess second = world_->Start({}, 0);
  ASSERT_NE(second, kNoProcess);
  EXPECT_NE(second, first);
  for (const ChildProcess gone : {first, kNoProcess}) {
    EXPECT_EQ(runner_.IsProcessKnown(gone), kNoProcess);
    EXPECT_EQ(runner_.AvailableOutput(gone), 0);
    EXPECT_FALSE(runner_.IsLineWaiting(gone));
    EXPECT_EQ(runner_.ReadOutputLine(gone), "");
    EXPECT_FALSE(runner_.IsProcessRunning(gone));
    EXPECT_EQ(runner_.ExitCode(gone), std::nullopt);
    EXPECT_FALSE(runner_.WaitForExit(gone, 10));
    runner_.InterruptProcess(gone);
    runner_.KillProcess(gone);
    runner_.CloseProcess(gone);
  }
  EXPECT_EQ(runner_.IsProcessKnown(second), second);
}

INSTANTIATE_TEST_SUITE_P(Native, ProcessRunnerTest,
                         ::testing::Values(Implementation{kNativeName, []() -> std::unique_ptr<RunnerWorld> {
                                                            return std::make_unique<NativeWorld>();
                                                          }}));
INSTANTIATE_TEST_SUITE_P(Fake, ProcessRunnerTest,
                         ::testing::Values(Implementation{"fake", []() -> std::unique_ptr<RunnerWorld> {
                                                            return std::make_unique<FakeWorld>();
                                                          }}));

}  // namespace
}  // namespace ripwarden::testing
