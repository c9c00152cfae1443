// The encoder's output reaches the engine in whatever pieces the pipe gives,
// and a damaged disc or another encoder version can make it write anything.
// Fed through the line cutting every runner shares and the engine's own
// reading, any output must come out as the same lines however it is cut,
// keep the progress bar within its range, and never make a read wait.
//
// Input: one byte that chooses how the rest is cut into reads, then the output.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "config/presets.h"
#include "config/settings_store.h"
#include "config/text_helpers.h"
#include "fakes/fake_system.h"
#include "platform/linux/posix_path_rules.h"
#include "platform/output_lines.h"
#include "rip/rip_engine.h"

namespace {

using namespace ripwarden;

void Require(bool condition) {
  if (!condition) std::abort();
}

// One encoder whose output arrives a read at a time.
class PipedRunner final : public ProcessRunner {
 public:
  void Arrive(std::string_view bytes) { lines_.Hold(bytes); }
  void End() { ended_ = true; }

  ChildProcess StartProcess(const std::string&, const std::vector<std::string>&,
                            const std::string&) override {
    started_ = true;
    return kEncoder;
  }
  std::string StartFailure() const override { return {}; }
  ChildProcess IsProcessKnown(ChildProcess process) override { return Known(process) ? process : kNoProcess; }
  std::int32_t AvailableOutput(ChildProcess process) override {
    return Known(process) ? static_cast<std::int32_t>(std::min<std::size_t>(lines_.HeldSize(), INT32_MAX))
                          : 0;
  }
  bool IsLineWaiting(ChildProcess process) override {
    return Known(process) && (lines_.HoldsLineEnd() || (ended_ && lines_.HeldSize() > 0));
  }
  std::string ReadOutputLine(ChildProcess process) override {
    if (!Known(process)) return {};
    return lines_.NextLine([this](char*, std::size_t) -> std::size_t {
      Require(ended_);  // a real pipe would block here, freezing the windows
      return 0;
    });
  }
  bool IsProcessRunning(ChildProcess process) override {
    return Known(process) && (!ended_ || lines_.HeldSize() > 0);
  }
  std::optional<int> ExitCode(ChildProcess process) override {
    return Known(process) && ended_ ? std::optional<int>(0) : std::nullopt;
  }
  bool WaitForExit(ChildProcess process, std::uint32_t) override { return Known(process) && ended_; }
  void InterruptProcess(ChildProcess) override {}
  void KillProcess(ChildProcess) override {}
  void CloseProcess(ChildProcess process) override {
    if (Known(process)) closed_ = true;
  }

 private:
  static constexpr ChildProcess kEncoder{1};
  bool Known(ChildProcess process) const { return started_ && !closed_ && process == kEncoder; }

  OutputLines lines_;
  bool started_ = false;
  bool ended_ = false;
  bool closed_ = false;
};

class WatchedView final : public RipView {
 public:
  void SetDiscLabelText(const std::string&) override {}
  void SetRipProgressBar(std::int32_t value) override { Require(value >= 0 && value <= 10000); }
  void SetStatusText(const std::string& text) override { status = text; }
  void EnableStartButton(bool) override {}
  void EnableCancelButton(bool) override {}
  void InsertOutputLine(const std::string& line) override { lines.push_back(line); }
  void ClearOutputList() override {}
  void ShowBalloon(const std::string&, const std::string&, const std::string&, BalloonIcon) override {}
  void ShowDrives(const std::vector<DriveShown>&) override {}

  std::string status;
  std::vector<std::string> lines;  // oldest first
};

class AnyDialect final : public EncoderDialectSource {
 public:
  std::optional<EncoderDialect> For(const std::string&) override { return EncoderDialect{}; }
};

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// A line as it is shown: at most the longest line's length, not ending in
// part of a character, and ending at a NUL.
std::string Shown(std::string line) {
  if (line.size() > OutputLines::kLongestLine) {
    std::size_t cut = OutputLines::kLongestLine;
    if (IsContinuationByte(line[cut])) {
      while (cut > 0 && IsContinuationByte(line[cut - 1])) --cut;
      if (cut > 0 && static_cast<unsigned char>(line[cut - 1]) >= 0xC0) --cut;
    }
    line.resize(cut);
  }
  return line.substr(0, line.find('\0'));
}

// The lines of the whole output, cut independently of how it arrived.
std::vector<std::string> ExpectedLines(std::string_view output) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < output.size(); ++i) {
    const char c = output[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < output.size() && output[i + 1] == '\n') ++i;
      lines.push_back(Shown(line));
      line.clear();
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(Shown(line));
  return lines;
}

// Read sizes from a small generator, so that one byte picks a whole cutting.
std::vector<std::string_view> Reads(std::string_view output, std::uint8_t seed) {
  std::vector<std::string_view> reads;
  std::uint32_t state = seed;
  while (!output.empty()) {
    state = state * 1103515245u + 12345u;
    const std::size_t size = seed == 0 ? output.size() : 1 + (state >> 16) % 64;
    reads.push_back(output.substr(0, size));
    output.remove_prefix(std::min(size, output.size()));
  }
  return reads;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view output(reinterpret_cast<const char*>(data) + 1, size - 1);

  testing::FakeSystem system;
  system.files.Put(kSettingsPath,
                   "[Ripping]\nSourceDrive = sr0\nDestination = /r/\nFileContainer = MP4\nEncoding = \n"
                   "[Other]\nEjectOnFinish = 1\n[HandBrake]\nLocation = HandBrakeCLI\n");
  system.files.PutFolder("/r/");
  system.drives.AddDrive("sr0");
  system.drives.InsertDisc("sr0", {"udf", "FUZZ"});
  SettingsStore settings(system.files, Charset::kUtf8);
  Presets presets(system.files);
  PipedRunner runner;
  AnyDialect dialects;
  linux_platform::PosixPathRules paths;
  WatchedView view;
  RipEngine engine(testing::EngineServices(system.services(paths, nullptr, {.processes = &runner}), settings,
                                           presets, dialects, view),
                   "Ripwarden");
  engine.StartRip();
  Require(engine.IsRipping());
  // Only what the encoder's own lines show from here on.
  view.lines.clear();
  view.status.clear();

  // Every turn is a second later, so that every update reaches the display.
  const auto read_waiting = [&] {
    for (std::size_t turns = 0; engine.IsOutputWaiting(); ++turns) {
      Require(turns <= output.size());
      system.clock.Advance(1000);
      engine.ReadEncoderOutput();
      if (!view.status.empty()) Require(view.status.ends_with('%'));
    }
  };
  for (const std::string_view read : Reads(output, data[0])) {
    runner.Arrive(read);
    read_waiting();
  }
  runner.End();
  read_waiting();

  const std::vector<std::string> expected = ExpectedLines(output);
  Require(view.lines == expected);
  const bool muxing = std::any_of(expected.begin(), expected.end(), [](const std::string& line) {
    return line == "Muxing" || line.starts_with("Muxing:");
  });
  const RipJob* job = engine.ActiveJob();
  Require(job != nullptr);
  Require((job->phase == RipPhase::kMuxing) == muxing);
  Require(system.drives.ejected.size() == (muxing ? 1u : 0u));
  return 0;
}
