// Rip after rip through the whole program, as a user feeding it discs for
// days would: the image named as the drive is replaced by one with the next
// label as soon as the last rip's file is written. What the program holds
// (descriptors, threads, children, memory) must not grow with the rips.
// SOAK_RIPS sets how many (50 by default).
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <regex>
#include <set>
#include <thread>

#include "helpers/disc_images.h"
#include "helpers/fake_encoder_control.h"
#include "helpers/media_probe.h"
#include "helpers/sample_dvd.h"
#include "program/running_program.h"

namespace ripwarden::testing {
namespace {

namespace fs = std::filesystem;

constexpr auto kRipTimeout = 30s;
constexpr int kDescriptorSlack = 2;
constexpr int kThreadSlack = 2;
constexpr long kMemorySlackKb = 32 * 1024;

// Finished as quickly as an encoder can: a progress line, the muxing line
// that ejects the disc, and a whole file.
std::string EncoderScript() {
  return "write Encoding: task 1 of 1, 50.00 %\\r\n"
         "write \\rMuxing: this may take awhile...\\n\n"
         "output-copy " +
         AssetsFolder() + "/media/ten-seconds.mp4\nexit 0\n";
}

std::string Label(int rip) {
  char label[16];
  std::snprintf(label, sizeof label, "SOAK_%04d", rip);
  return label;
}

struct Sample {
  int rip = 0;
  int descriptors = 0;
  int threads = 0;
  int children = 0;
  int zombies = 0;
  long rss_kb = 0;
  double seconds = 0;  // since the start, for the report only
};

long StatusField(const std::string& status, const std::string& name) {
  const auto at = status.find("\n" + name + ":");
  return at == std::string::npos ? -1 : std::atol(status.c_str() + at + name.size() + 2);
}

Sample Take(pid_t pid, int rip) {
  Sample sample;
  sample.rip = rip;
  const std::string proc = "/proc/" + std::to_string(pid);
  std::error_code ignored;
  for (auto it = fs::directory_iterator(proc + "/fd", ignored); it != fs::directory_iterator();
       it.increment(ignored)) {
    ++sample.descriptors;
  }
  const std::string status = ReadFileBytes(proc + "/status");
  sample.threads = static_cast<int>(StatusField(status, "Threads"));
  sample.rss_kb = StatusField(status, "VmRSS");
  for (const pid_t child : ChildrenOf(pid)) {
    ++sample.children;
    const std::string stat = ReadFileBytes("/proc/" + std::to_string(child) + "/stat");
    const auto close = stat.rfind(')');
    if (close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z') ++sample.zombies;
  }
  return sample;
}

// One image, relabelled per rip: neither the ISO 9660 volume name nor the
// UDF one (which is the one read) is checked against a checksum.
class ImageSwapper {
 public:
  ImageSwapper(const std::string& image, std::string source) : source_(std::move(source)) {
    if (!image.empty()) image_ = ReadFileBytes(image);
  }
  bool ok() const { return image_.find(Label(0)) != std::string::npos; }

  // Renamed over the source in one step, as a file manager replaces a file.
  void PutIn(int rip) {
    std::string image = image_;
    const std::string from = Label(0), to = Label(rip);
    for (auto at = image.find(from); at != std::string::npos; at = image.find(from, at + to.size())) {
      image.replace(at, from.size(), to);
    }
    const std::string next = source_ + ".next";
    std::ofstream(next, std::ios::binary).write(image.data(), static_cast<std::streamsize>(image.size()));
    fs::rename(next, source_);
  }

 private:
  std::string source_;
  std::string image_;
};

std::map<std::string, int> FilesByLabel(const std::string& folder, int& files) {
  std::map<std::string, int> labels;
  files = 0;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(folder, ignored)) {
    ++files;
    const std::string name = entry.path().filename().string();
    if (entry.file_size(ignored) > 0) ++labels[name.substr(0, name.find("_("))];
  }
  return labels;
}

int Count(const std::string& text, const std::string& what) {
  int count = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

bool RipFileWritten(const std::string& folder, const std::string& label) {
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(folder, ignored)) {
    if (entry.path().filename().string().starts_with(label + "_(") && entry.file_size(ignored) > 0)
      return true;
  }
  return false;
}

int SoakRips(int fallback) {
  const char* wanted = std::getenv("SOAK_RIPS");
  return wanted != nullptr && std::atoi(wanted) > 0 ? std::atoi(wanted) : fallback;
}

// A user's station fed by an image file that is replaced disc after disc.
class Station : public ::testing::Test {
 protected:
  Station() : script_(work_, EncoderScript()), swapper_(MakeIsoImage(work_.path(), Label(0)), source_) {
    fs::create_directories(destination_);
    settings_ = "[Ripping]\nSourceDrive = " + source_ + "\nDestination = " + destination_ +
                "\nFileContainer = MP4\nEncoding = Fast\nTwoPass = 0\nAudioBooster = 0\n"
                "[Other]\nStartUp = 0\nStartMinimised = 1\nAutoRip = 1\nEjectOnFinish = 1\n"
                "ClearHandBrakeOutput = 0\n[HandBrake]\nLocation = " +
                FakeEncoderPath() + "\n[Application]\nVersion = 0.1.0\n";
    sandbox_.WriteConfig(settings_, "Fast=x264/1000/aac/128\n");
  }

  ::testing::AssertionResult AwaitRip(RunningProgram& program, int rip) {
    if (WaitUntil([&] { return RipFileWritten(destination_, Label(rip)) || program.HasEnded(); }, kRipTimeout,
                  20ms) &&
        !program.HasEnded()) {
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "no file for rip " << rip << "; the program printed:\n"
                                         << program.Printed();
  }

  const ProgramSandbox sandbox_;
  const TempFolder work_;
  const FakeEncoderScript script_;
  const std::string source_ = sandbox_.user_home() + "/disc.iso";
  const std::string destination_ = sandbox_.user_home() + "/Rips/";
  ImageSwapper swapper_;
  std::string settings_;
};

TEST_F(Station, RipAfterRipHoldsNothingMore) {
  const int rips = SoakRips(50);
  const int every = std::max(1, rips / 10);
  ASSERT_TRUE(swapper_.ok()) << "no image to relabel";
  swapper_.PutIn(1);

  const auto started = std::chrono::steady_clock::now();
  RunningProgram program(sandbox_.Environment("offscreen"), sandbox_.Log("run"));
  std::vector<Sample> samples;
  for (int rip = 1; rip <= rips; ++rip) {
    ASSERT_TRUE(AwaitRip(program, rip));
    if (rip % every == 0) {
      // Always at the same moment: the file is written and the encoder has ended.
      EXPECT_TRUE(WaitUntil(
          [&] {
            const Sample now = Take(program.pid(), rip);
            return now.children == now.zombies;
          },
          kRipTimeout, 10ms));
      samples.push_back(Take(program.pid(), rip));
      samples.back().seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    }
    if (rip < rips) swapper_.PutIn(rip + 1);
  }
  ASSERT_TRUE(WaitUntil([&] { return Count(program.ErrorOutput(), "Rip Complete!:") == rips; }, kRipTimeout))
      << program.Printed();
  program.Signal(SIGTERM);
  EXPECT_EQ(program.WaitForExit(20s), 0) << program.Printed();

  std::printf("%6s %12s %8s %9s %8s %10s %8s\n", "rip", "descriptors", "threads", "children", "zombies",
              "RSS (KiB)", "seconds");
  for (const Sample& s : samples) {
    std::printf("%6d %12d %8d %9d %8d %10ld %8.0f\n", s.rip, s.descriptors, s.threads, s.children, s.zombies,
                s.rss_kb, s.seconds);
  }
  // Measured from the first sample: start-up and the first rips fill caches.
  const Sample& first = samples.front();
  for (const Sample& s : samples) {
    SCOPED_TRACE(::testing::Message() << "after rip " << s.rip);
    EXPECT_LE(s.descriptors, first.descriptors + kDescriptorSlack);
    EXPECT_LE(s.threads, first.threads + kThreadSlack);
    EXPECT_LE(s.children, 1) << "more than the last encoder, not yet collected";
#if !defined(__SANITIZE_ADDRESS__)
    // The sanitizer keeps freed memory for a while to catch late uses.
    EXPECT_LE(s.rss_kb, first.rss_kb + kMemorySlackKb);
#endif
  }

  // Every rip has its own file: none lost, none written over.
  int files = 0;
  auto labels = FilesByLabel(destination_, files);
  EXPECT_EQ(files, rips);
  EXPECT_EQ(static_cast<int>(labels.size()), rips);
  for (int rip = 1; rip <= rips; ++rip) EXPECT_EQ(labels[Label(rip)], 1) << Label(rip);
  EXPECT_EQ(Count(program.ErrorOutput(), "DVD Rip Started:"), rips);
  EXPECT_EQ(Count(program.ErrorOutput(), "DVD Rip Failed:"), 0) << program.ErrorOutput();
}

// The settings file deleted, turned to noise, made read-only, or its folder
// removed, between rips: the program reads what it can, writes nothing of
// its own accord, and rips again once the settings are back.
TEST_F(Station, SettingsFileFaultsLeaveItRunning) {
  ASSERT_TRUE(swapper_.ok()) << "no image to relabel";
  swapper_.PutIn(1);
  RunningProgram program(sandbox_.Environment("offscreen"), sandbox_.Log("run"));
  ASSERT_TRUE(AwaitRip(program, 1));
  const std::string file = sandbox_.settings_file();
  const std::string folder = sandbox_.program_home() + "/Data/Config";
  const auto two_polls = [&] {
    std::this_thread::sleep_for(6s);
    return !program.HasEnded();
  };

  fs::remove(file);
  ASSERT_TRUE(two_polls()) << program.Printed();
  EXPECT_FALSE(fs::exists(file));

  std::string noise(10 << 20, '\0');
  std::mt19937 random(3);
  for (char& byte : noise) byte = static_cast<char>(random());
  std::ofstream(file, std::ios::binary).write(noise.data(), static_cast<std::streamsize>(noise.size()));
  ASSERT_TRUE(two_polls()) << program.Printed();
  EXPECT_TRUE(ReadFileBytes(file) == noise) << "the noise was rewritten";

  sandbox_.WriteConfig(settings_, "Fast=x264/1000/aac/128\n");
  fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec, fs::perm_options::replace);
  swapper_.PutIn(2);
  EXPECT_TRUE(AwaitRip(program, 2));
  fs::permissions(folder, fs::perms::owner_all);
  EXPECT_EQ(ReadFileBytes(file), settings_);

  fs::remove_all(folder);
  ASSERT_TRUE(two_polls()) << program.Printed();
  EXPECT_FALSE(fs::exists(folder));

  swapper_.PutIn(3);
  sandbox_.WriteConfig(settings_, "Fast=x264/1000/aac/128\n");
  EXPECT_TRUE(AwaitRip(program, 3));
  ASSERT_TRUE(WaitUntil([&] { return Count(program.ErrorOutput(), "Rip Complete!:") == 3; }, kRipTimeout))
      << program.Printed();
  program.Signal(SIGTERM);
  EXPECT_EQ(program.WaitForExit(20s), 0) << program.Printed();
  EXPECT_EQ(Count(program.ErrorOutput(), "DVD Rip Failed:"), 0) << program.ErrorOutput();
}

// Copy first, disc after disc, the program killed and discs pulled at random
// moments: no broken file passes for a finished one, no whole copy is lost,
// no disc is ripped twice. SOAK_RIPS discs (20 by default).
TEST_F(Station, CopyFirstThroughKillsAndPulledDiscsLosesNothing) {
  const int discs = SoakRips(20);
  ImageSwapper dvd(SampleDvdImage(2, Label(0)), source_);
  ASSERT_TRUE(dvd.ok());
  std::string settings = settings_;
  settings.insert(settings.find("[Other]"), "CopyFirst = 1\n");
  sandbox_.WriteConfig(settings, "Fast=x264/1000/aac/128\n");
  const std::string state = sandbox_.program_home() + "/State";
  const auto seed = static_cast<unsigned>(std::random_device()());
  std::mt19937 random(seed);
  const auto copy_done = [&](int disc) {
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(state + "/copies", ignored)) {
      const std::string name = entry.path().filename().string();
      if (name.starts_with(Label(disc) + "_(") && !name.ends_with(".copying")) return true;
    }
    return RipFileWritten(destination_, Label(disc));
  };

  const auto started = std::chrono::steady_clock::now();
  int kills = 0, pulls = 0;
  std::set<int> copied;
  auto program = std::make_unique<RunningProgram>(sandbox_.Environment("offscreen"), sandbox_.Log("run-0"));
  for (int disc = 1; disc <= discs; ++disc) {
    dvd.PutIn(disc);
    const unsigned action = random() % 8;
    const auto moment = std::chrono::milliseconds(random() % 3000);
    // Taken out once copied, as the balloon asks and as a drive ejects it.
    const auto take_out_copied = [&](std::chrono::milliseconds within) {
      WaitUntil([&] { return copy_done(disc) || program->HasEnded(); }, within);
      if (!copy_done(disc)) return false;
      copied.insert(disc);
      fs::remove(source_);
      return true;
    };
    const bool out = take_out_copied(action < 2 ? moment : kRipTimeout);
    if (action == 0) {
      program->Signal(SIGKILL);
      program->WaitForExit(20s);
      program = std::make_unique<RunningProgram>(sandbox_.Environment("offscreen"),
                                                 sandbox_.Log("run-" + std::to_string(++kills)));
    } else if (action == 1 && !out) {
      fs::remove(source_);
      ++pulls;
      std::this_thread::sleep_for(3s);
    }
    if (action != 1 && !out) {
      EXPECT_TRUE(take_out_copied(kRipTimeout)) << Label(disc) << " was not copied";
    }
    ASSERT_FALSE(program->HasEnded()) << program->Printed();
  }
  const auto queue_busy = [&] {
    const std::string queue = ReadFileBytes(state + "/queue.jsonl");
    return queue.find("\"state\":\"cop") != std::string::npos;
  };
  ASSERT_TRUE(WaitUntil([&] { return !queue_busy() && Take(program->pid(), 0).children == 0; }, 60s))
      << ReadFileBytes(state + "/queue.jsonl");
  const std::string history = ReadFileBytes(state + "/history.jsonl");
  const std::string queue = ReadFileBytes(state + "/queue.jsonl");
  EXPECT_EQ(Count(history, "\"result\":\"running\""), 0) << history << queue << program->Printed();

  std::map<std::string, int> finished;
  const std::regex finished_name(R"((SOAK_\d{4})_\([-_0-9]*\)\.MP4)");
  for (const auto& entry : fs::directory_iterator(destination_)) {
    const std::string name = entry.path().filename().string();
    std::smatch match;
    EXPECT_FALSE(name.ends_with(".part")) << name;
    if (!std::regex_match(name, match, finished_name)) continue;
    ++finished[match[1]];
    const auto info = ProbeMedia(entry.path().string());
    EXPECT_TRUE(info && info->duration_seconds > 9) << name << " is not whole";
  }
  for (const auto& [label, files] : finished) EXPECT_EQ(files, 1) << label << " was ripped twice";
  for (const int disc : copied) {
    if (finished.count(Label(disc)) != 0) continue;
    const auto at = queue.find("\"label\":\"" + Label(disc) + "\"");
    EXPECT_NE(at, std::string::npos) << "the copy of " << Label(disc) << " was lost";
  }
  std::error_code no_copies;
  for (const auto& entry : fs::directory_iterator(state + "/copies", no_copies)) {
    const std::string name = entry.path().filename().string();
    EXPECT_NE(queue.find("\"copy\":\"" + entry.path().string() + "\""), std::string::npos)
        << name << " is in no queue";
  }
  program->Signal(SIGTERM);
  EXPECT_EQ(program->WaitForExit(20s), 0) << program->Printed();
  std::printf(
      "seed %u: %d discs, %d kills, %d pulls, %zu copied, %zu ripped, %d failed, %d interrupted, "
      "%.0f s\n",
      seed, discs, kills, pulls, copied.size(), finished.size(), Count(history, "\"result\":\"failed\""),
      Count(history, "\"result\":\"interrupted\""),
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
}

}  // namespace
}  // namespace ripwarden::testing
