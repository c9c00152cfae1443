// The whole program copying discs first and ripping them from their copies,
// with the real copier and encoder, from one drive and from several.
#include "program/rip/program_rip.h"

namespace ripwarden::testing {
namespace {

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

// Several sources: two discs found together are copied at once (their rips
// begin in the same poll), a disc whose copier never ends (a stand-in beside
// the program) holds up no other drive, and a disc put in later is copied
// and ripped while it hangs. Each disc is ripped once.
TEST(ProgramRip, DrivesCopyTogetherAndAStuckOneHoldsUpNone) {
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
  const auto source = [&](const std::string& name) { return sandbox.user_home() + "/" + name + ".iso"; };
  fs::create_directories(destination);
  fs::copy_file(SampleDvdImage(12, "FIRST DISC"), source("first"));
  fs::copy_file(SampleDvdImage(12, "SECOND DISC"), source("second"));
  fs::copy_file(SampleDvdImage(4, "COPIER TEST"), source("stuck"));
  sandbox.WriteConfig(
      Settings(source("first") + "|" + source("second") + "|" + source("stuck") + "|" + source("later"),
               destination, "CopyFirst = 1\n"),
      kPresets);
  const std::string history_file = sandbox.program_home() + "/State/history.jsonl";
  RunningProgram program(sandbox.Environment("offscreen"), sandbox.Log("run"), {bin + "ripwarden"});
  ASSERT_TRUE(WaitUntil(
      [&] { return program.ErrorOutput().find("DVD Copied: Drive " + source("first")) != std::string::npos; },
      kStartTimeout))
      << program.Printed();
  fs::copy_file(SampleDvdImage(12, "MY MOVIE"), source("later") + ".part");
  fs::rename(source("later") + ".part", source("later"));
  ASSERT_TRUE(
      WaitUntil([&] { return Count(ReadFileBytes(history_file), "\"result\":\"complete\"") == 3; }, 180s))
      << program.Printed() << ReadFileBytes(history_file);
  // Another poll or two: no disc is ripped again.
  std::this_thread::sleep_for(6s);
  const std::string history = ReadFileBytes(history_file);
  EXPECT_EQ(Count(history, "\"result\":\"complete\""), 3) << history;
  EXPECT_EQ(Count(history, "\"label\":"), 4) << history;
  // "2026-12-08 21:30:05": minutes and seconds of each rip's start.
  const auto seconds = [&](const std::string& label) {
    const std::string start = RecordField(history, label, "start");
    return start.size() < 5 ? -100
                            : std::stoi(start.substr(start.size() - 5, 2)) * 60 +
                                  std::stoi(start.substr(start.size() - 2));
  };
  EXPECT_LE(std::abs(seconds("FIRST DISC") - seconds("SECOND DISC")), 1) << history;
  EXPECT_NE(RecordField(history, "MY MOVIE", "copied"), "") << history;
  const auto children = ChildrenOf(program.pid());
  EXPECT_TRUE(std::any_of(children.begin(), children.end(), [](pid_t child) {
    return CommandName(child) == "sleep";
  })) << "the stuck copy was given up";
  EXPECT_EQ(FilesIn(destination).size(), 3u) << ::testing::PrintToString(FilesIn(destination));
  ExpectFinishedFilesWhole(destination, {{"FIRST_DISC", 12.0}, {"SECOND_DISC", 12.0}, {"MY_MOVIE", 12.0}});
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
