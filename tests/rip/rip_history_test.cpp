// The history of rips and what a rip leaves for the next start.
#include <algorithm>

#include "engine_fixture.h"
#include "rip/encoder_command.h"

namespace ripwarden::testing {
namespace {

TEST(RipRecordLine, ReadsBackEveryFieldAndStaysOneLineOfUtf8) {
  RipRecord record;
  record.id = "2026-12-08 07:27:17 /r/\"A\\B\".MP4";
  record.start = "2026-12-08 07:27:17";
  // A Latin-1 byte beside UTF-8, and texts that look like how such a byte is carried.
  record.label = "Caf\xE9 \xC3\xA9t\xC3\xA9\nline\ttab\x01 \\u00e9 \xEF\xBF\xBF\xC3\xA9 \xEF\xBF\xBF";
  record.output = "/r/\"A\\B\".MP4";
  record.result = "failed";
  record.reason = "The rip is incomplete: 0:12 of 1:30 was encoded.";
  record.exit_code = 0;
  record.frames_encoded = 300;
  record.frames_expected = 2250;
  record.seconds_encoded = 12.0;
  record.seconds_expected = 90.0;
  record.bytes = 1234567;
  record.titles = {{1, "/r/A-1.MP4", "complete", "", 10.0, 10.0},
                   {2, "/r/A-2.MP4", "failed", "Stopped at \xE9.", std::nullopt, 30.5}};
  const std::string line = RecordLine(record);
  EXPECT_EQ(line.find('\n'), std::string::npos);
  EXPECT_EQ(line.find('\xE9'), std::string::npos) << "a byte that is not UTF-8 went out as it stood";
  EXPECT_NE(line.find("\"signal\":null"), std::string::npos) << line;
  EXPECT_NE(line.find(R"("titles":[{"title":1,"output":"/r/A-1.MP4","result":"complete","reason":"",)"
                      R"("seconds_encoded":10.0,"seconds_expected":10.0},{"title":2,)"),
            std::string::npos)
      << line;
  EXPECT_EQ(ParseRecordLine(line), record);
  EXPECT_FALSE(ParseRecordLine(line.substr(0, line.size() / 2))) << "a cut line read as a record";
  record.titles.clear();
  EXPECT_EQ(RecordLine(record).find("titles"), std::string::npos);
}

// Lines as the program wrote them before it used a JSON library.
constexpr const char* kRunningLine =
    R"({"id":"2026-12-08 07:27:17 /srv/rips/Caf\u00e9.MKV","start":"","end":"","result":"running","reason":"",)"
    R"("label":"","source":"","output":"","exit_code":null,"signal":null,"frames_encoded":null,)"
    R"("frames_expected":null,"seconds_encoded":null,"seconds_expected":null,"bytes":null,"log":""})";
constexpr const char* kEndedLine =
    R"({"id":"2026-12-08 07:27:17 /srv/rips/Caf\u00e9.MKV","start":"2026-12-08 07:27:17",)"
    R"("end":"2026-12-08 08:01:02","result":"failed","reason":"Stopped.\n\"quoted\"\t\u0001",)"
    R"("label":"Caf\u00e9 )"
    "\xC3\xA9t\xC3\xA9"
    R"(","source":"sr0","output":"/srv/rips/Caf\u00e9.MKV","exit_code":0,"signal":null,"frames_encoded":300,)"
    R"("frames_expected":2250,"seconds_encoded":12.000,"seconds_expected":90.125,"bytes":1234567,)"
    R"("log":"/state/logs/rip.log"})";

TEST(RipRecordLine, ReadsTheLinesWrittenBeforeAndWritesTheirTextsAlike) {
  const auto ended = ParseRecordLine(kEndedLine);
  ASSERT_TRUE(ended);
  EXPECT_EQ(ended->id, "2026-12-08 07:27:17 /srv/rips/Caf\xE9.MKV");
  EXPECT_EQ(ended->label, "Caf\xE9 \xC3\xA9t\xC3\xA9");
  EXPECT_EQ(ended->reason, "Stopped.\n\"quoted\"\t\x01");
  EXPECT_EQ(ended->exit_code, 0);
  EXPECT_EQ(ended->signal, std::nullopt);
  EXPECT_EQ(ended->frames_expected, 2250);
  EXPECT_EQ(ended->seconds_encoded, 12.0);
  EXPECT_EQ(ended->seconds_expected, 90.125);
  EXPECT_EQ(ended->bytes, 1234567);
  EXPECT_EQ(ended->log, "/state/logs/rip.log");
  EXPECT_NE(RecordLine(*ended).find(R"("label":"Caf\u00e9 )"
                                    "\xC3\xA9t\xC3\xA9\""),
            std::string::npos)
      << "an older reader would read another label";
  const auto running = ParseRecordLine(kRunningLine);
  ASSERT_TRUE(running);
  EXPECT_EQ(running->result, "running");
  EXPECT_EQ(running->frames_encoded, std::nullopt);
}

class RipHistoryTest : public EngineTest {
 protected:
  std::string HistoryFile() const { return std::string(kRecords) + "/history.jsonl"; }
  void StartAndEndRip(int frames_got) {
    Insert();
    engine.StartRip();
    WriteOutputFile(frames_got);
    processes.Exit(Encoder(), 0);
    Poll();
  }
};

TEST_F(RipHistoryTest, KeepsTheNewestRecordsAndRewritesARecordInPlace) {
  RipHistory history(files, HistoryFile());
  for (int i = 0; i < 1005; ++i) {
    RipRecord record;
    record.id = std::to_string(i);
    record.result = "running";
    ASSERT_EQ(history.Write(record), HistoryWrite::kWritten);
  }
  RipRecord again;
  again.id = "500";
  again.result = "complete";
  ASSERT_EQ(history.Write(again), HistoryWrite::kWritten);
  const auto records = history.Records().value();
  ASSERT_EQ(records.size(), RipHistory::kMostRecords);
  EXPECT_EQ(records.front().id, "5");
  EXPECT_EQ(records.back().id, "1004");
  EXPECT_EQ(records[495], again);
}

TEST_F(RipHistoryTest, ARipStartedBeforeAnUpdateEndsInItsOwnRecord) {
  files.Put(HistoryFile(), std::string(kRunningLine) + "\n");
  const RipRecord ended = ParseRecordLine(kEndedLine).value();
  RipHistory history(files, HistoryFile());
  ASSERT_EQ(history.Write(ended), HistoryWrite::kWritten);
  EXPECT_EQ(history.Records(), std::vector<RipRecord>{ended});
}

TEST_F(RipHistoryTest, EachRipEndsWithItsResultAndASummaryLine) {
  StartAndEndRip(250);
  EXPECT_EQ(view.status, kCompleteText);
  EXPECT_EQ(view.output.front(), "Rip complete: /srv/rips/MY_MOVIE_(2009-03-14_15-09-26).MP4, 0:10, 0.0 MB");
  StartAndEndRip(120);
  EXPECT_EQ(view.status, "FAILED: The rip is incomplete: 0:05 of 0:10 was encoded.");
  EXPECT_TRUE(drives.ejected.empty());
  const auto records = History();
  ASSERT_EQ(records.size(), 2u) << "one start time, yet two rips";
  EXPECT_EQ(records[0].result, "complete");
  EXPECT_EQ(records[1].result, "failed");
  EXPECT_EQ(records[1].reason, "The rip is incomplete: 0:05 of 0:10 was encoded.");
  EXPECT_EQ(records[1].frames_encoded, 120);
  EXPECT_EQ(records[1].output, IncompleteName(records[0].output));
  EXPECT_EQ(records[1].bytes, 8);
}

// A rip running when the program died: its partial file takes the
// incomplete name, its record reads interrupted, earlier records stay.
TEST_F(RipHistoryTest, TheNextStartSettlesARipThatWasRunningWhenTheProgramDied) {
  StartAndEndRip(250);
  Insert("SECOND");
  engine.StartRip();
  files.Put(JobOf(engine).encoding_file, "moov?");
  files.Put(JobOf(engine).scratch_folder + "/hb.4242/pass.log", "stats");
  const std::string output = JobOf(engine).output_file;
  files.Put(HistoryFile() + ".junk", "");
  {
    // Nothing more is written: the new program starts from the files.
    FakeRipView fresh_view;
    RipEngine fresh{EngineServicesFor(fresh_view), "Ripwarden"};
    fresh.KeepRecords(kRecords, "");
    fresh.SettleLeftovers();
  }
  const auto records = History();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].result, "complete");
  EXPECT_EQ(records[1].result, "interrupted");
  EXPECT_EQ(records[1].output, IncompleteName(output));
  EXPECT_EQ(files.Content(IncompleteName(output)), "moov?");
  EXPECT_FALSE(files.Exists(output));
  EXPECT_FALSE(files.Exists(output + ".part"));
  EXPECT_TRUE(files.ListFolder(std::string(kRecords) + "/tmp").empty());
}

// A history that is there but cannot be read (a busy disk, a file another
// program holds) is never replaced by the few records written meanwhile.
TEST_F(RipHistoryTest, AHistoryThatCannotBeReadKeepsItsRecordsAndTheNewOnesAside) {
  EXPECT_EQ(RipHistory(files, HistoryFile()).Records(), std::vector<RipRecord>{}) << "no history is no error";
  StartAndEndRip(250);
  const auto before = files.Content(HistoryFile());
  files.refuse_reading.insert(HistoryFile());
  EXPECT_FALSE(RipHistory(files, HistoryFile()).Records());
  StartAndEndRip(120);
  EXPECT_EQ(files.Content(HistoryFile()), before);
  const std::string aside = std::string(kRecords) + "/history-kept.jsonl";
  EXPECT_EQ(view.output.front(),
            "The rip history could not be read, so this rip's record was kept in " + aside + ".");

  // Readable again: the rip kept aside counts, and the next write folds it in.
  files.refuse_reading.clear();
  ASSERT_EQ(History().size(), 2u);
  EXPECT_EQ(History()[1].result, "failed");
  files.refuse_reading.insert(HistoryFile());
  Insert("THIRD");
  engine.StartRip();
  files.refuse_reading.clear();
  files.refuse_removal.insert(aside);
  WriteOutputFile(250);
  processes.Exit(Encoder(), 0);
  Poll();
  EXPECT_EQ(RipHistory(files, aside).Records().value().back().result, "running")
      << "the test kept no stale copy";
  const auto records = History();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].result, "complete");
  EXPECT_EQ(records[1].result, "failed");
  EXPECT_EQ(records[2].result, "complete") << "a stale copy kept aside undid the rip's end";
}

// A partial file on a destination that is not there yet (a network share or
// a USB disk mounted after login), or that cannot take its new name, waits
// for a later start; a rip that left no file on a present destination is
// settled at once.
TEST_F(RipHistoryTest, ARipWhosePartialFileCannotBeReachedStaysOpenForALaterStart) {
  RipHistory history(files, HistoryFile());
  for (const std::string output : {"/mnt/nas/A.MP4", "/srv/rips/B.MP4", "/srv/rips/C.MP4"}) {
    RipRecord running;
    running.id = output;
    running.output = output;
    running.result = "running";
    ASSERT_EQ(history.Write(running), HistoryWrite::kWritten);
  }
  files.Put("/srv/rips/B.MP4.part", "ftyp");
  files.refuse_rename.insert("/srv/rips/B.MP4.part");
  engine.SettleLeftovers();
  auto records = History();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].result, "running");
  EXPECT_EQ(records[1].result, "running");
  EXPECT_EQ(records[2].result, "interrupted");
  EXPECT_EQ(records[2].output, "");

  files.PutFolder("/mnt/nas/");
  files.Put("/mnt/nas/A.MP4.part", "ftyp....");
  files.refuse_rename.clear();
  engine.SettleLeftovers();
  records = History();
  EXPECT_EQ(records[0].result, "interrupted");
  EXPECT_EQ(records[0].output, "/mnt/nas/A.incomplete.MP4");
  EXPECT_EQ(records[0].bytes, 8);
  EXPECT_EQ(records[1].output, "/srv/rips/B.incomplete.MP4");
  EXPECT_TRUE(files.Exists("/srv/rips/B.incomplete.MP4"));
}

TEST_F(RipHistoryTest, KeepsOnlyTheNewestLogs) {
  const std::string logs = std::string(kRecords) + "/logs";
  for (int i = 0; i < 60; ++i) files.Put(logs + "/old-" + std::to_string(100 + i) + ".log", "log");
  Insert();
  engine.StartRip();
  auto kept = files.ListFolder(logs);
  std::sort(kept.begin(), kept.end());
  ASSERT_EQ(kept.size(), RipEngine::kMostLogs - 1) << "no room for the log being written";
  EXPECT_EQ(kept.front(), "old-111.log");
  EXPECT_EQ(processes.process(Encoder()).options.error_log, JobOf(engine).record.log);
  EXPECT_EQ(processes.process(Encoder()).options.temp_folder, JobOf(engine).scratch_folder);
}

}  // namespace
}  // namespace ripwarden::testing
