// Whole rips with Debian's HandBrakeCLI on a generated DVD image, through the
// real platform services: the way a user's disc goes.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <regex>

#include "helpers/media_probe.h"
#include "helpers/process_census.h"
#include "helpers/sample_dvd.h"
#include "platform/linux/linux_drives.h"
#include "platform/linux/local_calendar.h"
#include "platform/linux/monotonic_clock.h"
#include "platform/linux/posix_path_rules.h"
#include "real_runner_fixture.h"
#include "rip/date_format.h"
#include "rip/disc_scan.h"
#include "rip/encoder_command.h"
#include "temp_folder.h"

namespace ripwarden::testing {
namespace {

class RealEncoderTest : public RealRunnerBase {
 protected:
  static constexpr int kSeconds = 12;

  RealEncoderTest() {
    image_ = SampleDvdImage(kSeconds, "MY MOVIE");
    rips_ = home_.Path("My Rips (test)/");
    std::filesystem::create_directories(rips_);
    std::filesystem::create_directories(home_.Path("tmp"));
    // HandBrakeCLI keeps its pass files here; a clean stop removes them.
    ::setenv("TMPDIR", home_.Path("tmp").c_str(), 1);
    home_.Write("Data/Config/Presets.cfg", "Normal=x264/1500/aac/160\n");
    home_.Write("Data/Config/Settings.cfg",
                "[Ripping]\nSourceDrive = " + image_ + "\nDestination = " + rips_ +
                    "\nFileContainer = MP4\nEncoding = Normal\nTwoPass = 1\nAudioBooster = 1\n"
                    "[Other]\nAutoRip = 1\nEjectOnFinish = 1\n[HandBrake]\nLocation = HandBrakeCLI\n");
    engine_.KeepRecords(home_.Path("State"), RIPWARDEN_HELPER);
  }
  ~RealEncoderTest() override { ::unsetenv("TMPDIR"); }

  // The main loop until the rip has ended, or the time is up.
  void RunWhile(bool (*going)(const RipEngine&), int seconds) { RunWhile(engine_, view_, going, seconds); }
  void RunWhile(RipEngine& engine, const FakeRipView& view, bool (*going)(const RipEngine&), int seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (going(engine) && view.balloons.size() < 2 && !view.status.starts_with("FAILED") &&
           std::chrono::steady_clock::now() < deadline) {
      engine.PollDrive();
      engine.ReadEncoderOutput();
      clock_.Sleep(1);
    }
  }
  static bool Unfinished(const RipEngine&) { return true; }
  // Until the encoder runs: a rip first asks it which options it takes.
  static bool Idle(const RipEngine& engine) { return JobOf(engine).process == kNoProcess; }
  static bool Ripping(const RipEngine& engine) { return engine.IsRipping(); }

  std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
      names.push_back(entry.path().filename());
    return names;
  }

  std::string image_;
  std::string rips_;
  linux_platform::LinuxDrives drives_;
  linux_platform::MonotonicClock clock_;
  linux_platform::LocalCalendar calendar_;
  EncoderDialects dialects_{processes_, files_, clock_};
  SystemServices services_ = Services({.drives = &drives_, .clock = &clock_, .calendar = &calendar_});
  RipEngine engine_{EngineServices(services_, settings_, presets_, dialects_, view_), "Ripwarden"};
};

TEST_F(RealEncoderTest, RipsTheDiscOnceIntoAPlayableFile) {
  const LocalDateTime before = calendar_.CurrentDate();
  RunWhile(Idle, 10);
  ASSERT_TRUE(engine_.IsRipping()) << "no rip started";
  const LocalDateTime after = calendar_.CurrentDate();
  // Nothing carries the finished name while the encoder writes.
  const std::string finished = JobOf(engine_).output_file;
  bool finished_early = false;
  bool partial_seen = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (engine_.IsRipping() && std::chrono::steady_clock::now() < deadline) {
    engine_.PollDrive();
    engine_.ReadEncoderOutput();
    if (engine_.IsRipping()) {
      finished_early |= std::filesystem::exists(finished);
      partial_seen |= std::filesystem::exists(finished + ".part");
    }
    clock_.Sleep(1);
  }
  EXPECT_FALSE(finished_early);
  EXPECT_TRUE(partial_seen);

  ASSERT_EQ(view_.status, "COMPLETE!") << "last output: " << view_.output.front();
  EXPECT_EQ(view_.balloons, (std::vector<std::string>{"DVD Rip Started", "Rip Complete!"}));
  const std::string command = view_.output.back();
  EXPECT_NE(command.find(" --main-feature -e x264 -b 1500 -2 -a 1 -E aac -B 160 -D 1.5"), std::string::npos)
      << command;
  const auto names = FilesIn(rips_);
  ASSERT_EQ(names.size(), 1u);
  // Named after the label and the moment the rip started, as its command line said.
  EXPECT_NE(command.find(" -o " + rips_ + names[0] + ".part -f av_mp4 "), std::string::npos) << names[0];
  EXPECT_TRUE(std::regex_match(names[0], std::regex(R"(MY_MOVIE_\(\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d\)\.MP4)")));
  const std::string minute = names[0].substr(10, 16);
  EXPECT_TRUE(minute == FormatDate("%yyyy-%mm-%dd_%hh-%ii", before) ||
              minute == FormatDate("%yyyy-%mm-%dd_%hh-%ii", after))
      << names[0];
  const auto media = ProbeMedia(rips_ + names[0]);
  ASSERT_TRUE(media);
  EXPECT_EQ(media->video_codec, "h264");
  EXPECT_EQ(media->audio_codec, "aac");
  EXPECT_NEAR(media->duration_seconds, kSeconds, 1.0);
  // Its record: whole by the encoder's count and by the file's own length.
  const auto records = RipHistory(files_, home_.Path("State/history.jsonl")).Records().value();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].result, "complete");
  EXPECT_EQ(records[0].output, rips_ + names[0]);
  EXPECT_EQ(records[0].exit_code, 0);
  EXPECT_EQ(records[0].frames_encoded, records[0].frames_expected);
  EXPECT_EQ(records[0].seconds_expected, kSeconds);
  ASSERT_TRUE(records[0].seconds_encoded);
  EXPECT_NEAR(*records[0].seconds_encoded, kSeconds, 1.0);
  EXPECT_EQ(records[0].bytes, static_cast<std::int64_t>(std::filesystem::file_size(rips_ + names[0])));
  EXPECT_NE(ReadFileBytes(records[0].log).find("Encode done!"), std::string::npos);
  // The encoder's pass files went with its folder.
  EXPECT_TRUE(FilesIn(home_.Path("State/tmp")).empty());
  EXPECT_TRUE(FilesIn(home_.Path("tmp")).empty());

  // The disc stays in (an image cannot be ejected): it must not be ripped again.
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(5200);
  while (std::chrono::steady_clock::now() < until) {
    engine_.PollDrive();
    clock_.Sleep(5);
  }
  EXPECT_FALSE(engine_.IsRipping());
  EXPECT_EQ(FilesIn(rips_).size(), 1u);
  EXPECT_TRUE(ChildProcesses().empty());
}

TEST_F(RealEncoderTest, EveryShippedPresetGivesAPlayableFile) {
  const std::string shipped = ReadFileBytes(std::string(SHIPPED_CONFIG) + "/Presets.cfg");
  home_.Write("Data/Config/Presets.cfg", shipped);
  settings_.WriteSetting("Ripping", "TwoPass", "0");
  const auto lines = SplitPresetLines(shipped);
  ASSERT_GE(lines.size(), 3u);
  for (const std::string& line : lines) {
    SCOPED_TRACE(line);
    settings_.WriteSetting("Ripping", "Encoding", PresetName(line));
    std::filesystem::remove_all(rips_);
    std::filesystem::create_directories(rips_);
    // A station freshly started for each preset, so that the disc is new to it.
    FakeRipView view;
    RipEngine engine{EngineServices(services_, settings_, presets_, dialects_, view), "Ripwarden"};
    engine.KeepRecords(home_.Path("State"), RIPWARDEN_HELPER);
    RunWhile(engine, view, Unfinished, 120);
    ASSERT_EQ(view.status, "COMPLETE!") << "last output: " << view.output.front();
    const auto names = FilesIn(rips_);
    ASSERT_EQ(names.size(), 1u);
    const auto media = ProbeMedia(rips_ + names[0]);
    ASSERT_TRUE(media);
    const std::string codec = GetPresetField(PresetValue(line), PresetField::kVideoCodec);
    EXPECT_EQ(media->video_codec, codec == "x265" ? "hevc" : "h264");
    EXPECT_EQ(media->audio_codec, "aac");
    EXPECT_NEAR(media->duration_seconds, kSeconds, 1.0);
  }
}

TEST_F(RealEncoderTest, AMissingDestinationFailsWithTheReason) {
  settings_.WriteSetting("Ripping", "Destination", home_.Path("gone/"));
  RunWhile(Idle, 10);
  EXPECT_EQ(view_.status, kNoDestinationText);
  EXPECT_EQ(view_.balloons.back(), "DVD Rip Failed");
  EXPECT_FALSE(engine_.IsRipping());
}

TEST_F(RealEncoderTest, AnImageCutInHalfFailsClearly) {
  const std::string half = home_.Path("half.iso");
  std::filesystem::copy_file(image_, half);
  std::filesystem::resize_file(half, std::filesystem::file_size(half) / 2);
  settings_.WriteSetting("Ripping", "SourceDrive", half);
  RunWhile(Idle, 10);
  // Its file system is whole, so it reads as a disc; its video ends early.
  ASSERT_TRUE(engine_.IsRipping());
  RunWhile(Ripping, 120);
  EXPECT_TRUE(view_.status.starts_with("FAILED: HandBrake stopped before finishing the rip (exit code "))
      << view_.status;
  EXPECT_EQ(view_.balloons.back(), "DVD Rip Failed");
  EXPECT_TRUE(ChildProcesses().empty());
}

TEST_F(RealEncoderTest, CancelLeavesNothingBehind) {
  RunWhile(Idle, 10);
  ASSERT_TRUE(engine_.IsRipping());
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  // Into the second pass, when the output file exists.
  while (std::chrono::steady_clock::now() < until &&
         view_.output.front().find("task 2 of 2, 1") == std::string::npos) {
    engine_.ReadEncoderOutput();
    clock_.Sleep(1);
  }
  ASSERT_TRUE(engine_.IsRipping());
  engine_.CancelRip();
  // Stopping is left to the turns that follow, as the windows must go on.
  RunWhile(Ripping, 20);
  EXPECT_EQ(view_.status, "USER CANCELLED");
  EXPECT_TRUE(FilesIn(rips_).empty());
  EXPECT_TRUE(FilesIn(home_.Path("tmp")).empty()) << "pass files left behind";
  EXPECT_TRUE(ChildProcesses().empty());
  EXPECT_TRUE(ZombieChildren().empty());
}

// The recorded scans stand for this encoder: its scan of a series disc made
// now chooses the same episodes. Its log stays out, as it would cut the JSON.
TEST(RealEncoderScanTest, ChoosesEachEpisodeOfASeriesDiscOnce) {
  const ToolOutput scanned = RunCapturing(
      {"sh", "-c", "HandBrakeCLI --scan -t 0 --json -i \"$0\" 2>/dev/null", SampleSeriesDvdImage()});
  ASSERT_EQ(scanned.exit_code, 0) << LastLines(scanned.output, 20);
  const auto scan = ParseDiscScan(scanned.output);
  ASSERT_TRUE(scan) << LastLines(scanned.output, 20);
  EXPECT_EQ(ChooseTitles(*scan, {.mode = TitleChoice::Mode::kAll}), (std::vector<int>{1, 2, 3}));
  ASSERT_EQ(scan->titles.size(), 5u);
  EXPECT_EQ(TracksInLanguages(scan->titles[2].audio, "fra"), std::vector<std::string>{"2"});
  EXPECT_EQ(TracksInLanguages(scan->titles[2].subtitles, "eng"), std::vector<std::string>{"1"});
}

// One episode as a series disc is ripped title by title: both soundtracks in
// their languages, the subtitle kept as a track, and a foreign-audio search
// that finds nothing on this disc and must not fail the rip for it.
TEST(RealEncoderSeriesTest, RipsOneEpisodeWithItsChosenTracks) {
  TempFolder rips;
  RipRequest request;
  request.input_path = SampleSeriesDvdImage();
  request.destination = rips.path() + "/";
  request.label = "MY SERIES";
  request.start = {2026, 12, 8, 14, 2, 48};
  request.container = "MP4";
  request.encoding = "Normal";
  request.preset = "x264/1500/aac/160";
  request.chapter_markers = "1";
  request.title = 2;
  request.name_with_title = true;
  request.audio_tracks = {"1", "2"};
  request.subtitle_tracks = {"1"};
  request.foreign_audio_search = true;
  const EncoderCommand command = BuildEncoderCommand(request, {}, linux_platform::PosixPathRules());
  std::vector<std::string> argv{"HandBrakeCLI"};
  argv.insert(argv.end(), command.arguments.begin(), command.arguments.end());
  const ToolOutput encoded = RunCapturing(argv);
  ASSERT_EQ(encoded.exit_code, 0) << LastLines(encoded.output, 20);
  EXPECT_NE(encoded.output.find("Foreign Audio Search"), std::string::npos) << "the search did not run";

  const auto media = ProbeMedia(command.encoding_file);
  ASSERT_TRUE(media) << command.encoding_file;
  std::vector<std::string> streams;
  for (const MediaStream& stream : media->streams) {
    streams.push_back(stream.type + " " + stream.codec + " " + stream.language);
  }
  // The episode of 14 s, not the 42 s of the title that plays them all.
  EXPECT_NEAR(media->duration_seconds, 14, 1.0);
  EXPECT_EQ(streams, (std::vector<std::string>{"video h264 und", "audio aac eng", "audio aac fra",
                                               "subtitle dvd_subtitle eng"}));
}

}  // namespace
}  // namespace ripwarden::testing
