#include <algorithm>
#include <filesystem>
#include <fstream>

#include "engine_fixture.h"
#include "platform/linux/posix_path_rules.h"
#include "rip/encoder_command.h"
#include "temp_folder.h"

namespace ripwarden::testing {
namespace {

using Arguments = std::vector<std::string>;
using RipStartTest = EngineTest;

TEST_F(RipStartTest, BuildsTheWorkedExampleByteForByte) {
  Insert();
  view.output.push_back("an earlier rip");
  engine.StartRip();
  EXPECT_EQ(
      view.TakeCalls(),
      (Arguments{
          "cancel: on", "bar: 0",
          "balloon: DVD Rip Started | A DVD has been inserted and is now being ripped. | Ripwarden | info",
          "status: Reading Disc...",
          "output: -i /dev/sr0 -o /srv/rips/MY_MOVIE_(2009-03-14_15-09-26).MP4.part -f av_mp4 -L -e x264 -b "
          "1500 -2 T "
          "-a 1 -E aac -B 160 -D 1.5"}));
  const auto& encoder = processes.process(Encoder());
  EXPECT_EQ(encoder.program, "/usr/bin/HandBrakeCLI");
  EXPECT_EQ(encoder.working_folder, "/srv/rips/");
  EXPECT_EQ(encoder.arguments,
            (Arguments{"-i",   "/dev/sr0", "-o",   "/srv/rips/MY_MOVIE_(2009-03-14_15-09-26).MP4.part",
                       "-f",   "av_mp4",   "-L",   "-e",
                       "x264", "-b",       "1500", "-2",
                       "T",    "-a",       "1",    "-E",
                       "aac",  "-B",       "160",  "-D",
                       "1.5"}));
  EXPECT_EQ(JobOf(engine).output_file, "/srv/rips/MY_MOVIE_(2009-03-14_15-09-26).MP4");
  EXPECT_TRUE(engine.IsRipping());
  EXPECT_EQ(view.output.back(), "an earlier rip");
  EXPECT_EQ(dialects.asked, Arguments{"/usr/bin/HandBrakeCLI"});
}

TEST_F(RipStartTest, SpeaksTheDialectOfTodaysEncoder) {
  Insert();
  dialects.dialect = {true, EncoderDialect::TwoPass::kBareFlag};
  engine.StartRip();
  EXPECT_EQ(view.output.front(),
            "-i /dev/sr0 -o /srv/rips/MY_MOVIE_(2009-03-14_15-09-26).MP4.part -f av_mp4 --main-feature -e "
            "x264 -b 1500 -2 "
            "-a 1 -E aac "
            "-B 160 -D 1.5");
  EXPECT_EQ(processes.process(Encoder()).arguments[6], "--main-feature");
  EXPECT_EQ(processes.process(Encoder()).arguments[11], "-2");
  EXPECT_EQ(processes.process(Encoder()).arguments[12], "-a");
}

// An encoder slow to say which options it takes: the rip waits for it,
// turn by turn, instead of holding the windows or guessing.
TEST_F(RipStartTest, WaitsForTheEncodersAnswerWithoutHoldingTheTurn) {
  Insert();
  dialects.answered = false;
  engine.StartRip();
  EXPECT_EQ(view.status, "Reading Disc...");
  EXPECT_EQ(processes.start_attempts(), 0);
  EXPECT_TRUE(engine.IsRipping());
  EXPECT_LE(engine.MillisecondsToNextPoll(), RipEngine::kPendingLookMs);
  engine.PollDrive();
  EXPECT_EQ(processes.start_attempts(), 0);
  dialects.answered = true;
  dialects.dialect = kCurrentDialect;
  engine.PollDrive();
  ASSERT_EQ(processes.start_attempts(), 1);
  EXPECT_EQ(processes.process(Encoder()).arguments[6], "--main-feature");
  EXPECT_EQ(dialects.asked.size(), 3u);
  EXPECT_EQ(engine.MillisecondsToNextPoll(), 2500u - 0u);
}

TEST_F(RipStartTest, LeavesOutCodecOptionsWithoutAPreset) {
  Insert();
  Set("Ripping", "Encoding", "");
  engine.StartRip();
  EXPECT_EQ(view.output.front(),
            "-i /dev/sr0 -o /srv/rips/MY_MOVIE_(2009-03-14_15-09-26).MP4.part -f av_mp4 -L");
}

// The fixture's settings file has no ChapterMarkers key, as files from before
// it: those keep the line above, which keeps the disc's chapters.
TEST_F(RipStartTest, DropsChaptersOnlyWhenTheSettingSaysSo) {
  Insert();
  Set("Ripping", "Encoding", "");
  Set("Ripping", "ChapterMarkers", "0");
  engine.StartRip();
  EXPECT_EQ(view.output.front(),
            "-i /dev/sr0 -o /srv/rips/MY_MOVIE_(2009-03-14_15-09-26).MP4.part -f av_mp4 -L --no-markers");
}

TEST_F(RipStartTest, GivesTwoPassOnlyToExactlyX264) {
  Insert();
  Set("Ripping", "Encoding", "X");
  engine.StartRip();
  EXPECT_EQ(view.output.front(),
            "-i /dev/sr0 -o /srv/rips/MY_MOVIE_(2009-03-14_15-09-26).MP4.part -f av_mp4 -L -e X264 -b 900 -a "
            "1 -E aac -B 96 "
            "-D 1.5");
}

TEST_F(RipStartTest, AnUnknownPresetStillGivesTheOptionsWithEmptyValues) {
  Insert();
  Set("Ripping", "Encoding", "Gone");
  Set("Ripping", "AudioBooster", "0");
  engine.StartRip();
  EXPECT_EQ(
      view.output.front(),
      "-i /dev/sr0 -o /srv/rips/MY_MOVIE_(2009-03-14_15-09-26).MP4.part -f av_mp4 -L -e  -b  -a 1 -E  -B ");
  EXPECT_EQ(processes.process(Encoder()).arguments,
            (Arguments{"-i", "/dev/sr0", "-o", "/srv/rips/MY_MOVIE_(2009-03-14_15-09-26).MP4.part", "-f",
                       "av_mp4", "-L", "-e", "", "-b", "", "-a", "1", "-E", "", "-B", ""}));
}

TEST_F(RipStartTest, PassesAwkwardFoldersAsSingleArguments) {
  drives.InsertDisc("/home/me/My Discs (old)/film.iso", {"udf", "FILM"});
  Set("Ripping", "SourceDrive", "/home/me/My Discs (old)/film.iso");
  Set("Ripping", "Destination", "/home/me/Rips; $HOME \"x\"/");
  files.PutFolder("/home/me/Rips; $HOME \"x\"/");
  engine.StartRip();
  const auto& arguments = processes.process(Encoder()).arguments;
  EXPECT_EQ(arguments[1], "/home/me/My Discs (old)/film.iso");
  EXPECT_EQ(arguments[3], "/home/me/Rips; $HOME \"x\"/FILM_(2009-03-14_15-09-26).MP4.part");
  EXPECT_EQ(processes.process(Encoder()).working_folder, "/home/me/Rips; $HOME \"x\"/");
}

TEST_F(RipStartTest, ClearsTheOutputOnlyWhenAskedTo) {
  Insert();
  view.output.push_back("old line");
  Set("Other", "ClearHandBrakeOutput", "1");
  engine.StartRip();
  EXPECT_EQ(view.output.size(), 1u);
  EXPECT_EQ(view.calls[0], "cancel: on");
  EXPECT_EQ(view.calls[1], "output cleared");
}

TEST_F(RipStartTest, ASecondStartWhileRippingChangesNothing) {
  Insert();
  engine.StartRip();
  view.TakeCalls();
  engine.StartRip();
  EXPECT_TRUE(view.calls.empty());
  EXPECT_EQ(processes.start_attempts(), 1);
}

TEST_F(RipStartTest, AFailedLaunchEndsTheRipAtOnceAndSaysWhy) {
  Insert();
  processes.FailNextStart("Permission denied");
  engine.StartRip();
  EXPECT_FALSE(engine.IsRipping());
  EXPECT_EQ(view.status,
            "FAILED: HandBrake could not be started (Permission denied). Check its location in the settings "
            "file.");
  EXPECT_FALSE(view.cancel_enabled);
  EXPECT_EQ(view.balloons, (Arguments{"DVD Rip Started", "DVD Rip Failed"}));
  EXPECT_EQ(
      view.calls.back(),
      "balloon: DVD Rip Failed | HandBrake could not be started (Permission denied). Check its location "
      "in the settings file. | Ripwarden | error");
  EXPECT_TRUE(std::any_of(view.output.begin(), view.output.end(), [](const std::string& line) {
    return line.starts_with("-i /dev/sr0 -o ");
  })) << "the command line is shown all the same";

  // Without a destination folder the encoder is never started: it would
  // write into whatever folder the program runs in.
  for (const char* destination : {"/srv/gone/", ""}) {
    Set("Ripping", "Destination", destination);
    view.TakeCalls();
    const int attempts = processes.start_attempts();
    engine.StartRip();
    EXPECT_EQ(processes.start_attempts(), attempts) << "destination '" << destination << "'";
    EXPECT_FALSE(engine.IsRipping());
    EXPECT_EQ(view.status, kNoDestinationText);
    EXPECT_EQ(view.calls.back(),
              "balloon: DVD Rip Failed | The destination folder does not exist. Choose it again in the "
              "settings window. | Ripwarden | error");
    EXPECT_EQ(view.balloons.back(), "DVD Rip Failed");
  }
}

TEST(CleanFileName, KeepsOnlyWhatAFileNameCanHold) {
  EXPECT_EQ(CleanFileName("A:B/C D"), "ABC_D");
  EXPECT_EQ(CleanFileName("<a>|b?*\"c\\"), "abc");
  EXPECT_EQ(CleanFileName("tab\there\nnew\x7F"
                          "del\x01"),
            "tabherenewdel");
  EXPECT_EQ(CleanFileName("Caf\xC3\xA9 ..."), "Caf\xC3\xA9_...");
  EXPECT_EQ(CleanFileName(""), "");
  EXPECT_EQ(CleanFileName(".."), "");
  EXPECT_EQ(CleanFileName(".hack//SIGN"), "hackSIGN") << "a leading dot hides the rip";
}

TEST(BuildEncoderCommand, EveryLabelGivesOneNameThatTheDestinationCanHold) {
  TempFolder destination;
  std::string long_label;  // 201 characters of two, three and four bytes
  for (int i = 0; i < 67; ++i) long_label += "\xC3\xA9\xE6\xBC\xA2\xF0\x9F\x8E\xAC";
  const std::vector<std::pair<std::string, std::string>> labels = {
      {"<>:\"/\\|?*", ""},
      {"\x01\t\n\x1B\x7F", ""},
      {"..", ""},
      {"../../etc/passwd", "etcpasswd"},
      // 218 bytes are left beside the time, the container and room for
      // ".incomplete": up to the last whole character.
      {long_label, long_label.substr(0, 218)}};
  RipRequest request;
  request.input_path = "/dev/sr0";
  request.container = "MP4";
  request.start = {2009, 3, 14, 15, 9, 26};
  for (const auto& [label, kept] : labels) {
    // The settings file may name the folder without its slash.
    for (const std::string& folder : {destination.path() + "/", destination.path()}) {
      request.label = label;
      request.destination = folder;
      const EncoderCommand command = BuildEncoderCommand(request, {}, linux_platform::PosixPathRules());
      EXPECT_EQ(command.output_file, destination.path() + "/" + kept + "_(2009-03-14_15-09-26).MP4");
      // The name while it is written and the name it is kept under if cut short fit too.
      for (const std::string& name :
           {command.output_file, command.encoding_file, IncompleteName(command.output_file)}) {
        std::ofstream(Utf8Path(name)) << "rip";
        EXPECT_TRUE(FileExists(name)) << "the file system refused " << name;
        std::filesystem::remove(Utf8Path(name));
      }
    }
  }
}

// One title of a series disc, as the engine asks for it title by title.
RipRequest SeriesTitleRequest() {
  RipRequest request;
  request.input_path = "/dev/sr0";
  request.destination = "/r/";
  request.label = "MY SERIES";
  request.container = "MKV";
  request.start = {2026, 12, 8, 14, 2, 48};
  request.encoding = "Normal";
  request.preset = "x264/1500/mp3/96";
  request.title = 3;
  request.name_with_title = true;
  return request;
}

TEST(BuildEncoderCommand, RipsOneTitleWithTheChosenTracksInsteadOfTheMainFeature) {
  RipRequest request = SeriesTitleRequest();
  request.audio_tracks = {"1", "2"};
  request.subtitle_tracks = {"1", "3"};
  request.foreign_audio_search = true;
  request.chapter_markers = "0";
  for (const EncoderDialect& dialect :
       {EncoderDialect{}, EncoderDialect{true, EncoderDialect::TwoPass::kClassic}}) {
    const EncoderCommand command = BuildEncoderCommand(request, dialect, linux_platform::PosixPathRules());
    EXPECT_EQ(command.output_file, "/r/MY_SERIES_(2026-12-08_14-02-48)_title03.MKV");
    EXPECT_EQ(
        command.display_line,
        "-i /dev/sr0 -o /r/MY_SERIES_(2026-12-08_14-02-48)_title03.MKV.part -f av_mkv -t 3 -e x264 -b 1500 "
        "-a 1,2 -E mp3 -B 96 -s scan,1,3 -F 1 --no-markers");
    EXPECT_EQ(Arguments(command.arguments.begin() + 6, command.arguments.end()),
              (Arguments{"-t", "3", "-e", "x264", "-b", "1500", "-a", "1,2", "-E", "mp3", "-B", "96", "-s",
                         "scan,1,3", "-F", "1", "--no-markers"}));
  }

  // Without a preset the encoder picks the codecs, but the tracks are still ours.
  request.encoding.clear();
  request.foreign_audio_search = false;
  request.subtitle_tracks = {"2"};
  request.chapter_markers = "1";
  request.title = 12;
  EXPECT_EQ(BuildEncoderCommand(request, {}, linux_platform::PosixPathRules()).display_line,
            "-i /dev/sr0 -o /r/MY_SERIES_(2026-12-08_14-02-48)_title12.MKV.part -f av_mkv -t 12 -a 1,2 -s 2");
  request.subtitle_tracks.clear();
  request.audio_tracks.clear();
  request.foreign_audio_search = true;
  request.title = 123;
  EXPECT_EQ(
      BuildEncoderCommand(request, {}, linux_platform::PosixPathRules()).display_line,
      "-i /dev/sr0 -o /r/MY_SERIES_(2026-12-08_14-02-48)_title123.MKV.part -f av_mkv -t 123 -s scan -F 1");
}

TEST(BuildEncoderCommand, ALongLabelGivesWayToTheTitle) {
  RipRequest request = SeriesTitleRequest();
  request.label = std::string(300, 'S');
  const EncoderCommand command = BuildEncoderCommand(request, {}, linux_platform::PosixPathRules());
  // 244 bytes leave room for ".incomplete"; the stamp, title and container take 34.
  EXPECT_EQ(command.output_file, "/r/" + std::string(210, 'S') + "_(2026-12-08_14-02-48)_title03.MKV");
}

TEST(BuildEncoderCommand, NamesAnUnlabelledDiscByItsTimeAlone) {
  RipRequest request;
  request.input_path = "/dev/sr0";
  request.destination = "/r/";
  request.container = "MKV";
  request.start = {2026, 12, 7, 9, 5, 3};
  EXPECT_EQ(BuildEncoderCommand(request, {}, linux_platform::PosixPathRules()).output_file,
            "/r/_(2026-12-07_09-05-03).MKV");
}

TEST(BuildEncoderCommand, TheTemporaryNameStillGetsTheChosenContainer) {
  RipRequest request;
  request.destination = "/r.d/";
  for (const auto& [container, format] : std::vector<std::pair<std::string, std::string>>{
           {"MKV", "av_mkv"}, {"webm", "av_webm"}, {"MP4", "av_mp4"}, {"AVI", "av_mp4"}, {"", "av_mp4"}}) {
    request.container = container;
    const EncoderCommand command = BuildEncoderCommand(request, {}, linux_platform::PosixPathRules());
    EXPECT_EQ(command.encoding_file, command.output_file + ".part");
    EXPECT_EQ(command.arguments[3], command.encoding_file);
    EXPECT_EQ((Arguments{command.arguments[4], command.arguments[5]}), (Arguments{"-f", format}))
        << container;
  }
  EXPECT_EQ(IncompleteName("/r.d/A_(1).MP4"), "/r.d/A_(1).incomplete.MP4");
  EXPECT_EQ(IncompleteName("/r.d/A"), "/r.d/A.incomplete");
}

}  // namespace
}  // namespace ripwarden::testing
