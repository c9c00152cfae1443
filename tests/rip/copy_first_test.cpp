#include <algorithm>

#include "engine_fixture.h"
#include "rip/rip_queue.h"
#include "temp_folder.h"

namespace ripwarden::testing {
namespace {

using Arguments = std::vector<std::string>;
using State = QueuedRip::State;

constexpr const char* kCopies = "/state/ripwarden/copies/";
constexpr const char* kEncoder = "/usr/bin/HandBrakeCLI";

// The settings a rip began with, as the queue keeps them for its encode.
std::vector<std::string> TitleSettings(const RipRequest& request) {
  return {request.titles,          request.shortest_title,     request.longest_title,
          request.audio_languages, request.subtitle_languages, request.chapter_markers};
}

// A line as the program wrote it before it kept the title settings.
TEST(QueueLine, ReadsOlderLinesAndKeepsTheSettingsTheRipBeganWith) {
  const auto old = ParseQueueLine(
      R"({"id":"2026-12-08 07:27:17 /srv/rips/Caf\u00e9.MKV","state":"copied","reason":"",)"
      R"("copy":"/state/copies/Caf\u00e9","skipped_blocks":7,"source":"sr0","encoder":"/usr/bin/HandBrakeCLI",)"
      R"("destination":"/srv/rips","label":"Caf\u00e9 )"
      "\xC3\xA9t\xC3\xA9"
      R"(","start":"2026-12-08 07:27:17","container":"MKV","encoding":"Normal","preset":"-e x264 -q 20",)"
      R"("two_pass":"1","audio_booster":"2"})");
  ASSERT_TRUE(old);
  EXPECT_EQ(old->state, State::kCopied);
  EXPECT_EQ(old->copy_folder, "/state/copies/Caf\xE9");
  EXPECT_EQ(old->skipped_blocks, 7);
  EXPECT_EQ(old->request.label, "Caf\xE9 \xC3\xA9t\xC3\xA9");
  EXPECT_EQ(old->request.start, (LocalDateTime{2026, 12, 8, 7, 27, 17}));
  EXPECT_EQ(old->request.preset, "-e x264 -q 20");
  EXPECT_EQ(old->request.audio_booster, "2");
  EXPECT_EQ(TitleSettings(old->request), std::vector<std::string>(6));

  QueuedRip rip = *old;
  const std::vector<std::string> settings{"All", "10", "200", "eng, fre", "ger", "1"};
  rip.request.titles = settings[0];
  rip.request.shortest_title = settings[1];
  rip.request.longest_title = settings[2];
  rip.request.audio_languages = settings[3];
  rip.request.subtitle_languages = settings[4];
  rip.request.chapter_markers = settings[5];
  rip.request.title = 3;
  const auto back = ParseQueueLine(QueueLine(rip));
  ASSERT_TRUE(back);
  EXPECT_EQ(TitleSettings(back->request), settings);
  EXPECT_EQ(back->request.label, rip.request.label);
  EXPECT_EQ(back->request.title, 0) << "a title of the disc is chosen anew for each encode";
}

// Copy first over fakes: the copier is a fake process the test ends, the
// whole-file check is answered at once from the probe's lengths.
class CopyFirstTest : public EngineTest {
 protected:
  CopyFirstTest() {
    Set("Ripping", "CopyFirst", "1");
    Set("Other", "EjectOnFinish", "1");
    engine.KeepRecords(kRecords, FakeMediaProbe::kHelper);
    processes.answer = [this](const std::string& program, const Arguments& arguments) {
      return program == FakeMediaProbe::kHelper ? media_probe.Answer(arguments) : std::nullopt;
    };
  }

  // The newest process of a program (and helper command), or none.
  ChildProcess Newest(const std::string& program, const std::string& command = {}) {
    const auto& started = processes.started();
    for (auto it = started.rbegin(); it != started.rend(); ++it) {
      const auto& process = processes.process(*it);
      if (process.program == program && (command.empty() || process.arguments[0] == command)) return *it;
    }
    return kNoProcess;
  }
  int Count(const std::string& program) {
    return static_cast<int>(
        std::count_if(processes.started().begin(), processes.started().end(),
                      [&](ChildProcess p) { return processes.process(p).program == program; }));
  }
  // The copier makes its folder, says how it went and exits.
  void FinishCopy(int code = 0,
                  const std::string& said = "Copied: 4096 bytes, 0 unreadable blocks skipped\n") {
    const ChildProcess copier = Newest(FakeMediaProbe::kHelper, "copy");
    const std::string folder = processes.process(copier).arguments[2];
    if (code == 0 || code == 2) {
      files.PutFolder(folder);
      files.Put(folder + "/VIDEO_TS/VIDEO_TS.IFO", "DVDVIDEO-VMG");
    }
    processes.Output(copier, said);
    processes.Exit(copier, code);
    engine.ContinueWork();
  }
  // The newest encoder writes a whole file, or stops with code; then a poll.
  void FinishEncode(int code = 0) {
    EndEncoder(code);
    Poll();
  }
  void EndEncoder(int code) {
    const ChildProcess encoder = Newest(kEncoder);
    const auto& process = processes.process(encoder);
    if (code == 0) {
      files.Put(process.arguments[3], "ftyp....");
      files.Put(process.options.error_log,
                "[10:25:24] scan: duration is 00:00:10 (10000 ms)\n[10:25:30] sync: got 250 frames, 250 "
                "expected\n");
      media_probe.durations[process.arguments[3]] = 10.0;
    }
    processes.Exit(encoder, code);
  }
  // Some call to the view, or line of output, held this text.
  bool Said(const std::string& text) {
    const auto holds = [&](const std::string& line) { return line.find(text) != std::string::npos; };
    return std::any_of(view.calls.begin(), view.calls.end(), holds) ||
           std::any_of(view.output.begin(), view.output.end(), holds);
  }
  std::vector<QueuedRip> Queue() {
    return RipQueueFile(files, std::string(kRecords) + "/queue.jsonl").Load();
  }
  std::vector<std::string> Rows() {
    std::vector<std::string> rows;
    for (const auto& row : engine.QueueRows()) rows.push_back(row.text);
    return rows;
  }

  FakeMediaProbe media_probe;
};

TEST_F(CopyFirstTest, CopiesTheDiscFreesItAndEncodesFromTheCopy) {
  Insert();
  engine.StartRip();
  const std::string copy = std::string(kCopies) + "MY_MOVIE_(2009-03-14_15-09-26)";
  EXPECT_EQ(processes.process(Newest(FakeMediaProbe::kHelper)).arguments,
            (Arguments{"copy", "/dev/sr0", copy + ".copying"}));
  EXPECT_EQ(processes.process(Newest(FakeMediaProbe::kHelper)).options.error_log,
            std::string(kRecords) + "/logs/MY_MOVIE_(2009-03-14_15-09-26).MP4.copy.log");
  EXPECT_EQ(Count(kEncoder), 0);
  // The copier's end is seen at once, not at the next drive poll.
  EXPECT_LE(engine.MillisecondsToNextPoll(), RipEngine::kCopyLookMs);
  ASSERT_EQ(Queue().size(), 1u);
  EXPECT_EQ(Queue()[0].state, State::kCopying);

  processes.Output(Newest(FakeMediaProbe::kHelper),
                   "Copying: title set 1 of 2, 42.50 % (9.1 MB/s, ETA 00h00m03s)\n");
  engine.ContinueWork();
  EXPECT_EQ(view.status, "Copying the disc: 42.50%");
  EXPECT_EQ(Rows(), Arguments{"MY MOVIE: copying, 42.50 % (9.1 MB/s, ETA 00h00m03s)"});

  FinishCopy();
  EXPECT_EQ(drives.ejected, Arguments{"sr0"});
  EXPECT_EQ(view.balloons.back(), "DVD Copied");
  EXPECT_TRUE(files.IsFolder(copy));
  EXPECT_EQ(processes.process(Newest(kEncoder)).arguments[1], copy);
  EXPECT_EQ(Queue()[0].state, State::kCopied);
  EXPECT_EQ(History().back().copied, "2009-03-14 15:09:26");

  // The disc is out and the rip goes on: nothing reads it any more.
  Poll();
  EXPECT_TRUE(engine.IsRipping());
  FinishEncode();
  EXPECT_EQ(view.status, kCompleteText);
  EXPECT_EQ(view.balloons, (Arguments{"DVD Rip Started", "DVD Copied", "Rip Complete!"}));
  EXPECT_FALSE(files.IsFolder(copy));
  EXPECT_TRUE(Queue().empty());
  EXPECT_EQ(History().back().result, "complete");
  EXPECT_EQ(drives.ejected.size(), 1u);
}

TEST_F(CopyFirstTest, ASecondDiscIsCopiedAtOnceAndEncodedAfterTheFirst) {
  Set("Other", "AutoRip", "1");
  Insert("FIRST");
  Poll();
  FinishCopy();
  ASSERT_EQ(Count(kEncoder), 1);
  Insert("SECOND");
  Poll();
  EXPECT_EQ(processes.process(Newest(FakeMediaProbe::kHelper, "copy")).arguments[1], "/dev/sr0");
  FinishCopy();
  EXPECT_EQ(Count(kEncoder), 1);
  EXPECT_EQ(Rows()[1], "SECOND: waiting");
  // The next encode starts as soon as the encoder is gone, not at the next poll.
  EndEncoder(0);
  engine.ContinueWork();
  ASSERT_EQ(Count(kEncoder), 2);
  EXPECT_NE(processes.process(Newest(kEncoder)).arguments[1].find("SECOND"), std::string::npos);
  FinishEncode();
  const auto history = History();
  ASSERT_EQ(history.size(), 2u);
  EXPECT_EQ(history[0].label + " " + history[0].result, "FIRST complete");
  EXPECT_EQ(history[1].label + " " + history[1].result, "SECOND complete");
  EXPECT_TRUE(Queue().empty());
}

TEST_F(CopyFirstTest, TooLittleSpaceRipsTheDiscDirectly) {
  Insert();
  engine.StartRip();
  FinishCopy(3, "Error: Not enough space for a copy: it needs 80 MB and the work folder has 10 MB free.\n");
  EXPECT_EQ(processes.process(Newest(kEncoder)).arguments[1], "/dev/sr0");
  EXPECT_TRUE(Said("ripped directly instead"));
  EXPECT_TRUE(Queue().empty());
}

TEST_F(CopyFirstTest, ADamagedCopyIsReportedWithItsSkippedBlocks) {
  Insert();
  engine.StartRip();
  FinishCopy(2, "Copied: 4096 bytes, 7 unreadable blocks skipped\n");
  EXPECT_TRUE(Said("status: Copied, but 7 unreadable blocks were skipped."));
  EXPECT_TRUE(Said("balloon: DVD Copied | The disc has been copied, but 7 unreadable blocks were skipped"));
  FinishEncode();
  EXPECT_NE(History().back().reason.find("7 unreadable blocks"), std::string::npos);
}

TEST_F(CopyFirstTest, AFailedEncodeKeepsItsCopyForRetryOrRemove) {
  Insert();
  engine.StartRip();
  FinishCopy();
  FinishEncode(3);
  const std::string copy = Queue().at(0).copy_folder;
  EXPECT_EQ(Queue()[0].state, State::kFailed);
  EXPECT_TRUE(files.IsFolder(copy));
  EXPECT_EQ(Rows(), Arguments{"MY MOVIE: failed: HandBrake stopped before finishing the rip (exit code 3)."});
  EXPECT_FALSE(engine.IsRipping());

  engine.RetryJob(engine.QueueRows()[0].serial);
  ASSERT_EQ(Count(kEncoder), 2);
  EXPECT_EQ(processes.process(Newest(kEncoder)).arguments[1], copy);
  FinishEncode(3);
  engine.RemoveJob(engine.QueueRows()[0].serial);
  EXPECT_FALSE(files.IsFolder(copy));
  EXPECT_TRUE(Queue().empty());
  EXPECT_TRUE(engine.QueueRows().empty());
}

// The program dies (no shutdown at all) with one copy encoding and the next
// disc half copied; the next start encodes the first again from its copy and
// forgets the half copy, whose disc is ripped when it comes back.
TEST_F(CopyFirstTest, AfterACrashTheWholeCopyIsEncodedAgainAndTheHalfCopyGoes) {
  Set("Other", "AutoRip", "1");
  Set("Other", "EjectOnFinish", "0");
  Insert("FIRST");
  Poll();
  FinishCopy();
  const std::string part = processes.process(Newest(kEncoder)).arguments[3];
  files.Put(part, "half a film");
  drives.RemoveDisc("sr0");
  Poll();
  Insert("SECOND");
  Poll();
  const std::string half = processes.process(Newest(FakeMediaProbe::kHelper, "copy")).arguments[2];
  files.PutFolder(half);
  // A copy named, so whole, when the program died before the queue said so.
  drives.AddDrive("sr1");
  Set("Ripping", "SourceDrive", "sr0|sr1");
  drives.InsertDisc("sr1", {"udf", "THIRD"});
  Poll();
  const std::string named = processes.process(Newest(FakeMediaProbe::kHelper, "copy")).arguments[2];
  files.PutFolder(named.substr(0, named.rfind(".copying")));
  const int copies = Count(FakeMediaProbe::kHelper);

  FakeRipView after_view;
  RipEngine after{EngineServicesFor(after_view), "Ripwarden"};
  after.KeepRecords(kRecords, FakeMediaProbe::kHelper);
  after.SettleLeftovers();
  EXPECT_FALSE(files.Exists(part));
  EXPECT_FALSE(files.IsFolder(half));
  ASSERT_EQ(Queue().size(), 2u);
  EXPECT_EQ(Queue()[0].request.label, "FIRST");
  EXPECT_EQ(Queue()[1].request.label, "THIRD");
  EXPECT_EQ(Queue()[1].state, State::kCopied);
  EXPECT_EQ(History()[1].result, "interrupted");
  clock.Advance(2500);
  after.PollDrive();
  EXPECT_NE(processes.process(Newest(kEncoder)).arguments[1].find("FIRST"), std::string::npos);
  EXPECT_EQ(Count(kEncoder), 2);
  EndEncoder(0);
  clock.Advance(2500);
  after.PollDrive();
  EXPECT_EQ(History()[0].result, "complete");
  EXPECT_NE(processes.process(Newest(kEncoder)).arguments[1].find("THIRD"), std::string::npos);
  // The half-copied disc still in its drive is copied anew, the whole one not.
  ASSERT_EQ(Queue().size(), 2u);
  EXPECT_EQ(Queue()[1].request.label, "SECOND");
  EXPECT_EQ(Queue()[1].state, State::kCopying);
  EXPECT_EQ(Count(FakeMediaProbe::kHelper), copies + 1);
}

TEST_F(CopyFirstTest, QuittingStopsTheEncodeAndKeepsItsCopyForTheNextStart) {
  Insert();
  engine.StartRip();
  FinishCopy();
  const std::string part = processes.process(Newest(kEncoder)).arguments[3];
  files.Put(part, "half a film");
  engine.Shutdown();
  RunWhileStopping(engine, clock);
  EXPECT_FALSE(engine.IsRipping());
  EXPECT_FALSE(files.Exists(part));
  ASSERT_EQ(Queue().size(), 1u);
  EXPECT_EQ(Queue()[0].state, State::kCopied);
  EXPECT_TRUE(files.IsFolder(Queue()[0].copy_folder));
  EXPECT_EQ(History().back().result, "interrupted");
}

// A series disc with every title chosen: its copy is scanned, each episode
// encoded to its own file in turn, and a failed one named; Retry rips only
// the titles without a finished file.
TEST_F(CopyFirstTest, ASeriesIsRippedTitleByTitleAndRetriesOnlyWhatFailed) {
  Set("Ripping", "Titles", "All");
  Set("Ripping", "ShortestTitle", "0");
  Set("Ripping", "AudioLanguages", "eng,fra");
  const std::string scan = ReadFileBytes(ASSETS_DIR "/handbrake-1.6.1/scan-series.out");
  processes.answer = [&](const std::string& program, const Arguments& arguments) {
    if (program == FakeMediaProbe::kHelper) return media_probe.Answer(arguments);
    if (std::find(arguments.begin(), arguments.end(), "--scan") == arguments.end())
      return std::optional<FakeProcessRunner::Answer>();
    return std::optional(FakeProcessRunner::Answer{scan, 0});
  };
  const auto encoded = [&] { return processes.process(Newest(kEncoder)).arguments[3]; };
  Insert("MY SERIES");
  engine.StartRip();
  FinishCopy();
  for (int turn = 0; turn < 3; ++turn) engine.ContinueWork();
  EXPECT_EQ(Rows(), Arguments{"MY SERIES: encoding title 1 of 3"});
  EXPECT_TRUE(Said("ripping titles 1 (0:12), 2 (0:14), 3 (0:16)")) << ::testing::PrintToString(view.output);
  EXPECT_TRUE(encoded().ends_with("_title01.MP4.part")) << encoded();
  FinishEncode(3);
  EXPECT_TRUE(encoded().ends_with("_title02.MP4.part")) << encoded();
  FinishEncode();
  FinishEncode();
  EXPECT_EQ(Count(kEncoder), 3);
  EXPECT_EQ(view.status, "FAILED: Not every title was ripped: 1 of 3 titles failed (title 1).");
  const RipRecord failed = History().back();
  ASSERT_EQ(failed.titles.size(), 3u);
  EXPECT_EQ(failed.titles[0].result + failed.titles[1].result + failed.titles[2].result,
            "failedcompletecomplete");
  EXPECT_TRUE(failed.titles[1].output.ends_with("_title02.MP4"));

  engine.RetryJob(engine.QueueRows()[0].serial);
  for (int turn = 0; turn < 3; ++turn) engine.ContinueWork();
  ASSERT_EQ(Count(kEncoder), 4);
  EXPECT_TRUE(encoded().ends_with("_title01.MP4.part")) << encoded();
  FinishEncode();
  EXPECT_EQ(Count(kEncoder), 4) << "a title with its finished file was ripped again";
  EXPECT_EQ(view.status, kCompleteText);
  EXPECT_EQ(History().back().titles.size(), 3u);
  EXPECT_TRUE(Queue().empty());
}

// Two drives: discs found together are copied side by side under names
// that differ, each balloon names its drive, each disc is ripped once, and a
// copy that never ends holds up neither the other copy nor its encode.
TEST_F(CopyFirstTest, DiscsInTwoDrivesAreCopiedTogetherAndRippedOnceEach) {
  drives.AddDrive("sr1");
  Set("Ripping", "SourceDrive", "sr0 | sr1");
  Set("Other", "AutoRip", "1");
  drives.InsertDisc("sr0", {"udf", "SAME"});
  drives.InsertDisc("sr1", {"udf", "SAME"});
  Poll();
  std::vector<ChildProcess> copiers;
  for (const ChildProcess process : processes.started()) {
    if (processes.process(process).arguments[0] == "copy") copiers.push_back(process);
  }
  ASSERT_EQ(copiers.size(), 2u);
  EXPECT_EQ(processes.process(copiers[0]).arguments[1], "/dev/sr0");
  EXPECT_EQ(processes.process(copiers[1]).arguments[2],
            std::string(kCopies) + "SAME_(2009-03-14_15-09-26)_2.copying");
  EXPECT_TRUE(Said("Drive sr1: A DVD has been inserted and is now being ripped."));
  Poll();
  EXPECT_EQ(view.disc_label, "sr0: SAME (copying); sr1: SAME (copying)");

  // The first drive's copy hangs; the second's ends and is encoded.
  const ChildProcess second = copiers[1];
  files.PutFolder(processes.process(second).arguments[2]);
  processes.Exit(second, 0);
  engine.ContinueWork();
  Poll();
  ASSERT_EQ(Count(kEncoder), 1);
  EXPECT_NE(processes.process(Newest(kEncoder)).arguments[1].find("SAME_(2009-03-14_15-09-26)_2"),
            std::string::npos);
  FinishEncode();
  EXPECT_EQ(History().back().result, "complete");
  EXPECT_TRUE(processes.IsProcessRunning(copiers[0]));
  Poll();
  EXPECT_EQ(Count(FakeMediaProbe::kHelper), 2) << "a disc copied twice";
}

// Without copies a disc in the second drive waits, and says so once, until
// the rip under way ends.
TEST_F(CopyFirstTest, WithoutCopiesTheOtherDriveWaitsForTheRipUnderWay) {
  drives.AddDrive("sr1");
  Set("Ripping", "CopyFirst", "0");
  Set("Ripping", "SourceDrive", "sr0|sr1");
  Set("Other", "AutoRip", "1");
  drives.InsertDisc("sr0", {"udf", "FIRST"});
  drives.InsertDisc("sr1", {"udf", "SECOND"});
  Poll();
  Poll();
  ASSERT_EQ(Count(kEncoder), 1);
  EXPECT_EQ(std::count(view.balloons.begin(), view.balloons.end(), "DVD Waiting"), 1);
  EXPECT_EQ(view.disc_label, "sr0: FIRST (ripping); sr1: SECOND (waiting)");
  FinishEncode();
  ASSERT_EQ(Count(kEncoder), 2);
  EXPECT_EQ(processes.process(Newest(kEncoder)).arguments[1], "/dev/sr1");
  FinishEncode();
  EXPECT_EQ(drives.ejected, (Arguments{"sr0", "sr1"}));
  drives.InsertDisc("sr1", {"udf", "SECOND"});
  Poll();
  EXPECT_EQ(view.disc_label, "sr0: [Empty]; sr1: SECOND") << "a disc ripped is no longer waiting";
}

}  // namespace
}  // namespace ripwarden::testing
