// The program itself (the same wiring and loop as its main(), from
// platform/qt/program.h) with a probe inside. Headless, in a private
// temporary user's world.
//
//   program_probe responsiveness FAKE_ENCODER ASSETS
//       During a rip whose encoder replays recorded HandBrakeCLI output (an
//       update every 200 ms, "\r..." with no line end), another thread posts
//       an event to the rip progress window every 5 to 25 ms; the time from
//       posting to its delivery to the window, over BENCH_EVENTS (1,000).
//   program_probe throughput FAKE_ENCODER ASSETS
//       Lines per second taken from an encoder that writes BENCH_LINES
//       (200,000) lines as fast as it can, the progress and output windows
//       shown; beside the same output piped to cat > /dev/null.
//   program_probe startup
//       Run in the environment its caller prepared: prints the CLOCK_MONOTONIC
//       time at which the first drive poll is scheduled, and quits.
#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <atomic>
#include <random>

#include "bench_common.h"
#include "platform/qt/program.h"
#include "platform/qt/qt_window_system.h"
#include "platform/system.h"
#include "ui/window_ids.h"

namespace {

using namespace ripwarden;
using bench::NowNs;

const QEvent::Type kProbeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

struct ProbeEvent : QEvent {
  explicit ProbeEvent(long long at) : QEvent(kProbeEvent), posted(at) {}
  long long posted;
};

// Receives the probe's events at the window, as the window would.
class Catcher : public QObject {
 public:
  std::vector<double> latencies_ms;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != kProbeEvent) return QObject::eventFilter(watched, event);
    latencies_ms.push_back(static_cast<double>(NowNs() - static_cast<ProbeEvent*>(event)->posted) / 1e6);
    return true;
  }
};

void StopOurselves() { ::kill(::getpid(), SIGTERM); }

int Responsiveness(int argc, char** argv) {
  if (argc != 4) return 2;
  const std::string assets = argv[3];
  const int events = bench::EnvNumber("BENCH_EVENTS", 1000);
  bench::Sandbox sandbox;
  // Three times the 45 s title's recording (about 20 s each): longer than
  // the probe needs.
  const std::string recording = assets + "/handbrake-1.6.1/two-pass-45s-ok/stdout.chunks";
  std::string script;
  for (int i = 0; i < 3; ++i) script += "replay 1 " + recording + "\n";
  const std::string encoder =
      bench::MakeFakeEncoder(sandbox, argv[2], assets + "/handbrake-1.6.1/help.stdout", script + "exit 0\n");
  sandbox.WriteSettings(sandbox.MakeFolderDisc("disc"), encoder);
  sandbox.Enter({"RIPWARDEN_FAKE_ENCODER_SCRIPT=" + sandbox.Path("encoder.script").string()});

  CatchStopRequests();
  QApplication qt(argc, argv);
  qt_platform::Program program;
  if (!program.Start()) return 1;
  qt_platform::QtWindowSystem& windows = program.windows();
  windows.ShowAppWindow(kProgressWindow);
  windows.ShowAppWindow(kOutputWindow);
  Catcher catcher;
  QWidget* target = windows.WindowWidget(kProgressWindow);
  target->installEventFilter(&catcher);

  std::atomic<bool> ripping{false};
  std::atomic<bool> done{false};
  bool stopped = false;
  std::string status_at_end;
  program.SetTurnObserver([&](int) {
    // The rip has begun once the encoder's first line is in the list.
    if (!ripping && windows.ItemCount(control::kOutputList) >= 2) ripping = true;
    if (!stopped && static_cast<int>(catcher.latencies_ms.size()) >= events) {
      stopped = true;
      status_at_end = windows.GetText(control::kStatusText);
      done = true;
      StopOurselves();
    }
  });
  std::thread poster([&] {
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> pause_us(5000, 25000);
    while (!ripping && !done) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    for (int i = 0; i < events && !done; ++i) {
      std::this_thread::sleep_for(std::chrono::microseconds(pause_us(random)));
      QCoreApplication::postEvent(target, new ProbeEvent(NowNs()));
    }
  });
  // Nothing should take this long; if it does, the figures say so.
  std::thread watchdog([&] {
    for (int i = 0; i < 1200 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (!done) {
      done = true;
      StopOurselves();
    }
  });
  program.Run();
  done = true;
  poster.join();
  watchdog.join();

  const auto& l = catcher.latencies_ms;
  const bool still_ripping = !status_at_end.empty() && status_at_end.find("COMPLETE") == std::string::npos &&
                             status_at_end.find("FAILED") == std::string::npos;
  const double p99 = bench::Percentile(l, 0.99);
  bench::Row("Responsiveness during a rip: post to window, p50 / p99 / max over " + std::to_string(l.size()) +
                 " events (ms)",
             bench::Format("%.2f", bench::Percentile(l, 0.5)) + " / " + bench::Format("%.2f", p99) + " / " +
                 bench::Format("%.2f", l.empty() ? 0.0 : *std::max_element(l.begin(), l.end())),
             "replayed HandBrakeCLI 1.6.1 output, update every 200 ms", "p99 < 20 ms",
             static_cast<int>(l.size()) >= events && still_ripping && p99 < 20);
  if (!still_ripping)
    std::fprintf(stderr, "note: the rip was not running at the end (status '%s')\n", status_at_end.c_str());
  return 0;
}

int Throughput(int argc, char** argv) {
  if (argc != 4) return 2;
  const std::string fake = argv[2];
  const std::string assets = argv[3];
  const long lines = bench::EnvNumber("BENCH_LINES", 200000);
  const std::string line = "Encoding: task 1 of 1, 12.34 % (41.43 fps, avg 50.85 fps, ETA 00h00m01s)";

  // The reference: the same output into cat.
  double reference_rate = 0;
  {
    bench::Sandbox sandbox;
    const std::string clock = sandbox.Path("clock").string();
    bench::WriteFile(sandbox.Path("script"), "clock " + clock + "\nlines " + std::to_string(lines) + " " +
                                                 line + "\nclock " + clock + "\n");
    bench::Child cat = bench::Start(
        {"/bin/sh", "-c", "'" + fake + "' | cat > /dev/null"},
        sandbox.Environment({"RIPWARDEN_FAKE_ENCODER_SCRIPT=" + sandbox.Path("script").string()}));
    bench::Wait(cat);
    std::istringstream times(bench::ReadFile(clock));
    long long start = 0, end = 0;
    times >> start >> end;
    reference_rate = static_cast<double>(lines) / (static_cast<double>(end - start) / 1e9);
  }

  bench::Sandbox sandbox;
  const std::string clock = sandbox.Path("clock").string();
  const std::string encoder = bench::MakeFakeEncoder(
      sandbox, fake, assets + "/handbrake-1.6.1/help.stdout",
      "clock " + clock + "\nlines " + std::to_string(lines) + " " + line + "\nwrite DONE\\n\nexit 0\n");
  sandbox.WriteSettings(sandbox.MakeFolderDisc("disc"), encoder);
  sandbox.Enter({"RIPWARDEN_FAKE_ENCODER_SCRIPT=" + sandbox.Path("encoder.script").string()});

  CatchStopRequests();
  QApplication qt(argc, argv);
  qt_platform::Program program;
  if (!program.Start()) return 1;
  qt_platform::QtWindowSystem& windows = program.windows();
  windows.ShowAppWindow(kProgressWindow);
  windows.ShowAppWindow(kOutputWindow);
  long long end = 0;
  const long long give_up = NowNs() + 120'000'000'000LL;
  program.SetTurnObserver([&](int) {
    if (end != 0) return;
    const long long now = NowNs();
    if (windows.ItemText(control::kOutputList, 0) == "DONE" || now > give_up) {
      end = now;
      StopOurselves();
    }
  });
  program.Run();
  std::istringstream times(bench::ReadFile(clock));
  long long start = 0;
  times >> start;
  const bool finished = end < give_up;
  const double rate = static_cast<double>(lines) / (static_cast<double>(end - start) / 1e9);
  bench::Row("Output throughput: lines/s taken from a flooding encoder, windows shown (" +
                 std::to_string(lines) + " lines)",
             bench::Format("%.0f", rate) + (finished ? "" : " (gave up after 120 s)"),
             bench::Format("%.0f", reference_rate) + " (cat > /dev/null)", ">= 50,000 lines/s",
             finished && rate >= 50000);
  return 0;
}

int Startup(int argc, char** argv) {
  CatchStopRequests();
  QApplication qt(argc, argv);
  qt_platform::Program program;
  if (!program.Start()) return 1;
  bool said = false;
  program.SetTurnObserver([&](int sleep_ms) {
    if (said || sleep_ms <= 0) return;
    said = true;
    std::printf("%lld\n", NowNs());
    std::fflush(stdout);
    StopOurselves();
  });
  return program.Run();
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  int result = 2;
  if (mode == "responsiveness") {
    result = Responsiveness(argc, argv);
  } else if (mode == "throughput") {
    result = Throughput(argc, argv);
  } else if (mode == "startup") {
    result = Startup(argc, argv);
  }
  if (result == 2)
    std::cerr << "usage: " << argv[0] << " responsiveness|throughput FAKE_ENCODER ASSETS | startup\n";
  return result;
}
