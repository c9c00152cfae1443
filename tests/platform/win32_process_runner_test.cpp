// What only the Win32 runner shows: its job object, the event a loop sleeps
// on, and what CreateProcessW refuses.
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "helpers/fake_encoder_control.h"
#include "helpers/process_census.h"
#include "platform/win32/win32_process_runner.h"
#include "temp_folder.h"

namespace ripwarden::testing {
namespace {

using win32_platform::Win32ProcessRunner;

bool Runs(std::uint32_t pid) {
  const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (process == nullptr) return false;
  const bool running = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  ::CloseHandle(process);
  return running;
}

TEST(Win32ProcessRunnerTest, NoEncoderOutlivesTheRunnersJob) {
  TempFolder temp;
  std::vector<std::uint32_t> pids;
  {
    Win32ProcessRunner runner;
    // One record each: two writers of one file would trip over each other.
    std::vector<ChildProcess> started;
    for (const char* name : {"kept", "released"}) {
      FakeEncoderScript script(temp, "ignore-interrupt\nrecord " + temp.Path(name) + "\nhang\n");
      started.push_back(runner.StartProcess(FakeEncoderPath(), {}, ""));
      ASSERT_NE(started.back(), kNoProcess);
      ASSERT_TRUE(AwaitEncoderRecord(temp.Path(name), 10000));
      pids.push_back(runner.ProcessId(started.back()));
    }
    const ChildProcess kept = started[0];
    const ChildProcess released = started[1];
    // Asked to stop, it does not; released, the runner still holds it.
    runner.InterruptProcess(kept);
    runner.CloseProcess(released);
    EXPECT_FALSE(runner.WaitForExit(kept, 300));
    EXPECT_EQ(runner.ReleasedCount(), 1u);
    EXPECT_TRUE(Runs(pids[0]));
    EXPECT_TRUE(Runs(pids[1]));
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while ((Runs(pids[0]) || Runs(pids[1])) && std::chrono::steady_clock::now() < deadline) ::Sleep(10);
  EXPECT_FALSE(Runs(pids[0]));
  EXPECT_FALSE(Runs(pids[1]));
  EXPECT_TRUE(ChildProcesses().empty());
}

// Ctrl+C on each encoder's console, as the window program sends it: the
// encoders started after the first request take it as well, and this process
// is left as it was, no console and its standard handles its own.
TEST(Win32ProcessRunnerTest, StopRequestsLeaveThisProcessAsItWas) {
  LeaveConsoleAsTheProgramHasNone();
  TempFolder temp;
  Win32ProcessRunner runner;
  constexpr DWORD kStandard[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  HANDLE before[3];
  for (int i = 0; i < 3; ++i) before[i] = ::GetStdHandle(kStandard[i]);
  for (int run = 0; run < 3; ++run) {
    FakeEncoderScript script(temp, "ignore-input\nwrite ready\\n\nhang\n");
    const ChildProcess process = runner.StartProcess(FakeEncoderPath(), {}, "");
    ASSERT_EQ(runner.ReadOutputLine(process), "ready");
    runner.InterruptProcess(process);
    ASSERT_TRUE(runner.WaitForExit(process, 5000)) << "run " << run;
    EXPECT_EQ(runner.ExitCode(process), 1);
    EXPECT_EQ(runner.EndingSignal(process), std::nullopt);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(::GetStdHandle(kStandard[i]), before[i]) << i;
    DWORD attached[4];
    EXPECT_EQ(::GetConsoleProcessList(attached, 4), 0u) << "still on the encoder's console";
    runner.CloseProcess(process);
  }
}

TEST(Win32ProcessRunnerTest, OutputEventWakesAWatcherUntilTheOutputHasEnded) {
  TempFolder temp;
  Win32ProcessRunner runner;
  FakeEncoderScript script(temp, "sleep 100\nwrite first\\n\nexit 0\n");
  const ChildProcess process = runner.StartProcess(FakeEncoderPath(), {}, "");
  HANDLE event = runner.OutputEvent(process);
  ASSERT_NE(event, nullptr);
  ASSERT_EQ(::WaitForSingleObject(event, 10000), WAIT_OBJECT_0);
  ASSERT_TRUE(runner.WaitForExit(process, 10000));
  EXPECT_EQ(runner.ReadOutputLine(process), "first");
  while (runner.IsProcessRunning(process)) runner.ReadOutputLine(process);
  EXPECT_EQ(runner.OutputEvent(process), nullptr);
  EXPECT_EQ(runner.OutputEvent(kNoProcess), nullptr);
}

TEST(Win32ProcessRunnerTest, NothingStartsWithoutARunnableProgramOrItsFolder) {
  TempFolder temp;
  Win32ProcessRunner runner;
  const int handles = OpenDescriptorCount();
  const std::string not_a_program = temp.Write("HandBrakeCLI.exe", "not a program");
  EXPECT_EQ(runner.StartProcess(temp.Path("missing/HandBrakeCLI.exe"), {}, ""), kNoProcess);
  EXPECT_EQ(runner.StartProcess(not_a_program, {}, ""), kNoProcess);
  EXPECT_EQ(runner.StartProcess(temp.path(), {}, ""), kNoProcess);
  EXPECT_EQ(runner.StartProcess("", {}, ""), kNoProcess);
  EXPECT_EQ(runner.StartProcess("no-such-program-ripwarden", {}, ""), kNoProcess);
  EXPECT_EQ(runner.StartProcess(FakeEncoderPath(), {}, temp.Path("missing folder")), kNoProcess);
  // The system's text, on one line.
  const std::string why = runner.StartFailure();
  ASSERT_FALSE(why.empty());
  EXPECT_EQ(why.find_first_of("\r\n"), std::string::npos) << why;
  EXPECT_EQ(OpenDescriptorCount(), handles);
  EXPECT_TRUE(ChildProcesses().empty());
}

TEST(Win32ProcessRunnerTest, BareProgramNameIsLookedUpInThePathWithItsExtension) {
  TempFolder temp;
  const std::filesystem::path encoder(FakeEncoderPath());
  const char* saved = std::getenv("PATH");
  const std::string old_path = saved != nullptr ? saved : "";
  ::_putenv_s("PATH", ("C:\\nonexistent;" + encoder.parent_path().string()).c_str());
  Win32ProcessRunner runner;
  FakeEncoderScript script(temp, "exit 7\n");
  const ChildProcess found = runner.StartProcess(encoder.stem().string(), {}, "");
  ::_putenv_s("PATH", old_path.c_str());
  ASSERT_NE(found, kNoProcess);
  ASSERT_TRUE(runner.WaitForExit(found, 10000));
  EXPECT_EQ(runner.ExitCode(found), 7);
}

}  // namespace
}  // namespace ripwarden::testing
