// The whole program ripping a generated DVD image with the real encoder, on
// Qt's offscreen platform, watched only from outside: processes and files.
#include "program/rip/program_rip.h"

namespace ripwarden::testing {
namespace {

TEST(ProgramRip, RipsAnInsertedDiscOnceAndGoesBackToIdle) {
  const std::string image = SampleDvdImage(12, "MY MOVIE");
  const ProgramSandbox sandbox;
  const std::string destination = sandbox.user_home() + "/My Rips (disc 1)/";
  fs::create_directories(destination);
  sandbox.WriteConfig(Settings(image, destination), kPresets);

  const auto started = Clock::now();
  RunningProgram program(sandbox.Environment("offscreen"), sandbox.Log("run"));
  pid_t encoder = 0;
  ASSERT_TRUE(WaitUntil(
      [&] {
        const auto encoders = RippingEncoders(program.pid(), destination);
        if (!encoders.empty()) encoder = encoders.front();
        return encoder != 0 || program.HasEnded();
      },
      kStartTimeout))
      << "no rip started; the program printed:\n"
      << program.Printed();
  ASSERT_NE(encoder, 0) << "the program ended:\n" << program.Printed();
  const auto encoding = Clock::now();

  // Gone from /proc only once the program has collected it. Until then
  // nothing carries a finished rip's name.
  const std::regex finished_name(R"(MY_MOVIE_\(\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d\)\.MP4)");
  bool named_early = false;
  ASSERT_TRUE(WaitUntil(
      [&] {
        const bool running = IsEncoder(encoder);
        for (const std::string& name : FilesIn(destination))
          named_early |= running && std::regex_match(name, finished_name);
        return !running;
      },
      120s))
      << "the encoder never finished";
  EXPECT_FALSE(named_early) << "the finished name appeared while the encoder ran";
  // The program ends the rip at its next drive poll, the file's rename with it.
  const std::string history_file = sandbox.program_home() + "/State/history.jsonl";
  EXPECT_TRUE(WaitUntil(
      [&] { return ReadFileBytes(history_file).find("\"result\":\"complete\"") != std::string::npos; }, 15s))
      << ReadFileBytes(history_file);
  const auto encoded = Clock::now();
  EXPECT_TRUE(WaitUntil([&] { return ChildrenOf(program.pid()).empty(); }, 15s))
      << "a child outlived the rip: " << ::testing::PrintToString(ChildrenOf(program.pid()));
  std::cout << "[ timing ] encoder started " << Seconds(encoding - started)
            << " s after the program and was collected " << Seconds(encoded - encoding) << " s later\n";

  const auto files = FilesIn(destination);
  ASSERT_EQ(files.size(), 1u) << ::testing::PrintToString(files);
  EXPECT_TRUE(std::regex_match(files[0], finished_name)) << files[0];
  const std::string film = destination + files[0];
  const auto info = ProbeMedia(film);
  ASSERT_TRUE(info.has_value()) << "ffprobe cannot read " << film;
  EXPECT_EQ(info->video_codec, "h264");
  EXPECT_EQ(info->audio_codec, "aac");
  EXPECT_NEAR(info->duration_seconds, 12.0, 1.0);
  // The encoder's two-pass statistics went with it.
  EXPECT_TRUE(FolderTree(sandbox.scratch()).empty())
      << ::testing::PrintToString(FolderTree(sandbox.scratch()));
  EXPECT_TRUE(FolderTree(sandbox.program_home() + "/State/tmp").empty());
  const std::string history = ReadFileBytes(history_file);
  EXPECT_NE(history.find("\"output\":\"" + film + "\""), std::string::npos) << history;

  // The disc is still in: it is not ripped a second time, and nothing runs.
  const auto size = fs::file_size(film);
  const auto watch_until = Clock::now() + 6s;
  while (Clock::now() < watch_until) {
    ASSERT_FALSE(program.HasEnded()) << program.Printed();
    ASSERT_EQ(ChildrenOf(program.pid()), std::vector<pid_t>{});
    std::this_thread::sleep_for(200ms);
  }
  EXPECT_EQ(FilesIn(destination), files);
  EXPECT_EQ(fs::file_size(film), size);

  program.Signal(SIGTERM);
  EXPECT_EQ(program.WaitForExit(kStopTimeout), 0) << program.Printed();
}

// The shipped settings leave the destination empty: the encoder must not
// be started to write into the program's own folder.
TEST(ProgramRip, AnEmptyDestinationFailsAtOnceAndWritesNothing) {
  const std::string image = SampleDvdImage(12, "MY MOVIE");
  const ProgramSandbox sandbox;
  sandbox.WriteConfig(Settings(image, ""), kPresets);

  RunningProgram program(sandbox.Environment("offscreen"), sandbox.Log("run"));
  bool encoder_seen = false;
  ASSERT_TRUE(WaitUntil(
      [&] {
        for (const pid_t child : ChildrenOf(program.pid())) encoder_seen |= IsEncoder(child);
        return program.ErrorOutput().find("DVD Rip Failed") != std::string::npos || program.HasEnded();
      },
      kStartTimeout))
      << program.Printed();
  EXPECT_NE(program.ErrorOutput().find("DVD Rip Failed: The destination folder does not exist."),
            std::string::npos)
      << program.Printed();
  EXPECT_FALSE(encoder_seen);
  std::this_thread::sleep_for(3s);
  for (const std::string& path : FolderTree(sandbox.sandbox())) {
    EXPECT_FALSE(path.ends_with(".MP4")) << path << " was written";
  }
  for (const pid_t child : ChildrenOf(program.pid())) {
    ADD_FAILURE() << "a child runs: " << ::testing::PrintToString(CommandLine(child));
  }
  program.Signal(SIGTERM);
  EXPECT_EQ(program.WaitForExit(kStopTimeout), 0) << program.Printed();
}

TEST(ProgramRip, StopSignalMidRipStopsTheEncoderAndRemovesThePartialFile) {
  const std::string image = SampleDvdImage(45, "LONG DISC");
  const ProgramSandbox sandbox;
  const std::string destination = sandbox.user_home() + "/My Rips (disc 2)/";
  fs::create_directories(destination);
  sandbox.WriteConfig(Settings(image, destination), kPresets);

  RunningProgram program(sandbox.Environment("offscreen"), sandbox.Log("run"));
  // The second pass opens the output file: then the rip has something to lose.
  ASSERT_TRUE(WaitUntil([&] { return !FilesIn(destination).empty() || program.HasEnded(); }, 90s))
      << "no output file appeared; the program printed:\n"
      << program.Printed();
  const auto encoders = RippingEncoders(program.pid(), destination);
  ASSERT_EQ(encoders.size(), 1u) << "the rip is not running any more";
  const pid_t encoder = encoders.front();

  const auto signalled = Clock::now();
  program.Signal(SIGTERM);
  EXPECT_EQ(program.WaitForExit(kStopTimeout), 0) << program.Printed();
  std::cout << "[ timing ] SIGTERM to exit " << Seconds(Clock::now() - signalled) << " s\n";

  EXPECT_FALSE(IsEncoder(encoder)) << "the encoder " << encoder << " outlived the program";
  const auto orphans = ProcessesInFolder(kEncoder, sandbox.sandbox());
  EXPECT_EQ(orphans, std::vector<pid_t>{});
  for (const pid_t orphan : orphans) ::kill(orphan, SIGKILL);
  EXPECT_EQ(FilesIn(destination), std::vector<std::string>{}) << "the partial file was left";
  EXPECT_TRUE(FolderTree(sandbox.scratch()).empty())
      << ::testing::PrintToString(FolderTree(sandbox.scratch()));
}

// Killed outright (a crash, a power cut): the partial file must never pass
// for a finished rip, and the next start sorts out what was left.
TEST(ProgramRip, AKillMidRipLeavesAnIncompleteFileAndTheNextStartRipsAgain) {
  const std::string image = SampleDvdImage(20, "KILLED DISC");
  const ProgramSandbox sandbox;
  const std::string destination = sandbox.user_home() + "/Rips/";
  fs::create_directories(destination);
  sandbox.WriteConfig(Settings(image, destination), kPresets);
  const std::string state = sandbox.program_home() + "/State";
  {
    RunningProgram program(sandbox.Environment("offscreen"), sandbox.Log("killed"));
    ASSERT_TRUE(WaitUntil([&] { return !FilesIn(destination).empty() || program.HasEnded(); }, 90s))
        << "no output file appeared; the program printed:\n"
        << program.Printed();
    program.Signal(SIGKILL);
    program.WaitForExit(kStopTimeout);
  }
  // The orphaned encoder dies of its lost reader at its next progress update.
  EXPECT_TRUE(WaitUntil([&] { return ProcessesInFolder(kEncoder, sandbox.sandbox()).empty(); }, 10s));
  for (const pid_t orphan : ProcessesInFolder(kEncoder, sandbox.sandbox())) ::kill(orphan, SIGKILL);
  const auto left = FilesIn(destination);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_TRUE(left[0].ends_with(".MP4.part")) << left[0];

  RunningProgram program(sandbox.Environment("offscreen"), sandbox.Log("again"));
  const std::string history_file = state + "/history.jsonl";
  ASSERT_TRUE(WaitUntil(
      [&] {
        const std::string history = ReadFileBytes(history_file);
        return history.find("\"result\":\"complete\"") != std::string::npos || program.HasEnded();
      },
      120s))
      << program.Printed() << ReadFileBytes(history_file);
  const std::string incomplete = left[0].substr(0, left[0].size() - 9) + ".incomplete.MP4";
  auto files = FilesIn(destination);
  ASSERT_EQ(files.size(), 2u) << ::testing::PrintToString(files);
  ASSERT_EQ(std::erase(files, incomplete), 1u) << ::testing::PrintToString(files);
  EXPECT_TRUE(std::regex_match(files[0], std::regex(R"(KILLED_DISC_\([-_0-9]*\)\.MP4)"))) << files[0];
  const auto info = ProbeMedia(destination + files[0]);
  ASSERT_TRUE(info.has_value());
  EXPECT_NEAR(info->duration_seconds, 20.0, 1.0);
  const std::string history = ReadFileBytes(history_file);
  EXPECT_NE(history.find("\"result\":\"interrupted\""), std::string::npos) << history;
  EXPECT_NE(history.find("\"output\":\"" + destination + incomplete + "\""), std::string::npos) << history;
  EXPECT_EQ(std::count(history.begin(), history.end(), '\n'), 2) << history;
  for (const std::string& path : FolderTree(sandbox.sandbox())) {
    EXPECT_EQ(path.find("hb."), std::string::npos) << "the encoder's scratch folder was left: " << path;
  }
  program.Signal(SIGTERM);
  EXPECT_EQ(program.WaitForExit(kStopTimeout), 0) << program.Printed();
}

// A series disc with "All": one whole file per episode, each named with its
// title, and neither the play-all title nor the repeated episode; "Main"
// afterwards rips the one longest title as before.
TEST(ProgramRip, ASeriesDiscGivesOneFilePerEpisodeAndNoRepeats) {
  const std::string image = SampleSeriesDvdImage();
  const ProgramSandbox sandbox;
  const std::string destination = sandbox.user_home() + "/Rips/";
  fs::create_directories(destination);
  const std::string every_title =
      "CopyFirst = 1\nTitles = All\nShortestTitle = 0\nLongestTitle = 0\nAudioLanguages = eng,fra\n"
      "SubtitleLanguages = eng\nChapterMarkers = 1\n";
  sandbox.WriteConfig(Settings(image, destination, every_title), kPresets);
  const std::string history_file = sandbox.program_home() + "/State/history.jsonl";
  {
    RunningProgram program(sandbox.Environment("offscreen"), sandbox.Log("all"));
    ASSERT_TRUE(
        WaitUntil([&] { return Count(ReadFileBytes(history_file), "\"result\":\"complete\"") == 4; }, 180s))
        << program.Printed() << ReadFileBytes(history_file);
    program.Signal(SIGTERM);
    EXPECT_EQ(program.WaitForExit(kStopTimeout), 0) << program.Printed();
  }
  const std::vector<std::string> files = FilesIn(destination);
  ASSERT_EQ(files.size(), 3u) << ::testing::PrintToString(files);
  const std::map<int, double> episodes = {{1, 12.0}, {2, 14.0}, {3, 16.0}};
  for (const auto& [title, seconds] : episodes) {
    const std::string& name = files[static_cast<std::size_t>(title - 1)];
    EXPECT_TRUE(name.starts_with("MY_SERIES_(") && name.ends_with("_title0" + std::to_string(title) + ".MP4"))
        << name;
    const auto info = ProbeMedia(destination + name);
    ASSERT_TRUE(info.has_value()) << name;
    EXPECT_NEAR(info->duration_seconds, seconds, 1.0) << name;
    // Both soundtracks and the English subtitle, nothing more; a single
    // chapter per episode gives no chapter track.
    std::string tracks;
    for (const MediaStream& stream : info->streams) tracks += stream.type + ":" + stream.language + " ";
    EXPECT_EQ(tracks, "video:und audio:eng audio:fra subtitle:eng ") << name;
  }
  EXPECT_EQ(Count(ReadFileBytes(history_file), "\"title\":"), 3) << ReadFileBytes(history_file);

  fs::remove_all(destination);
  fs::create_directories(destination);
  sandbox.WriteConfig(Settings(image, destination, "CopyFirst = 0\nTitles = Main\n"), kPresets);
  RunningProgram program(sandbox.Environment("offscreen"), sandbox.Log("main"));
  ASSERT_TRUE(
      WaitUntil([&] { return Count(ReadFileBytes(history_file), "\"result\":\"complete\"") == 5; }, 120s))
      << program.Printed() << ReadFileBytes(history_file);
  const std::vector<std::string> main = FilesIn(destination);
  ASSERT_EQ(main.size(), 1u) << ::testing::PrintToString(main);
  EXPECT_TRUE(std::regex_match(main[0], std::regex(R"(MY_SERIES_\(\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d\)\.MP4)")))
      << main[0];
  program.Signal(SIGTERM);
  EXPECT_EQ(program.WaitForExit(kStopTimeout), 0) << program.Printed();
}

}  // namespace
}  // namespace ripwarden::testing
