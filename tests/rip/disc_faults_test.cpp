// Discs that go away, change or carry no label, as real images read by the
// real drive code, ripped by the stand-in encoder through the real runner.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "helpers/disc_images.h"
#include "helpers/process_census.h"
#include "platform/linux/linux_drives.h"
#include "real_runner_fixture.h"

namespace ripwarden::testing {
namespace {

namespace fs = std::filesystem;

class DiscFaultTest : public RealRunnerBase {
 protected:
  DiscFaultTest() {
    drive_ = home_.Path("drive/disc.iso");
    fs::create_directories(home_.Path("drive"));
    fs::create_directories(home_.Path("rips"));
    home_.Write("Data/Config/Settings.cfg",
                "[Ripping]\nSourceDrive = " + drive_ + "\nDestination = " + home_.Path("rips/") +
                    "\nFileContainer = MP4\nEncoding = \n[Other]\nAutoRip = 1\nEjectOnFinish = 0\n"
                    "[HandBrake]\nLocation = " +
                    FakeEncoderPath() + "\n");
    engine_.KeepRecords(home_.Path("State"), "");
  }

  // Puts a freshly made disc in the drive at once, as a swap between polls.
  void Insert(const std::string& image) {
    ASSERT_FALSE(image.empty());
    fs::rename(image, drive_);
  }
  std::string Image(const std::string& label) {
    return label.empty() ? MakeIsoImage(home_.Path("made-" + std::to_string(++made_)), label)
                         : MakeDvdImage(home_.Path("made-" + std::to_string(++made_)), label);
  }
  void Poll() {
    clock_.Advance(2500);
    engine_.PollDrive();
  }
  // Turns of the main loop until the encoder has said line, or the rip ended.
  bool RunUntilShown(const std::string& line) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (engine_.IsRipping() && std::chrono::steady_clock::now() < deadline) {
      engine_.ReadEncoderOutput();
      if (!view_.output.empty() && view_.output.front() == line) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }
  std::vector<std::string> Rips() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(home_.Path("rips")))
      names.push_back(entry.path().filename());
    return names;
  }

  std::string drive_;
  int made_ = 0;
  linux_platform::LinuxDrives drives_;
  FakeClock& clock_ = system_.clock;
  FixedDialect dialects_;
  RipEngine engine_{EngineServices(Services({.drives = &drives_}), settings_, presets_, dialects_, view_),
                    "Ripwarden"};
};

TEST_F(DiscFaultTest, ADiscTakenOutMidRipFailsTheRipAndStopsTheEncoder) {
  Insert(Image("MY MOVIE"));
  settings_.ReadSetting("Ripping", "SourceDrive");  // the settings file stays open from now on
  const int descriptors = OpenDescriptorCount();
  FakeEncoderScript script(home_, "write ready\\n\nhang\n");
  Poll();
  ASSERT_TRUE(RunUntilShown("ready"));
  fs::remove(drive_);
  Poll();
  RunWhileStopping(engine_, clock_);
  EXPECT_EQ(view_.status, kDiscLostText);
  EXPECT_EQ(view_.balloons.back(), "DVD Rip Failed");
  EXPECT_EQ(view_.disc_label, "[Empty]");
  EXPECT_FALSE(engine_.IsRipping());
  EXPECT_TRUE(ChildProcesses().empty());
  EXPECT_EQ(OpenDescriptorCount(), descriptors);
}

// The encoder notices a read error within a second and exits (5), before
// the next poll; saying so, or calling the rip complete, would be wrong.
TEST_F(DiscFaultTest, AnEncoderEndingAfterItsDiscLeftIsALostDisc) {
  for (const char* code : {"5", "0"}) {
    SCOPED_TRACE(std::string("exit ") + code);
    Insert(Image("MY MOVIE"));
    FakeEncoderScript script(home_,
                             std::string("write ready\\n\nsleep 200\noutput part\nexit ") + code + "\n");
    Poll();
    ASSERT_TRUE(RunUntilShown("ready"));
    fs::remove(drive_);
    ASSERT_TRUE(processes_.WaitForExit(JobOf(engine_).process, 10000));
    engine_.ReadEncoderOutput();
    Poll();
    EXPECT_EQ(view_.status, kDiscLostText);
    EXPECT_EQ(view_.balloons.back(), "DVD Rip Failed");
    EXPECT_FALSE(engine_.IsRipping());
  }
}

TEST_F(DiscFaultTest, ADiscSwappedBetweenPollsIsANewDisc) {
  Insert(Image("FIRST DISC"));
  {
    FakeEncoderScript script(home_, "write ready\\n\nhang\n");
    Poll();
    ASSERT_TRUE(RunUntilShown("ready"));
  }
  // Mid-rip: the disc being ripped is gone, and the newcomer gets its own rip.
  FakeEncoderScript script(home_, "write ready\\n\noutput done\n" + std::string(kWholeLog) + "exit 0\n");
  Insert(Image("SECOND DISC"));
  Poll();
  RunWhileStopping(engine_, clock_);
  Poll();
  EXPECT_EQ(view_.disc_label, "SECOND DISC");
  EXPECT_EQ(view_.balloons,
            (std::vector<std::string>{"DVD Rip Started", "DVD Rip Failed", "DVD Rip Started"}));
  ASSERT_TRUE(RunUntilShown("ready"));
  while (engine_.IsRipping() && processes_.WaitForExit(JobOf(engine_).process, 10000)) {
    engine_.ReadEncoderOutput();
    Poll();
  }
  EXPECT_EQ(view_.status, kCompleteText);
  ASSERT_EQ(Rips().size(), 1u);
  EXPECT_TRUE(Rips()[0].starts_with("SECOND_DISC_(")) << Rips()[0];
  EXPECT_TRUE(ChildProcesses().empty());
  // Left in the drive, it is not ripped again; another one swapped in is.
  Poll();
  EXPECT_EQ(view_.balloons.size(), 4u);
  Insert(Image("THIRD DISC"));
  Poll();
  EXPECT_TRUE(engine_.IsRipping());
  EXPECT_EQ(view_.balloons.back(), "DVD Rip Started");
  engine_.CancelRip();
  RunWhileStopping(engine_, clock_);
}

TEST_F(DiscFaultTest, ADiscWithoutLabelIsRippedUnderTheDateAlone) {
  Insert(Image(""));
  FakeEncoderScript script(home_, "output done\n" + std::string(kWholeLog) + "exit 0\n");
  Poll();
  EXPECT_EQ(view_.disc_label, "");
  EXPECT_EQ(view_.balloons.front(), "DVD Rip Started");
  // The encoder may have finished within that very poll.
  while (engine_.IsRipping() && processes_.WaitForExit(JobOf(engine_).process, 10000)) Poll();
  EXPECT_EQ(view_.status, kCompleteText);
  EXPECT_EQ(Rips(), std::vector<std::string>{"_(2009-03-14_15-09-26).MP4"});
}

}  // namespace
}  // namespace ripwarden::testing
