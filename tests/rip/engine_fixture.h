#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "config/presets.h"
#include "config/settings_store.h"
#include "fakes/fake_rip_view.h"
#include "fakes/fake_system.h"
#include "platform/linux/posix_path_rules.h"
#include "rip/rip_engine.h"

namespace ripwarden::testing {

class FixedDialect final : public EncoderDialectSource {
 public:
  std::optional<EncoderDialect> For(const std::string& program) override {
    asked.push_back(program);
    if (!answered) return std::nullopt;
    return dialect;
  }
  EncoderDialect dialect;
  // False: the program is still being asked.
  bool answered = true;
  std::vector<std::string> asked;
};

// The newest rip under way, or an empty one when none is.
inline RipJob JobOf(const RipEngine& engine) {
  const RipJob* job = engine.ActiveJob();
  return job != nullptr ? *job : RipJob{};
}

// Turns of the main loop while a cancelled or failed rip waits for its
// encoder to go; the clock moves with the time they take.
inline void RunWhileStopping(RipEngine& engine, FakeClock& clock) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (engine.IsStopping() && std::chrono::steady_clock::now() < deadline) {
    engine.ReadEncoderOutput();
    engine.ContinueWork();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    clock.Advance(1);
  }
}

// The engine over fakes of everything it talks to, with a settings file that
// watches sr0 and rips into /srv/rips/.
class EngineTest : public ::testing::Test, protected FakeSystem {
 protected:
  static constexpr const char* kSettings = "Data/Config/Settings.cfg";
  static constexpr const char* kPresets = "Data/Config/Presets.cfg";
  // Absent unless a test ships it: a lost settings file is made again from it.
  static constexpr const char* kShippedSettings = "shipped/Settings.cfg";
  // Where the engine keeps its history, the encoder's logs and scratch files.
  static constexpr const char* kRecords = "/state/ripwarden";

  EngineTest() {
    files.Put(kSettings,
              "[Ripping]\nSourceDrive = sr0\nDestination = /srv/rips/\nFileContainer = MP4\n"
              "Encoding = Normal\nTwoPass = 1\nAudioBooster = 1\n"
              "[Other]\nAutoRip = 0\nEjectOnFinish = 0\nClearHandBrakeOutput = 0\n"
              "[HandBrake]\nLocation = /usr/bin/HandBrakeCLI\n");
    files.Put(kPresets, "Normal=x264/1500/aac/160\nX=X264/900/aac/96\n");
    files.PutFolder("/srv/rips/");
    drives.AddDrive("sr0");
    engine.KeepRecords(kRecords, "");
  }

  void Set(const std::string& group, const std::string& key, const std::string& value) {
    settings.WriteSetting(group, key, value);
  }
  void Insert(const std::string& label = "MY MOVIE") { drives.InsertDisc("sr0", {"udf", label}); }
  // Lets the poll interval pass and polls.
  void Poll() {
    clock.Advance(2500);
    engine.PollDrive();
  }
  // Reads output lines until none is waiting.
  void ReadAll() {
    for (int i = 0; i < 1000 && processes.IsLineWaiting(JobOf(engine).process); ++i)
      engine.ReadEncoderOutput();
  }
  ChildProcess Encoder() const { return processes.last_started(); }
  // The running rip's file appears with some content, and the encoder's
  // log says how many of the title's frames it got.
  void WriteOutputFile(int frames_got = 250) {
    files.Put(JobOf(engine).encoding_file, "ftyp....");
    WriteLog("[10:25:24] scan: duration is 00:00:10 (10000 ms)\n[10:25:30] sync: got " +
             std::to_string(frames_got) + " frames, 250 expected\n");
  }
  void WriteLog(const std::string& text) {
    if (!JobOf(engine).record.log.empty()) files.Put(JobOf(engine).record.log, text);
  }
  std::vector<RipRecord> History() {
    auto records = RipHistory(files, std::string(kRecords) + "/history.jsonl").Records();
    EXPECT_TRUE(records) << "the history could not be read";
    return records.value_or(std::vector<RipRecord>{});
  }
  // What an engine of this test takes, showing what it does in shown.
  RipServices EngineServicesFor(RipView& shown) {
    return EngineServices(services(paths, nullptr), settings, presets, dialects, shown);
  }

  SettingsStore settings{files, Charset::kUtf8, kSettings, kShippedSettings};
  Presets presets{files, kPresets};
  FixedDialect dialects;
  linux_platform::PosixPathRules paths;
  FakeRipView view;
  RipEngine engine{EngineServicesFor(view), "Ripwarden"};
};

}  // namespace ripwarden::testing
