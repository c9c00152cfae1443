// Recorded output of the real encoder, replayed through a real child process
// and the real runner into the engine; and what such a process is handed.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <regex>
#include <thread>

#include "helpers/process_census.h"
#include "real_runner_fixture.h"

namespace ripwarden::testing {
namespace {

class RecordedOutputTest : public RealRunnerTest {
 protected:
  RecordedOutputTest() { settings_.WriteSetting("Other", "EjectOnFinish", "1"); }

  void Replay(const std::string& recording, double speed) {
    script_ = std::make_unique<FakeEncoderScript>(
        home_, ReplayScript(AssetsFolder() + "/handbrake-1.6.1/" + recording, speed));
  }
  std::string OutputFile() const { return home_.Path("rips/MY_MOVIE_(2009-03-14_15-09-26).MP4"); }
  void RunUntilTheRipEnds() { RealRunnerTest::RunUntilTheRipEnds(false); }

  std::vector<std::string> Statuses() const {
    std::vector<std::string> statuses;
    for (const auto& call : view_.calls) {
      if (call.rfind("status: ", 0) == 0) statuses.push_back(call.substr(8));
    }
    return statuses;
  }

  std::unique_ptr<FakeEncoderScript> script_;
};

TEST_F(RecordedOutputTest, ASuccessfulTwoPassRunCompletesAndShowsOnlyRealPercentages) {
  Replay("two-pass-10s-ok", 20);
  home_.Write("rips/MY_MOVIE_(2009-03-14_15-09-26).MP4.part", "encoded");
  engine_.StartRip();
  RunUntilTheRipEnds();

  EXPECT_EQ(view_.status, "COMPLETE!");
  EXPECT_EQ(drives_.ejected, std::vector<std::string>{"sr0"});
  const std::regex percentage(R"(\d+\.\d\d%)");
  const auto statuses = Statuses();
  ASSERT_GE(statuses.size(), 4u);
  for (std::size_t i = 1; i + 1 < statuses.size(); ++i) {
    EXPECT_TRUE(std::regex_match(statuses[i], percentage)) << statuses[i];
  }
  const auto has = [&](const std::string& line) {
    return std::find(view_.output.begin(), view_.output.end(), line) != view_.output.end();
  };
  EXPECT_TRUE(has("libdvdnav: DVD Title: MY MOVIE"));
  EXPECT_TRUE(has("Encoding: task 2 of 2, 99.60 %"));
  EXPECT_TRUE(has("Encoding: task 1 of 2, 13.20 %"));
  // Judged whole by the encoder's own count, not by its last percentage.
  const auto records = RipHistory(files_, home_.Path("State/history.jsonl")).Records().value();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].result, "complete");
  EXPECT_EQ(records[0].frames_encoded, 250);
  EXPECT_EQ(records[0].frames_expected, 250);
  EXPECT_EQ(records[0].seconds_expected, 10.0);
  EXPECT_EQ(records[0].output, OutputFile());
  EXPECT_TRUE(has("Rip complete: " + OutputFile() + ", 0:10, 0.0 MB"));
}

TEST_F(RecordedOutputTest, AFailedRunIsReportedWithItsExitCode) {
  Replay("missing-output-folder-exit3", 20);
  engine_.StartRip();
  RunUntilTheRipEnds();
  EXPECT_EQ(view_.status, "FAILED: HandBrake stopped before finishing the rip (exit code 3).");
  EXPECT_TRUE(
      Shows("HandBrake: ERROR: avio_open2 failed, errno -2: Could not write to indicated output file. "
            "Please check destination path and file permissions"));
  EXPECT_EQ(view_.balloons.back(), "DVD Rip Failed");
  EXPECT_TRUE(drives_.ejected.empty());
}

TEST_F(RecordedOutputTest, CancelStopsTheEncoderAndRemovesItsFile) {
  Replay("two-pass-45s-ok", 1);
  home_.Write("rips/MY_MOVIE_(2009-03-14_15-09-26).MP4.part", "partial");
  engine_.StartRip();
  // Into the encoding, the first progress shown.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (view_.status == "Reading Disc..." && std::chrono::steady_clock::now() < deadline) {
    engine_.ReadEncoderOutput();
    clock_.Advance(2);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_EQ(ChildProcesses().size(), 1u);
  EXPECT_NE(view_.status, "Reading Disc...") << "no progress was shown before the cancel";
  engine_.CancelRip();
  RunWhileStopping(engine_, clock_);
  EXPECT_EQ(view_.status, "USER CANCELLED");
  EXPECT_FALSE(FileExists(OutputFile() + ".part"));
  EXPECT_FALSE(FileExists(OutputFile()));
  EXPECT_TRUE(ChildProcesses().empty()) << "the encoder outlived the cancel";
  EXPECT_TRUE(ZombieChildren().empty());
}

// What a shell would act on, in names the file system allows.
#ifdef _WIN32
const std::string kHostile = "%PATH% & mkdir by-ampersand ^& (x) 'q'";
const std::string kHostileFileName = "%PATH%_&_mkdir_by-ampersand_^&_(x)_'q'";
const std::vector<std::string> kMadeByAShell = {"by-ampersand"};
#else
const std::string kHostile = "$(touch by-dollar) `touch by-backquote`; touch by-semicolon 'q' \"qq\"";
const std::string kHostileFileName = "$(touch_by-dollar)_`touch_by-backquote`;_touch_by-semicolon_'q'_qq";
const std::vector<std::string> kMadeByAShell = {"by-dollar", "by-backquote", "by-semicolon"};
#endif

TEST_F(RecordedOutputTest, LabelAndFoldersReachTheEncoderVerbatimAndNoShell) {
  const std::string destination = home_.Path(kHostile + "/");
  const std::string image = home_.Path(kHostile + ".iso");
  home_.Write(kHostile + "/.keep", "");
  settings_.WriteSetting("Ripping", "Destination", destination);
  settings_.WriteSetting("Ripping", "SourceDrive", image);
  drives_.InsertDisc(image, {"udf", kHostile});
  const std::string record = home_.Path("argv");
  script_ = std::make_unique<FakeEncoderScript>(home_, "record " + record + "\nexit 0\n");

  engine_.StartRip();
  const auto seen = AwaitEncoderRecord(record, 10000);
  ASSERT_TRUE(seen);
  RunUntilTheRipEnds();
  ASSERT_FALSE(seen->argv.empty());
  // Windows hands the program's own path over with its backslashes.
  std::string program = seen->argv.front();
  std::replace(program.begin(), program.end(), '\\', '/');
  EXPECT_EQ(program, FakeEncoderPath());
  EXPECT_EQ(std::vector<std::string>(seen->argv.begin() + 1, seen->argv.end()),
            (std::vector<std::string>{"-i", image, "-o",
                                      destination + kHostileFileName + "_(2009-03-14_15-09-26).MP4.part",
                                      "-f", "av_mp4", "-L"}));
  // The same folder, however the system spells its separators.
  const auto spelled = [](std::string folder) {
    std::replace(folder.begin(), folder.end(), '\\', '/');
    while (folder.ends_with('/')) folder.pop_back();
    return folder;
  };
  EXPECT_EQ(spelled(seen->working_folder),
            spelled(std::filesystem::canonical(Utf8Path(destination)).string()));
  for (const std::string& folder : {home_.path(), destination, std::filesystem::current_path().string()}) {
    for (const std::string& made : kMadeByAShell) {
      EXPECT_FALSE(FileExists(folder + "/" + made)) << "a shell ran: " << folder << "/" << made;
    }
  }
}

}  // namespace
}  // namespace ripwarden::testing
