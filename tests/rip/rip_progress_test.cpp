#include <limits>

#include "engine_fixture.h"
#include "rip/encoder_command.h"

namespace ripwarden::testing {
namespace {

class RipProgressTest : public EngineTest {
 protected:
  void SetUp() override {
    Insert();
    Poll();
    engine.StartRip();
    ASSERT_NE(Encoder(), kNoProcess);
    view.TakeCalls();
  }
  std::vector<std::string> StatusCalls() {
    std::vector<std::string> found;
    for (const auto& call : view.TakeCalls()) {
      if (call.rfind("status: ", 0) == 0 || call.rfind("bar: ", 0) == 0) found.push_back(call);
    }
    return found;
  }
};

TEST(ProgressBarValue, RoundsHundredthsUp) {
  EXPECT_EQ(ProgressBarValue(99.99f), 9999);
  EXPECT_EQ(ProgressBarValue(100.0f), 10000);
  EXPECT_EQ(ProgressBarValue(0.001f), 1);
  EXPECT_EQ(ProgressBarValue(33.33f), 3334);
  EXPECT_EQ(ProgressBarValue(0.0f), 0);
  EXPECT_EQ(ProgressBarValue(1e30f), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(ProgressBarValue(-std::numeric_limits<float>::infinity()),
            std::numeric_limits<std::int32_t>::min());
}

TEST(PercentText, TakesTheSecondCommaFieldUpToThePercentSign) {
  EXPECT_EQ(PercentText("A, 45.23 % B, C"), "45.23");
  EXPECT_EQ(PercentText("Encoding: task 1 of 2, 5.20 % (31.2 fps, avg 30.0 fps, ETA 00h00m09s)"), "5.20");
  EXPECT_EQ(PercentText("no commas at all"), "");
  EXPECT_EQ(PercentText("one, 12.5"), "12.5");
}

TEST_F(RipProgressTest, ShowsEachLineAndTheProgressAtMostOncePerSecond) {
  processes.Output(Encoder(), "\rEncoding: task 1 of 2, 10.00 %\rEncoding: task 1 of 2, 12.50 %\r");
  ReadAll();
  EXPECT_EQ(view.output[0], "Encoding: task 1 of 2, 12.50 %");
  EXPECT_EQ(view.output[1], "Encoding: task 1 of 2, 10.00 %");
  EXPECT_EQ(view.output[2], "") << "the first update's carriage return ends an empty line";
  EXPECT_EQ(StatusCalls(), (std::vector<std::string>{"bar: 1000", "status: 10.00%"}));
  EXPECT_FLOAT_EQ(JobOf(engine).percent, 12.5f);

  clock.Advance(999);
  processes.Output(Encoder(), "Encoding: task 1 of 2, 20.00 %\r");
  ReadAll();
  EXPECT_TRUE(StatusCalls().empty());
  clock.Advance(1);
  processes.Output(Encoder(), "Encoding: task 2 of 2, 33.33 % (30.1 fps, avg 29.8 fps, ETA 00h00m05s)\r");
  ReadAll();
  EXPECT_EQ(StatusCalls(), (std::vector<std::string>{"bar: 3334", "status: 33.33%"}));
}

// A station left running for weeks: the tick count moves on by more than
// half its range between two rips.
TEST_F(RipProgressTest, TheFirstUpdateIsShownHoweverLongTheStationRan) {
  clock.Advance(0x80000000u + 5000);
  processes.Output(Encoder(), "Encoding: task 1 of 2, 1.00 %\r");
  ReadAll();
  EXPECT_EQ(StatusCalls(), (std::vector<std::string>{"bar: 100", "status: 1.00%"}));
  clock.Advance(1000);
  processes.Output(Encoder(), "Encoding: task 1 of 2, 2.00 %\r");
  ReadAll();
  EXPECT_EQ(StatusCalls(), (std::vector<std::string>{"bar: 200", "status: 2.00%"}));
}

TEST_F(RipProgressTest, LogLinesBetweenUpdatesLeaveTheDisplayAlone) {
  clock.Advance(5000);
  processes.Output(Encoder(),
                   "\rEncoding: task 1 of 2, 40.00 %libdvdnav: DVD Title: MY MOVIE\nlibdvdread: x\r");
  ReadAll();
  EXPECT_EQ(view.output[0], "libdvdread: x");
  EXPECT_EQ(view.output[1], "Encoding: task 1 of 2, 40.00 %libdvdnav: DVD Title: MY MOVIE");
  EXPECT_EQ(view.status, "40.00%") << "an update with a log line glued to it still counts";
  clock.Advance(5000);
  processes.Output(Encoder(), "Encrypted DVD support unavailable.\r");
  ReadAll();
  EXPECT_EQ(view.status, "40.00%");
  EXPECT_EQ(view.progress_bar, 4000);
  EXPECT_EQ(JobOf(engine).percent, 0.0f);
}

TEST_F(RipProgressTest, AGarbledPercentageKeepsTheBarWithinItsRange) {
  const std::vector<std::pair<std::string, std::int32_t>> updates = {
      {"Encoding: task 1 of 2, 150.00 %", 10000}, {"Encoding: task 1 of 2, -3.5 %", 0}, {"x, 1e99 %", 10000}};
  for (const auto& [update, bar] : updates) {
    clock.Advance(1000);
    processes.Output(Encoder(), update + "\r");
    ReadAll();
    EXPECT_EQ(view.progress_bar, bar) << update;
  }
}

TEST_F(RipProgressTest, NeverWaitsForTheRestOfAHalfWrittenLine) {
  processes.Output(Encoder(), "Encoding: task 1 of 2, 50.0");
  for (int i = 0; i < 5; ++i) engine.ReadEncoderOutput();  // the fake fails the test if a read would wait
  EXPECT_TRUE(view.output.size() == 1);                    // the command line only
  processes.Output(Encoder(), "0 %\r");
  engine.ReadEncoderOutput();
  EXPECT_EQ(view.output.front(), "Encoding: task 1 of 2, 50.00 %");
}

TEST_F(RipProgressTest, CompletesWhenTheEncoderEndsWellWhateverItsLastPercentage) {
  Set("Other", "EjectOnFinish", "1");
  processes.Output(Encoder(), "\rEncoding: task 2 of 2, 99.60 %\n");
  WriteOutputFile();
  const std::string part = JobOf(engine).encoding_file, whole = JobOf(engine).output_file;
  processes.Exit(Encoder(), 0);
  ReadAll();
  Poll();
  EXPECT_EQ(view.status, "COMPLETE!");
  EXPECT_EQ(files.renames, std::vector<std::string>{part + " -> " + whole + " (flushed)"})
      << "named finished before its data reached the disk";
  EXPECT_EQ(view.progress_bar, 10000);
  EXPECT_FALSE(view.cancel_enabled);
  EXPECT_EQ(view.balloons.back(), "Rip Complete!");
  EXPECT_EQ(drives.ejected, std::vector<std::string>{"sr0"});
  EXPECT_FALSE(engine.IsRipping());
  EXPECT_EQ(JobOf(engine).output_file, "");
  EXPECT_EQ(processes.IsProcessKnown(processes.last_started()), kNoProcess) << "the record was not released";
}

TEST_F(RipProgressTest, WaitsForTheLastOutputBeforeDeciding) {
  processes.Output(Encoder(), "Encoding: task 2 of 2, 99.95 %\n");
  WriteOutputFile();
  processes.Exit(Encoder(), 0);
  Poll();
  EXPECT_TRUE(engine.IsRipping()) << "completed with output unread";
  ReadAll();
  Poll();
  EXPECT_EQ(view.status, "COMPLETE!");
}

TEST_F(RipProgressTest, AnEncoderThatEndsBadlyFailsTheRip) {
  processes.Exit(Encoder(), 3);
  Poll();
  EXPECT_EQ(view.status, "FAILED: HandBrake stopped before finishing the rip (exit code 3).");
  EXPECT_EQ(view.progress_bar, 0);
  EXPECT_EQ(view.balloons.back(), "DVD Rip Failed");
  EXPECT_FALSE(engine.IsRipping());
}

TEST_F(RipProgressTest, ExitZeroWithoutAFileIsAFailure) {
  processes.Output(Encoder(), "Encoding: task 1 of 1, 100.00 %\n");
  ReadAll();
  processes.Exit(Encoder(), 0);
  Poll();
  EXPECT_EQ(view.status, "FAILED: HandBrake stopped before finishing the rip (exit code 0).");
}

// The system's own reason reaches the status, the balloon and the history.
TEST_F(RipProgressTest, AFinishedFileThatCannotBeNamedSaysWhyAndStays) {
  WriteOutputFile();
  const std::string part = JobOf(engine).encoding_file;
  files.refuse_rename.insert(part);
  processes.Exit(Encoder(), 0);
  Poll();
  EXPECT_EQ(view.status, "FAILED: The finished rip could not be given its name: Permission denied.");
  EXPECT_EQ(view.calls.back(),
            "balloon: DVD Rip Failed | The finished rip could not be given its name: Permission denied. | "
            "Ripwarden | error");
  EXPECT_TRUE(files.Exists(part));
  ASSERT_EQ(History().size(), 1u);
  EXPECT_EQ(History()[0].output, part);
  EXPECT_EQ(History()[0].reason, "The finished rip could not be given its name: Permission denied.");
}

TEST_F(RipProgressTest, MuxingEjectsAtOnceButCompletionWaitsForTheEncoder) {
  Set("Other", "EjectOnFinish", "1");
  processes.Output(Encoder(), "\rMuxing: this may take awhile...");
  processes.Output(Encoder(), "\r");
  ReadAll();
  EXPECT_EQ(JobOf(engine).phase, RipPhase::kMuxing);
  EXPECT_EQ(drives.ejected, std::vector<std::string>{"sr0"});
  Poll();  // the drive is empty now: no failure, the file is still being finished
  EXPECT_TRUE(engine.IsRipping());
  EXPECT_EQ(view.disc_label, "[Empty]");
  WriteOutputFile();
  processes.Exit(Encoder(), 0);
  Poll();
  EXPECT_EQ(view.status, "COMPLETE!");
  EXPECT_EQ(drives.ejected.size(), 1u) << "ejected twice";
}

TEST_F(RipProgressTest, ALostDiscStopsTheEncoderAndKeepsThePartialFile) {
  WriteOutputFile();
  const std::string partial = IncompleteName(JobOf(engine).output_file);
  drives.RemoveDisc("sr0");
  Poll();
  EXPECT_EQ(view.status, "FAILED: DVD was either ejected or could no longer be accessed.");
  EXPECT_EQ(view.calls.back(),
            "balloon: DVD Rip Failed | The DVD was either ejected mid-rip or could no longer be accessed. | "
            "Ripwarden | error");
  EXPECT_EQ(processes.process(processes.last_started()).interrupts, 1);
  EXPECT_TRUE(processes.process(processes.last_started()).closed);
  EXPECT_TRUE(files.Exists(partial));
}

TEST_F(RipProgressTest, CancelStopsTheEncoderThenRemovesItsFileAndEjects) {
  WriteOutputFile();
  const std::string partial = JobOf(engine).encoding_file;
  engine.CancelRip();
  EXPECT_EQ(view.status, "USER CANCELLED");
  EXPECT_EQ(view.progress_bar, 0);
  EXPECT_FALSE(view.cancel_enabled);
  EXPECT_EQ(processes.process(processes.last_started()).interrupts, 1);
  EXPECT_FALSE(processes.process(processes.last_started()).killed);
  EXPECT_FALSE(files.Exists(partial));
  EXPECT_EQ(drives.ejected, std::vector<std::string>{"sr0"});
  EXPECT_TRUE(view.balloons.back() != "DVD Rip Failed");
}

TEST_F(RipProgressTest, CancelWithoutAskingKillsAnEncoderThatIgnoresTheInterrupt) {
  processes.process(Encoder()).exits_on_interrupt = false;
  WriteOutputFile();
  engine.CancelRip();
  EXPECT_FALSE(view.cancel_enabled);
  // It is given its grace, turn by turn, while the windows go on.
  clock.Advance(RipEngine::kStopGraceMs - 1);
  engine.PollDrive();
  EXPECT_FALSE(processes.process(Encoder()).killed);
  EXPECT_TRUE(engine.IsStopping());
  EXPECT_NE(view.status, "USER CANCELLED");
  EXPECT_LE(engine.MillisecondsToNextPoll(), RipEngine::kPendingLookMs);
  EXPECT_TRUE(files.Exists(JobOf(engine).encoding_file)) << "removed while the encoder may still write it";
  clock.Advance(1);
  engine.PollDrive();
  EXPECT_TRUE(processes.process(Encoder()).killed);
  ReadAll();
  engine.PollDrive();
  EXPECT_EQ(view.status, "USER CANCELLED");
  EXPECT_FALSE(engine.IsStopping());
  EXPECT_EQ(drives.ejected, std::vector<std::string>{"sr0"});
}

TEST_F(RipProgressTest, NothingIsReadOnceTheRipHasEnded) {
  engine.CancelRip();
  const auto lines = view.output.size();
  processes.Output(processes.last_started(), "late line\n");
  engine.ReadEncoderOutput();
  EXPECT_EQ(view.output.size(), lines);
}

}  // namespace
}  // namespace ripwarden::testing
