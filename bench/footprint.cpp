// What the program weighs: its resident memory while idle and after 10,000
// lines of encoder output (the real program, headless), and its start-up
// time until the first drive poll is scheduled (the program's own wiring and
// loop in program_probe), each beside a bare Qt Widgets program.
//   footprint PROGRAM PROBE REFERENCE_APP FAKE_ENCODER HELP_FILE
#include "bench_common.h"

namespace {

using namespace bench;

constexpr auto kSettle = std::chrono::seconds(3);

// Milliseconds from spawning `command` to the time it prints.
double StartupMs(const std::vector<std::string>& command) {
  Sandbox sandbox;
  sandbox.WriteSettings(sandbox.Path("missing.iso").string(), "HandBrakeCLI");
  const std::string log = sandbox.Path("log").string();
  const std::vector<std::string> environment = sandbox.Environment();
  const long long start = NowNs();
  Child child = Start(command, environment, log);
  if (Wait(child) != 0) {
    std::cerr << command[0] << " failed:\n" << ReadFile(log);
    std::exit(1);
  }
  std::istringstream printed(ReadFile(log));
  long long at = 0;
  printed >> at;
  return static_cast<double>(at - start) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::cerr << "usage: " << argv[0] << " PROGRAM PROBE REFERENCE_APP FAKE_ENCODER HELP_FILE\n";
    return 2;
  }
  const std::string program = argv[1];
  const std::string probe = argv[2];
  const std::string reference = argv[3];
  const int lines = 10000;

  // Start-up, five of each, interleaved; the first pair warms the caches.
  std::vector<double> ours, theirs;
  for (int i = 0; i < 6; ++i) {
    const double a = StartupMs({probe, "startup"});
    const double b = StartupMs({reference, "first-turn"});
    if (i > 0) {
      ours.push_back(a);
      theirs.push_back(b);
    }
  }
  Row("Start-up until the first drive poll is scheduled, median of 5 (ms)", Format("%.1f", Median(ours)),
      Format("%.1f", Median(theirs)) + " (bare Qt Widgets program, first loop turn)");

  // Idle: no disc.
  Sandbox idle;
  idle.WriteSettings(idle.Path("missing.iso").string(), "HandBrakeCLI");
  Child idle_program = Start({program}, idle.Environment(), idle.Path("log").string());
  Child bare = Start({reference, "idle"}, idle.Environment());
  // After 10,000 lines: a rip whose encoder writes them and then waits.
  Sandbox busy;
  const std::string clock = busy.Path("clock").string();
  const std::string encoder = MakeFakeEncoder(
      busy, argv[4], argv[5],
      "lines " + std::to_string(lines) +
          " Encoding: task 1 of 1, 12.34 % (41.43 fps, avg 50.85 fps, ETA 00h00m01s)\nclock " + clock +
          "\nhang\n");
  busy.WriteSettings(busy.MakeFolderDisc("disc"), encoder);
  Child busy_program = Start(
      {program}, busy.Environment({"RIPWARDEN_FAKE_ENCODER_SCRIPT=" + busy.Path("encoder.script").string()}),
      busy.Path("log").string());
  std::this_thread::sleep_for(kSettle);
  const long idle_kb = StatusKb(idle_program.pid, "VmRSS");
  const long bare_kb = StatusKb(bare.pid, "VmRSS");
  // The rip starts at the first drive poll (2.5 s); then the lines come at once.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!fs::exists(clock) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  // The encoder has written them all; give the program a moment to take the
  // last of them from the pipe.
  std::this_thread::sleep_for(std::chrono::seconds(2));
  const long busy_kb = StatusKb(busy_program.pid, "VmRSS");
  const bool busy_ok = fs::exists(clock) && Running(busy_program);
  Stop(idle_program);
  Stop(bare);
  Stop(busy_program);

  Row("Resident memory, idle (MiB)", Format("%.1f", idle_kb / 1024.0),
      Format("%.1f", bare_kb / 1024.0) + " (bare Qt Widgets program)", "<= 30 MiB", idle_kb <= 30 * 1024);
  Row("Resident memory after 10,000 output lines (MiB)",
      busy_ok ? Format("%.1f", busy_kb / 1024.0) + " (+" +
                    Format("%.0f", (busy_kb - idle_kb) * 1024.0 / lines) + " bytes a line)"
              : std::string("the rip did not run"),
      Format("%.1f", idle_kb / 1024.0) + " (the same program idle)");
  return 0;
}
