// The whole program ripping a generated DVD image with the real encoder, on
// Qt's offscreen platform, watched only from outside: processes and files.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <regex>
#include <thread>

#include "helpers/media_probe.h"
#include "helpers/sample_dvd.h"
#include "program/running_program.h"

namespace ripwarden::testing {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr auto kStartTimeout = 30s;
constexpr auto kStopTimeout = 20s;
constexpr const char* kEncoder = "HandBrakeCLI";

std::string Settings(const std::string& image, const std::string& destination,
                     const std::string& ripping = "") {
  return "[Ripping]\nSourceDrive = " + image + "\nDestination = " + destination +
         "\nFileContainer = MP4\nEncoding = Test Standard\nTwoPass = 1\nAudioBooster = 0\n" + ripping +
         "[Other]\nStartUp = 0\nStartMinimised = 0\nAutoRip = 1\nEjectOnFinish = 1\n"
         "ClearHandBrakeOutput = 0\n[HandBrake]\nLocation = HandBrakeCLI\n[Application]\nVersion = 0.1.0\n";
}
constexpr const char* kPresets = "Test Standard=x264/1500/aac/160\n";

// The encoder ripping into `destination`; the program also runs it briefly
// to learn its options.
std::vector<pid_t> RippingEncoders(pid_t program, const std::string& destination) {
  std::vector<pid_t> encoders = ChildrenOf(program);
  std::erase_if(encoders, [&](pid_t pid) {
    const auto arguments = CommandLine(pid);
    return CommandName(pid) != kEncoder ||
           std::none_of(arguments.begin(), arguments.end(),
                        [&](const std::string& argument) { return argument.starts_with(destination); });
  });
  return encoders;
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

bool IsEncoder(pid_t pid) { return CommandName(pid) == kEncoder; }

// The copier at work on a disc, when one is.
pid_t CopierOf(pid_t program) {
  for (const pid_t child : ChildrenOf(program)) {
    const auto arguments = CommandLine(child);
    if (arguments.size() > 1 && arguments[1] == "copy") return child;
  }
  return 0;
}

int Count(const std::string& text, const std::string& what) {
  int count = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

// A member of the history record of the disc labelled `label`.
std::string RecordField(const std::string& history, const std::string& label, const std::string& name) {
  const auto line = history.find("\"label\":\"" + label + "\"");
  const auto start = history.rfind('\n', line) + 1;
  const auto at = history.find("\"" + name + "\":\"", start);
  if (line == std::string::npos || at > history.find('\n', line)) return "";
  const auto value = at + name.size() + 4;
  return history.substr(value, history.find('"', value) - value);
}

// Every file of the folder under a finished name is whole media of its length.
void ExpectFinishedFilesWhole(const std::string& folder, const std::map<std::string, double>& seconds) {
  for (const std::string& name : FilesIn(folder)) {
    if (!name.ends_with(").MP4")) continue;
    const auto info = ProbeMedia(folder + name);
    ASSERT_TRUE(info.has_value()) << name << " is no media";
    const auto length = seconds.find(name.substr(0, name.find("_(")));
    ASSERT_NE(length, seconds.end()) << name;
    EXPECT_NEAR(info->duration_seconds, length->second, 1.0) << name;
  }
}

double Seconds(Clock::duration elapsed) { return std::chrono::duration<double>(elapsed).count(); }

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

// Copy first: each disc is free once copied, and the encodes follow one by
// one, oldest first, from copies that go once their rip is done.
TEST(ProgramRip, ACopiedDiscIsReleasedAndTheNextOneCopiedWhileItEncodes) {
  // Long enough that its encode outlasts the swap of discs on a busy machine.
  const std::string first = SampleDvdImage(20, "MY MOVIE");
  const std::string second = SampleDvdImage(12, "SECOND DISC");
  const ProgramSandbox sandbox;
  const std::string destination = sandbox.user_home() + "/Rips/";
  const std::string disc = sandbox.user_home() + "/disc.iso";
  const std::string copies = sandbox.program_home() + "/State/copies";
  fs::create_directories(destination);
  fs::copy_file(first, disc);
  sandbox.WriteConfig(Settings(disc, destination, "CopyFirst = 1\n"), kPresets);

  RunningProgram program(sandbox.Environment("offscreen"), sandbox.Log("run"));
  pid_t encoder = 0;
  ASSERT_TRUE(WaitUntil(
      [&] {
        const auto encoders = RippingEncoders(program.pid(), destination);
        if (!encoders.empty()) encoder = encoders.front();
        return encoder != 0 || program.HasEnded();
      },
      kStartTimeout))
      << program.Printed();
  ASSERT_NE(encoder, 0) << program.Printed();
  EXPECT_NE(program.ErrorOutput().find("DVD Copied: The disc has been copied and can be taken out."),
            std::string::npos)
      << program.Printed();
  const auto arguments = CommandLine(encoder);
  EXPECT_NE(std::find(arguments.begin(), arguments.end(), copies + "/" + FilesIn(copies).at(0)),
            arguments.end())
      << ::testing::PrintToString(arguments);

  // Out for a poll, then another disc in: copied at once, encoded after.
  fs::remove(disc);
  std::this_thread::sleep_for(3s);
  fs::copy_file(second, disc + ".next");
  fs::rename(disc + ".next", disc);
  bool second_copied = false;
  ASSERT_TRUE(WaitUntil(
      [&] {
        for (const std::string& name : FilesIn(copies)) second_copied |= name.starts_with("SECOND_DISC_(");
        return second_copied || !IsEncoder(encoder);
      },
      30s));
  EXPECT_TRUE(second_copied) << "no copy of the second disc while the first one encoded";
  EXPECT_LE(RippingEncoders(program.pid(), destination).size(), 1u) << "two encoders at once";

  const std::string history_file = sandbox.program_home() + "/State/history.jsonl";
  ASSERT_TRUE(
      WaitUntil([&] { return Count(ReadFileBytes(history_file), "\"result\":\"complete\"") == 2; }, 120s))
      << program.Printed() << ReadFileBytes(history_file);
  const std::string history = ReadFileBytes(history_file);
  EXPECT_LE(RecordField(history, "MY MOVIE", "end"), RecordField(history, "SECOND DISC", "end")) << history;
  EXPECT_LT(RecordField(history, "MY MOVIE", "start"), RecordField(history, "SECOND DISC", "start"));
  EXPECT_EQ(FilesIn(destination).size(), 2u) << ::testing::PrintToString(FilesIn(destination));
  ExpectFinishedFilesWhole(destination, {{"MY_MOVIE", 20.0}, {"SECOND_DISC", 12.0}});
  EXPECT_TRUE(WaitUntil([&] { return FilesIn(copies).empty(); }, 5s))
      << ::testing::PrintToString(FilesIn(copies));
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

// Two sources watched: discs found together are both copied at once (their
// rips begin in the same poll), encoded one after the other, each once.
TEST(ProgramRip, TwoDrivesAreCopiedTogetherAndEachDiscRippedOnce) {
  const ProgramSandbox sandbox;
  const std::string destination = sandbox.user_home() + "/Rips/";
  const std::string first = sandbox.user_home() + "/first.iso";
  const std::string second = sandbox.user_home() + "/second.iso";
  fs::create_directories(destination);
  fs::copy_file(SampleDvdImage(12, "FIRST DISC"), first);
  fs::copy_file(SampleDvdImage(12, "SECOND DISC"), second);
  sandbox.WriteConfig(Settings(first + "|" + second, destination, "CopyFirst = 1\n"), kPresets);
  const std::string history_file = sandbox.program_home() + "/State/history.jsonl";
  RunningProgram program(sandbox.Environment("offscreen"), sandbox.Log("run"));
  ASSERT_TRUE(
      WaitUntil([&] { return Count(ReadFileBytes(history_file), "\"result\":\"complete\"") == 2; }, 120s))
      << program.Printed() << ReadFileBytes(history_file);
  // Another poll or two: neither disc is ripped again.
  std::this_thread::sleep_for(6s);
  const std::string history = ReadFileBytes(history_file);
  EXPECT_EQ(Count(history, "\"label\":"), 2) << history;
  // "2026-12-08 21:30:05": minutes and seconds of each rip's start.
  const auto seconds = [&](const std::string& label) {
    const std::string start = RecordField(history, label, "start");
    return start.size() < 5 ? -100
                            : std::stoi(start.substr(start.size() - 5, 2)) * 60 +
                                  std::stoi(start.substr(start.size() - 2));
  };
  EXPECT_LE(std::abs(seconds("FIRST DISC") - seconds("SECOND DISC")), 1) << history;
  EXPECT_EQ(FilesIn(destination).size(), 2u) << ::testing::PrintToString(FilesIn(destination));
  ExpectFinishedFilesWhole(destination, {{"FIRST_DISC", 12.0}, {"SECOND_DISC", 12.0}});
  program.Signal(SIGTERM);
  EXPECT_EQ(program.WaitForExit(kStopTimeout), 0) << program.Printed();
}

// Three sources: a disc whose copier never ends (a stand-in beside the
// program), a disc found with it, and one put in later. The stuck copy holds
// up neither the others' copies nor their encodes; each is ripped once.
TEST(ProgramRip, AStuckCopyHoldsUpNoOtherDrive) {
  const ProgramSandbox sandbox;
  const std::string bin = sandbox.sandbox() + "/bin/";
  fs::create_directories(bin);
  fs::copy_file(RIPWARDEN_PROGRAM, bin + "ripwarden");
  {
    std::ofstream stand_in(bin + "ripwarden-helper");
    stand_in << "#!/bin/sh\ncase \"$2\" in *stuck*) exec sleep 600 ;; esac\nexec " RIPWARDEN_HELPER
                " \"$@\"\n";
  }
  fs::permissions(bin + "ripwarden-helper", fs::perms::owner_all);
  const std::string destination = sandbox.user_home() + "/Rips/";
  const std::string first = sandbox.user_home() + "/first.iso";
  const std::string stuck = sandbox.user_home() + "/stuck.iso";
  const std::string later = sandbox.user_home() + "/later.iso";
  fs::create_directories(destination);
  fs::copy_file(SampleDvdImage(12, "FIRST DISC"), first);
  fs::copy_file(SampleDvdImage(20, "MY MOVIE"), stuck);
  sandbox.WriteConfig(Settings(first + "|" + stuck + "|" + later, destination, "CopyFirst = 1\n"), kPresets);
  const std::string history_file = sandbox.program_home() + "/State/history.jsonl";
  RunningProgram program(sandbox.Environment("offscreen"), sandbox.Log("run"), {bin + "ripwarden"});
  ASSERT_TRUE(
      WaitUntil([&] { return program.ErrorOutput().find("DVD Copied: Drive " + first) != std::string::npos; },
                kStartTimeout))
      << program.Printed();
  fs::copy_file(SampleDvdImage(12, "SECOND DISC"), later + ".part");
  fs::rename(later + ".part", later);
  ASSERT_TRUE(
      WaitUntil([&] { return Count(ReadFileBytes(history_file), "\"result\":\"complete\"") == 2; }, 120s))
      << program.Printed() << ReadFileBytes(history_file);
  std::this_thread::sleep_for(3s);
  const std::string history = ReadFileBytes(history_file);
  EXPECT_EQ(Count(history, "\"result\":\"complete\""), 2) << history;
  EXPECT_NE(RecordField(history, "SECOND DISC", "copied"), "") << history;
  const auto children = ChildrenOf(program.pid());
  EXPECT_TRUE(std::any_of(children.begin(), children.end(), [](pid_t child) {
    return CommandName(child) == "sleep";
  })) << "the stuck copy was given up";
  EXPECT_EQ(FilesIn(destination).size(), 2u) << ::testing::PrintToString(FilesIn(destination));
  ExpectFinishedFilesWhole(destination, {{"FIRST_DISC", 12.0}, {"SECOND_DISC", 12.0}});
  program.Signal(SIGTERM);
  EXPECT_EQ(program.WaitForExit(kStopTimeout), 0) << program.Printed();
}

// Killed while copying, then while encoding the copy, the disc still in:
// the half copy goes and the disc is copied again, the whole copy is
// encoded again, and the disc is ripped once.
TEST(ProgramRip, KillsMidCopyAndMidEncodeRipTheDiscOnceFromItsCopy) {
  const std::string image = SampleDvdImage(20, "KILLED DISC");
  const ProgramSandbox sandbox;
  const std::string destination = sandbox.user_home() + "/Rips/";
  const std::string state = sandbox.program_home() + "/State";
  fs::create_directories(destination);
  sandbox.WriteConfig(Settings(image, destination, "CopyFirst = 1\n"), kPresets);
  {
    RunningProgram program(sandbox.Environment("offscreen"), sandbox.Log("mid-copy"));
    pid_t copier = 0;
    ASSERT_TRUE(WaitUntil([&] { return (copier = CopierOf(program.pid())) != 0 || program.HasEnded(); },
                          kStartTimeout, 0ms));
    ASSERT_NE(copier, 0) << program.Printed();
    ::kill(copier, SIGSTOP);
    // The queue names the copy just after the copier starts.
    WaitUntil(
        [&] {
          return ReadFileBytes(state + "/queue.jsonl").find("\"state\":\"copying\"") != std::string::npos;
        },
        5s);
    program.Signal(SIGKILL);
    program.WaitForExit(kStopTimeout);
    ::kill(copier, SIGKILL);
  }
  ASSERT_NE(ReadFileBytes(state + "/queue.jsonl").find("\"state\":\"copying\""), std::string::npos)
      << "the copy was over before the kill";
  std::string copy;
  {
    RunningProgram program(sandbox.Environment("offscreen"), sandbox.Log("mid-encode"));
    ASSERT_TRUE(WaitUntil([&] { return !FilesIn(destination).empty() || program.HasEnded(); }, 90s))
        << program.Printed();
    const auto copies = FilesIn(state + "/copies");
    ASSERT_EQ(copies.size(), 1u) << ::testing::PrintToString(copies);
    copy = copies[0];
    program.Signal(SIGKILL);
    program.WaitForExit(kStopTimeout);
  }
  EXPECT_TRUE(WaitUntil([&] { return ProcessesInFolder(kEncoder, sandbox.sandbox()).empty(); }, 10s));
  for (const pid_t orphan : ProcessesInFolder(kEncoder, sandbox.sandbox())) ::kill(orphan, SIGKILL);
  EXPECT_EQ(FilesIn(state + "/copies"), std::vector<std::string>{copy});

  RunningProgram program(sandbox.Environment("offscreen"), sandbox.Log("again"));
  const std::string history_file = state + "/history.jsonl";
  bool copied_again = false;
  ASSERT_TRUE(WaitUntil(
      [&] {
        copied_again |= CopierOf(program.pid()) != 0;
        return Count(ReadFileBytes(history_file), "\"result\":\"complete\"") > 0 || program.HasEnded();
      },
      120s))
      << program.Printed() << ReadFileBytes(history_file);
  std::this_thread::sleep_for(3s);
  EXPECT_FALSE(copied_again || CopierOf(program.pid()) != 0) << "the copied disc was copied again";
  const auto files = FilesIn(destination);
  ASSERT_EQ(files.size(), 1u) << ::testing::PrintToString(files);
  ExpectFinishedFilesWhole(destination, {{"KILLED_DISC", 20.0}});
  EXPECT_TRUE(files[0].starts_with(copy)) << files[0] << " is not from " << copy;
  const std::string history = ReadFileBytes(history_file);
  EXPECT_EQ(Count(history, "\n"), 2) << history;
  EXPECT_EQ(Count(history, "\"result\":\"interrupted\""), 1) << history;
  EXPECT_EQ(Count(history, "\"result\":\"running\""), 0) << history;
  EXPECT_TRUE(FolderTree(state + "/copies").empty());
  program.Signal(SIGTERM);
  EXPECT_EQ(program.WaitForExit(kStopTimeout), 0) << program.Printed();
}

// A work folder without room for the copy: the disc is ripped directly.
TEST(ProgramRip, ACopyWithoutRoomFallsBackToADirectRip) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
  const std::string image = SampleDvdImage(12, "MY MOVIE");
  const ProgramSandbox sandbox;
  const std::string destination = sandbox.user_home() + "/Rips/";
  const std::string small = sandbox.user_home() + "/small";
  fs::create_directories(destination);
  fs::create_directories(small);
  if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=2m") != 0) GTEST_SKIP() << "no tmpfs here";
  sandbox.WriteConfig(Settings(image, destination, "CopyFirst = 1\nWorkFolder = " + small + "\n"), kPresets);
  {
    RunningProgram program(sandbox.Environment("offscreen"), sandbox.Log("run"));
    const std::string history_file = sandbox.program_home() + "/State/history.jsonl";
    EXPECT_TRUE(WaitUntil(
        [&] {
          const std::string history = ReadFileBytes(history_file);
          return (!history.empty() && Count(history, "\"result\":\"running\"") == 0) || program.HasEnded();
        },
        90s));
    EXPECT_EQ(Count(ReadFileBytes(history_file), "\"result\":\"complete\""), 1)
        << program.Printed() << ReadFileBytes(history_file);
    EXPECT_EQ(program.ErrorOutput().find("DVD Copied"), std::string::npos);
    program.Signal(SIGTERM);
    EXPECT_EQ(program.WaitForExit(kStopTimeout), 0) << program.Printed();
  }
  const bool nothing_copied = fs::is_empty(small);
  ::umount(small.c_str());
  EXPECT_TRUE(nothing_copied);
  ASSERT_EQ(FilesIn(destination).size(), 1u);
  ExpectFinishedFilesWhole(destination, {{"MY_MOVIE", 12.0}});
}

// A disc cut in the middle of its title: the copy says what it lacks.
TEST(ProgramRip, ADamagedCopyIsReportedWithItsUnreadableBlocks) {
  const std::string image = SampleDvdImage(12, "MY MOVIE");
  const ProgramSandbox sandbox;
  const std::string destination = sandbox.user_home() + "/Rips/";
  const std::string disc = sandbox.user_home() + "/damaged.iso";
  fs::create_directories(destination);
  const std::string whole = ReadFileBytes(image);
  const std::string vob = RunCapturing({"isoinfo", "-i", image, "-x", "/VIDEO_TS/VTS_01_1.VOB;1"}).output;
  const auto vob_start = whole.find(vob.substr(0, 4096));
  ASSERT_NE(vob_start, std::string::npos);
  std::ofstream(disc, std::ios::binary) << whole.substr(0, vob_start + vob.size() / 2);
  sandbox.WriteConfig(Settings(disc, destination, "CopyFirst = 1\n"), kPresets);

  RunningProgram program(sandbox.Environment("offscreen"), sandbox.Log("run"));
  const std::string history_file = sandbox.program_home() + "/State/history.jsonl";
  ASSERT_TRUE(WaitUntil(
      [&] {
        const std::string history = ReadFileBytes(history_file);
        return (!history.empty() && Count(history, "\"result\":\"running\"") == 0) || program.HasEnded();
      },
      90s))
      << program.Printed();
  std::smatch balloon, record;
  const std::string printed = program.ErrorOutput(), history = ReadFileBytes(history_file);
  ASSERT_TRUE(std::regex_search(
      printed, balloon,
      std::regex(R"(DVD Copied: The disc has been copied, but (\d+) unreadable blocks were skipped)")))
      << printed;
  ASSERT_TRUE(
      std::regex_search(history, record, std::regex(R"((\d+) unreadable blocks of the disc were skipped)")))
      << history;
  EXPECT_GE(std::stoi(balloon[1]), static_cast<int>(vob.size() / 2 / 2048));
  EXPECT_EQ(balloon[1], record[1]);
  program.Signal(SIGTERM);
  EXPECT_EQ(program.WaitForExit(kStopTimeout), 0) << program.Printed();
}

}  // namespace
}  // namespace ripwarden::testing
