#include <limits>

#include "engine_fixture.h"

namespace ripwarden::testing {
namespace {

using DriveMonitorTest = EngineTest;

TEST_F(DriveMonitorTest, PollsEveryIntervalCountedFromTheEndOfThePreviousPoll) {
  engine.PollDrive();
  EXPECT_EQ(drives.volume_queries, 0);  // the first poll comes one interval after start-up
  clock.Advance(2499);
  engine.PollDrive();
  EXPECT_EQ(drives.volume_queries, 0);
  clock.Advance(1);
  engine.PollDrive();
  EXPECT_EQ(drives.volume_queries, 1);
  EXPECT_EQ(engine.MillisecondsToNextPoll(), 2500u) << "counted from before the poll";
}

TEST_F(DriveMonitorTest, KeepsPollingAcrossTheTickCountWrap) {
  clock.Set(std::numeric_limits<std::uint32_t>::max() - 1000);
  RipEngine wrapped(EngineServicesFor(view), "Ripwarden");
  int polls = 0;
  for (int i = 0; i < 4; ++i) {
    clock.Advance(2500);  // the second advance crosses 2^32
    wrapped.PollDrive();
    polls = drives.volume_queries;
  }
  EXPECT_EQ(polls, 4);
  EXPECT_LT(clock.TickCount(), 10000u);
}

TEST_F(DriveMonitorTest, ShowsTheDriveStateAtEveryPoll) {
  Poll();
  EXPECT_EQ(view.disc_label, "[Empty]");
  EXPECT_FALSE(view.disc_present);
  drives.InsertDisc("sr0", {"udf", "  LABEL WITH SPACES  "});
  Poll();
  EXPECT_EQ(view.disc_label, "LABEL WITH SPACES");
  EXPECT_TRUE(view.disc_present);
  drives.InsertDisc("sr0", {"udf", ""});
  Poll();
  EXPECT_EQ(view.disc_label, "");  // an unlabelled disc still counts
  EXPECT_TRUE(view.disc_present);
  Set("Ripping", "SourceDrive", "");
  Poll();
  EXPECT_EQ(view.disc_label, "[Empty]");
  EXPECT_FALSE(view.disc_present);
}

TEST_F(DriveMonitorTest, AnnouncesADiscOncePerInsertion) {
  Insert();
  Poll();
  EXPECT_EQ(view.balloons, std::vector<std::string>{"DVD Inserted"});
  EXPECT_TRUE(view.start_enabled);
  EXPECT_EQ(view.calls.back(),
            "balloon: DVD Inserted | A DVD has been inserted. To begin ripping click this message. "
            "| Ripwarden | info");
  Poll();
  Insert("ANOTHER DISC");  // swapped between polls: shown, not announced again
  Poll();
  EXPECT_EQ(view.disc_label, "ANOTHER DISC");
  EXPECT_EQ(view.balloons.size(), 1u);
  drives.RemoveDisc("sr0");
  Poll();
  Insert();
  Poll();
  EXPECT_EQ(view.balloons.size(), 2u);
  EXPECT_TRUE(processes.started().empty());
}

class AutoRipValueTest : public EngineTest,
                         public ::testing::WithParamInterface<std::pair<const char*, bool>> {};

TEST_P(AutoRipValueTest, StartsARipOnlyForTheIntegerOne) {
  Set("Other", "AutoRip", GetParam().first);
  Insert();
  Poll();
  EXPECT_EQ(processes.started().size(), GetParam().second ? 1u : 0u);
  EXPECT_EQ(view.balloons.front(), GetParam().second ? "DVD Rip Started" : "DVD Inserted");
}

INSTANTIATE_TEST_SUITE_P(Values, AutoRipValueTest,
                         ::testing::Values(std::pair{"1", true}, std::pair{"+1", true}, std::pair{"$1", true},
                                           std::pair{"01", true}, std::pair{"%1", true},
                                           std::pair{"2", false}, std::pair{"", false}, std::pair{"0", false},
                                           std::pair{"-1", false}));

TEST_F(DriveMonitorTest, RipsAutomaticallyOncePerInsertion) {
  Set("Other", "AutoRip", "1");
  Insert();
  Poll();
  ASSERT_EQ(processes.started().size(), 1u);
  WriteOutputFile();
  processes.Exit(Encoder(), 0);
  Poll();
  EXPECT_EQ(view.status, "COMPLETE!");
  Poll();
  Poll();
  EXPECT_EQ(processes.started().size(), 1u) << "the same disc was ripped again";

  engine.StartRip();  // on purpose, with the Start button
  EXPECT_EQ(processes.started().size(), 2u);
  processes.Exit(Encoder(), 1);
  Poll();

  Insert("SECOND DISC");  // swapped between polls
  Poll();
  EXPECT_EQ(processes.started().size(), 3u);
  processes.Exit(Encoder(), 1);
  drives.RemoveDisc("sr0");
  Poll();
  Insert("SECOND DISC");
  Poll();
  EXPECT_EQ(processes.started().size(), 4u);
}

// A disc put in while the last one's file is finished is the next rip:
// ripped once the running one ends, and not ejected at its end.
TEST_F(DriveMonitorTest, ADiscSwappedInWhileAFileIsFinishedIsRippedAfterIt) {
  Set("Other", "AutoRip", "1");
  Insert("FIRST DISC");
  Poll();
  processes.Output(Encoder(), "\rMuxing: this may take awhile...\r");
  ReadAll();
  Set("Other", "EjectOnFinish", "1");
  Insert("SECOND DISC");
  Poll();
  EXPECT_TRUE(engine.IsRipping()) << "the first file was being finished without its disc";
  EXPECT_EQ(processes.started().size(), 1u);
  WriteOutputFile();
  processes.Exit(Encoder(), 0);
  Poll();
  EXPECT_EQ(view.balloons, (std::vector<std::string>{"DVD Rip Started", "Rip Complete!", "DVD Rip Started"}));
  EXPECT_EQ(drives.ejected, std::vector<std::string>{});
  EXPECT_NE(JobOf(engine).output_file.find("SECOND"), std::string::npos) << JobOf(engine).output_file;

  WriteOutputFile();
  processes.Exit(Encoder(), 0);
  Poll();  // the ripped disc is still in: it goes out
  EXPECT_EQ(drives.ejected, std::vector<std::string>{"sr0"});
  EXPECT_EQ(processes.started().size(), 2u);
}

// Discs of a box often share a label: once the ripped disc left, the one
// found next is another disc, never ejected by the first one's end.
TEST_F(DriveMonitorTest, ADiscWithTheSameLabelPutInAfterTheRippedOneLeftIsNew) {
  for (const char* auto_rip : {"1", "0"}) {
    SCOPED_TRACE(std::string("AutoRip ") + auto_rip);
    const std::string label = std::string("DVD_VIDEO_") + auto_rip;
    Set("Other", "AutoRip", "0");
    Set("Other", "EjectOnFinish", "1");
    Insert(label);
    Poll();
    engine.StartRip();
    view.balloons.clear();
    Set("Other", "AutoRip", auto_rip);
    processes.Output(Encoder(), "\rMuxing: this may take awhile...\r");
    ReadAll();
    EXPECT_EQ(drives.ejected, std::vector<std::string>{"sr0"});
    Poll();
    Insert(label);
    Poll();
    WriteOutputFile();
    processes.Exit(Encoder(), 0);
    Poll();
    EXPECT_EQ(drives.ejected, std::vector<std::string>{"sr0"}) << "the new disc went out unripped";
    EXPECT_EQ(view.balloons, auto_rip == std::string("1")
                                 ? (std::vector<std::string>{"Rip Complete!", "DVD Rip Started"})
                                 : (std::vector<std::string>{"DVD Inserted", "Rip Complete!"}));
    engine.CancelRip();
    drives.ejected.clear();
    view.balloons.clear();
  }
}

// The settings take effect at the next rip: a rip under way keeps the drive
// it started from, and the drive chosen now is watched for the next disc.
TEST_F(DriveMonitorTest, ChoosingAnotherDriveMidRipNeitherEndsNorMisdirectsIt) {
  Set("Other", "AutoRip", "1");
  drives.AddDrive("sr1");
  drives.InsertDisc("sr1", {"udf", "NEXT DISC"});
  Insert("FIRST DISC");
  Poll();
  ASSERT_TRUE(engine.IsRipping());
  Set("Ripping", "SourceDrive", "sr1");
  Poll();
  Poll();
  EXPECT_TRUE(engine.IsRipping()) << view.status;
  EXPECT_EQ(processes.process(Encoder()).interrupts, 0);
  EXPECT_EQ(view.disc_label, "NEXT DISC");
  engine.CancelRip();
  EXPECT_EQ(drives.ejected, std::vector<std::string>{"sr0"});
  Poll();
  ASSERT_EQ(processes.started().size(), 2u);
  EXPECT_EQ(processes.process(Encoder()).arguments[1], "/dev/sr1");

  // Its own drive is still watched: the rip reading sr1 fails when its disc
  // goes, and the disc in the drive chosen now is ripped next.
  drives.RemoveDisc("sr1");
  Set("Ripping", "SourceDrive", "sr0");
  drives.InsertDisc("sr0", {"udf", "FIRST DISC"});
  view.balloons.clear();
  Poll();
  EXPECT_EQ(view.balloons, (std::vector<std::string>{"DVD Rip Failed", "DVD Rip Started"}));
  EXPECT_EQ(processes.process(Encoder()).arguments[1], "/dev/sr0");
}

TEST_F(DriveMonitorTest, TurningAutoRipOnRipsAnAnnouncedDisc) {
  Insert();
  Poll();
  EXPECT_TRUE(processes.started().empty());
  Set("Other", "AutoRip", "1");
  Poll();
  EXPECT_EQ(processes.started().size(), 1u);
}

TEST_F(DriveMonitorTest, EjectAndLoadReachTheDrive) {
  engine.EjectDrive("sr0");
  engine.LoadDrive("sr0");
  EXPECT_EQ(drives.ejected, std::vector<std::string>{"sr0"});
  EXPECT_EQ(drives.loaded, std::vector<std::string>{"sr0"});
}

}  // namespace
}  // namespace ripwarden::testing
