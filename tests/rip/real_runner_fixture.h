#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "engine_fixture.h"
#include "helpers/fake_encoder_control.h"
#include "helpers/native_platform.h"
#include "temp_folder.h"

namespace ripwarden::testing {

inline constexpr const char* kStopped = "FAILED: HandBrake stopped before finishing the rip ";

// Real files in a temporary home that holds the engine's settings and
// presets, and the real runner; the other services are fakes unless a
// fixture brings its own.
class RealRunnerBase : public ::testing::Test {
 protected:
  SystemServices Services(OwnServices own = {}) {
    own.files = &files_;
    own.processes = &processes_;
    return system_.services(paths_, nullptr, own);
  }

  TempFolder home_;
  FakeSystem system_;
  NativeFiles files_;
  NativeProcessRunner processes_;
  NativePathRules paths_;
  SettingsStore settings_{files_, Charset::kUtf8, home_.Path("Data/Config/Settings.cfg")};
  Presets presets_{files_, home_.Path("Data/Config/Presets.cfg")};
  FakeRipView view_;
};

// The engine over the real runner and real files, ripping sr0 of fake drives
// with the stand-in encoder into a temporary folder.
class RealRunnerTest : public RealRunnerBase {
 protected:
  RealRunnerTest() {
    home_.Write(
        "Data/Config/Settings.cfg",
        "[Ripping]\nSourceDrive = sr0\nDestination = " + home_.Path("rips/") +
            "\nFileContainer = MP4\nEncoding = \n[Other]\nEjectOnFinish = 0\n[HandBrake]\nLocation = " +
            FakeEncoderPath() + "\n");
    home_.Write("rips/.keep", "");
    drives_.InsertDisc("sr0", {"udf", "MY MOVIE"});
    engine_.KeepRecords(home_.Path("State"), "");
  }

  // The first poll finds the disc and announces it; the settings file is
  // open from then on.
  void Announce() {
    clock_.Advance(2500);
    engine_.PollDrive();
  }
  bool Shows(const std::string& line) const {
    return std::find(view_.output.begin(), view_.output.end(), line) != view_.output.end();
  }

  // The main loop, as fast as output comes, with a drive poll every few turns.
  void RunUntilTheRipEnds(bool cancel) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (int turn = 0; engine_.IsRipping() && std::chrono::steady_clock::now() < deadline; ++turn) {
      const auto begun = std::chrono::steady_clock::now();
      engine_.ReadEncoderOutput();
      if (turn % 20 == 0) {
        clock_.Advance(2500);
        engine_.PollDrive();
      }
      longest_turn_ = std::max(longest_turn_, std::chrono::steady_clock::now() - begun);
      ++turns_;
      EXPECT_LE(processes_.AvailableOutput(JobOf(engine_).process), 2 * OutputLines::kMostHeld);
      if (cancel && Shows("ready")) engine_.CancelRip();
      if (!engine_.IsOutputWaiting()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  // Figures for the record, never judged: time is not the tests' business.
  std::chrono::steady_clock::duration longest_turn_{};
  long turns_ = 0;

  FakeDrives& drives_ = system_.drives;
  FakeClock& clock_ = system_.clock;
  FixedDialect dialects_;
  RipEngine engine_{EngineServices(Services(), settings_, presets_, dialects_, view_), "Ripwarden"};
};

}  // namespace ripwarden::testing
