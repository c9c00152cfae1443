// The longest single turn of the main loop (Application::RunOnce) over the
// program's own wiring (app/app_graph.h) with the system's services, its real
// process runner and offscreen Qt windows, while the stand-in encoder rips a
// folder disc. Between turns it sleeps as the program's loop does: until the
// encoder writes or the engine's next look is due. Three situations:
//   a running rip is cancelled, until it has ended;
//   an encoder that ignores the stop request is stopped: interrupted, then
//     killed after RipEngine::kStopGraceMs, until the rip has ended;
//   a rip starts with an encoder that takes 3 s to answer --help, until the
//     encoder runs;
//   a DVD image is copied first by the helper program (found beside this
//     tool), until the copy is whole.
//
//   turn_length FAKE_ENCODER HELP_FILE DATA_FOLDER [DVD_IMAGE]
#include <poll.h>

#include <QApplication>
#include <functional>
#include <memory>
#include <optional>

#include "app/app_graph.h"
#include "bench_common.h"
#include "platform/qt/program_icon.h"
#include "platform/qt/qt_folder_dialog.h"
#include "platform/qt/qt_tray.h"
#include "platform/qt/qt_window_system.h"
#include "platform/system.h"

namespace {

using namespace ripwarden;

constexpr double kGoalMs = 50;
constexpr long long kGiveUpNs = 30'000'000'000LL;

struct Turns {
  double longest_ms = 0;
  int count = 0;
  double total_s = 0;
  bool finished = false;
};

// The program, wired as platform/qt/program.cpp wires it, with the loop in
// the benchmark's hands.
struct Wiring {
  explicit Wiring(const std::string& data)
      : system(MakeSystem({data})),
        folders(&windows),
        tray(qt_platform::ProgramIcon()),
        boxes([this] { return windows.ActiveAppWindow(); }),
        graph({.system = system->services(),
               .windows = windows,
               .folders = folders,
               .tray = tray,
               .boxes = boxes}) {}

  std::unique_ptr<System> system;
  qt_platform::QtWindowSystem windows;
  qt_platform::QtFolderDialog folders;
  qt_platform::QtTray tray;
  qt_platform::QtMessageBoxes boxes;
  AppGraph graph;

  // What the program's loop would sleep on after a turn: the encoder's output
  // or the engine's next look, whichever comes first.
  void Sleep() {
    RipEngine& engine = graph.engine;
    if (engine.IsOutputWaiting() || windows.HasEvents() || tray.HasEvents()) return;
    const auto children = engine.ChildrenToWatch();
    const WaitHandle output = children.empty() ? kNoWaitHandle : system->OutputHandle(children.front());
    pollfd wait{static_cast<int>(output), POLLIN, 0};
    const int timeout = static_cast<int>(std::min<std::uint32_t>(engine.MillisecondsToNextPoll(), 2500));
    ::poll(&wait, output == kNoWaitHandle ? 0 : 1, timeout);
    QCoreApplication::processEvents();
  }

  // Turns until `done`, timing each; `first` runs inside the first turn, as a
  // menu command would.
  Turns Measure(const std::function<bool()>& done, const std::function<void()>& first = {}) {
    Turns turns;
    const long long start = bench::NowNs();
    bool first_turn = true;
    while (bench::NowNs() - start < kGiveUpNs) {
      const long long before = bench::NowNs();
      if (first_turn && first) first();
      first_turn = false;
      graph.app.RunOnce();
      const double took_ms = static_cast<double>(bench::NowNs() - before) / 1e6;
      turns.longest_ms = std::max(turns.longest_ms, took_ms);
      ++turns.count;
      if (done()) {
        turns.finished = true;
        break;
      }
      Sleep();
    }
    turns.total_s = static_cast<double>(bench::NowNs() - start) / 1e9;
    return turns;
  }

  // Untimed turns until `ready`; false when it never came.
  bool RunUntil(const std::function<bool()>& ready) {
    const long long start = bench::NowNs();
    while (!ready()) {
      if (bench::NowNs() - start > kGiveUpNs) return false;
      graph.app.RunOnce();
      Sleep();
    }
    return true;
  }
};

void Report(const std::string& situation, const std::string& reference, const Turns& turns) {
  bench::Row("Longest main-loop turn " + situation + " (ms)",
             bench::Format("%.2f", turns.longest_ms) + " (" + std::to_string(turns.count) + " turns in " +
                 bench::Format("%.2f", turns.total_s) + " s)" +
                 (turns.finished ? "" : ", gave up after 30 s"),
             reference, "< 50 ms", turns.finished && turns.longest_ms < kGoalMs);
}

// One situation in a fresh user's world: the encoder wrapper answers --help
// after help_delay_s and otherwise follows the script, in which STARTED names
// a file that shows the encoder has begun. Nothing when it could not be set up.
std::optional<Turns> Situation(
    const std::string& fake_encoder, const std::string& help_file, const std::string& data,
    const std::string& help_delay_s, std::string script, const std::string& image,
    const std::function<std::optional<Turns>(Wiring&, std::function<bool()>)>& body) {
  bench::Sandbox sandbox;
  const std::string started = sandbox.Path("started").string();
  script.replace(script.find("STARTED"), 7, started);
  bench::WriteFile(sandbox.Path("encoder.script"), script);
  const auto wrapper = sandbox.Path("encoder");
  bench::WriteFile(wrapper, "#!/bin/sh\nif [ \"$1\" = --help ]; then sleep " + help_delay_s + "; exec cat '" +
                                help_file + "'; fi\nexec '" + fake_encoder + "' \"$@\"\n");
  bench::fs::permissions(wrapper, bench::fs::perms::owner_all);
  sandbox.WriteSettings(image.empty() ? sandbox.MakeFolderDisc("disc") : image, wrapper.string(), "",
                        !image.empty());
  sandbox.Enter({"RIPWARDEN_FAKE_ENCODER_SCRIPT=" + sandbox.Path("encoder.script").string()});
  Wiring wiring(data);
  if (!wiring.graph.app.Start()) return std::nullopt;
  const std::optional<Turns> turns = body(wiring, [started] { return bench::fs::exists(started); });
  // Whatever happened, nothing of the rip outlives the situation.
  wiring.graph.engine.CancelRip();
  wiring.RunUntil([&] { return !wiring.graph.engine.IsRipping(); });
  wiring.graph.app.ReleaseResources();
  return turns;
}

// From a cancel without asking, in the first turn, until the rip has ended.
std::optional<Turns> CancelRunningRip(Wiring& wiring, const std::function<bool()>& encoder_started) {
  RipEngine& engine = wiring.graph.engine;
  engine.StartRip();
  if (!wiring.RunUntil(encoder_started)) return std::nullopt;
  return wiring.Measure([&] { return !engine.IsRipping(); }, [&] { engine.CancelRip(); });
}

// From Start, in the first turn, until the encoder runs: the rip waits for
// the encoder's answer to --help meanwhile.
std::optional<Turns> StartRip(Wiring& wiring, const std::function<bool()>& encoder_started) {
  RipEngine& engine = wiring.graph.engine;
  const Turns turns = wiring.Measure(encoder_started, [&] { engine.StartRip(); });
  if (!turns.finished) return std::nullopt;
  return turns;
}

// From Start, in the first turn, until the helper has copied the disc whole.
std::optional<Turns> CopyDisc(Wiring& wiring, const std::function<bool()>&) {
  RipEngine& engine = wiring.graph.engine;
  bool copying = false;
  const Turns turns = wiring.Measure(
      [&] {
        const RipJob* job = engine.ActiveJob();
        const bool now = job != nullptr && job->phase == RipPhase::kCopying;
        copying = copying || now;
        return !now;
      },
      [&] { engine.StartRip(); });
  // Without the helper the disc would have been ripped straight.
  if (!turns.finished || !copying) return std::nullopt;
  return turns;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::cerr << "usage: " << argv[0] << " FAKE_ENCODER HELP_FILE DATA_FOLDER [DVD_IMAGE]\n";
    return 2;
  }
  const std::string fake = argv[1];
  const std::string help = argv[2];
  const std::string data = argv[3];
  const std::string image = argc == 5 ? argv[4] : "";
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  CatchStopRequests();
  QApplication qt(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);

  const std::string grace = std::to_string(RipEngine::kStopGraceMs / 1000);
  struct Case {
    std::string situation;
    std::string reference;
    std::string help_delay_s;
    std::string script;
    std::optional<Turns> (*body)(Wiring&, const std::function<bool()>&);
    std::string image;
  };
  const Case cases[] = {
      {"while a running rip is cancelled", "the encoder ends at once when interrupted", "0",
       "touch STARTED\nwrite Encoding: task 1 of 1, 1.00 %\\n\nsleep 60000\nexit 0\n", CancelRunningRip, ""},
      {"while an encoder that ignores the stop is stopped",
       "interrupted, killed after the " + grace + " s grace", "0",
       "ignore-interrupt\ntouch STARTED\nwrite Encoding: task 1 of 1, 1.00 %\\n\nhang\n", CancelRunningRip,
       ""},
      {"while a rip starts, until its encoder runs", "the encoder answers --help after 3 s", "3",
       "touch STARTED\nexit 0\n", StartRip, ""},
      {"while a disc is copied first", "the helper copies a sample DVD image", "0", "touch STARTED\nhang\n",
       CopyDisc, image},
  };
  int status = 0;
  for (const Case& one : cases) {
    if (one.body == CopyDisc && image.empty()) continue;
    const std::optional<Turns> turns =
        Situation(fake, help, data, one.help_delay_s, one.script, one.image,
                  [&](Wiring& wiring, std::function<bool()> started) { return one.body(wiring, started); });
    if (!turns) {
      std::cerr << "could not set up the rip " << one.situation << "\n";
      status = 1;
      continue;
    }
    Report(one.situation, one.reference, *turns);
  }
  return status;
}
