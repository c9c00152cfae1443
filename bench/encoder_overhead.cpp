// Whether the program slows the encoder: the wall time of the same rip of a
// sample DVD image by HandBrakeCLI alone and by HandBrakeCLI started by
// Ripwarden (headless, AutoRip, the shipped H.264 preset), with the same
// arguments. A first rip through Ripwarden warms the caches and shows the
// arguments; then RUNS of each, interleaved. Both are timed the same way:
// from the encoder's start to its end, looked at every 2 ms in /proc.
//   encoder_overhead PROGRAM HANDBRAKECLI IMAGE RUNS
#include <sys/stat.h>

#include "bench_common.h"

namespace {

using namespace bench;

constexpr auto kLook = std::chrono::milliseconds(2);

// Seconds until the process `pid` has ended (a zombie or gone), from `start`.
double WaitForEnd(pid_t pid, long long start) {
  for (;;) {
    const char state = ProcessState(pid);
    if (state == 'Z' || state == '?' || state == 'X') return static_cast<double>(NowNs() - start) / 1e9;
    std::this_thread::sleep_for(kLook);
  }
}

std::vector<std::string> CommandLineOf(pid_t pid) {
  const std::string raw = ReadFile("/proc/" + std::to_string(pid) + "/cmdline");
  std::vector<std::string> argv;
  for (std::size_t at = 0; at < raw.size();) {
    const std::size_t end = raw.find('\0', at);
    argv.push_back(raw.substr(at, end - at));
    at = end == std::string::npos ? raw.size() : end + 1;
  }
  return argv;
}

struct RipRun {
  double seconds = 0;
  std::vector<std::string> argv;
  bool ok = false;
};

RipRun ThroughRipwarden(const std::string& program, const std::string& encoder, const std::string& image) {
  Sandbox sandbox;
  sandbox.WriteSettings(image, encoder, "H.264 Standard (1500 kb/s)");
  const std::string log = sandbox.Path("log").string();
  Child child = Start({program}, sandbox.Environment(), log);
  const std::string name = fs::path(encoder).filename().string().substr(0, 15);
  RipRun run;
  // The rip starts at the first drive poll, 2.5 s after start; the
  // program first asks the encoder for its --help, which is not the rip.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  pid_t encoder_pid = 0;
  long long start = 0;
  while (encoder_pid == 0 && std::chrono::steady_clock::now() < deadline && Running(child)) {
    for (const pid_t pid : ChildrenNamed(child.pid, name)) {
      const std::vector<std::string> argv = CommandLineOf(pid);
      if (std::find(argv.begin(), argv.end(), "-i") != argv.end()) {
        start = NowNs();
        encoder_pid = pid;
        run.argv = argv;
      }
    }
    if (encoder_pid == 0) std::this_thread::sleep_for(kLook);
  }
  if (encoder_pid == 0) {
    std::cerr << "the encoder did not start through Ripwarden:\n" << ReadFile(log);
    Stop(child);
    return run;
  }
  run.seconds = WaitForEnd(encoder_pid, start);
  // Let the program see the end (its next drive poll) and finish the rip.
  const auto noticed = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (ProcessState(encoder_pid) == 'Z' && std::chrono::steady_clock::now() < noticed) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(sandbox.Path("out"), ignored)) {
    if (entry.is_regular_file() && entry.file_size() > 0) run.ok = true;
  }
  Stop(child);
  return run;
}

double Alone(std::vector<std::string> argv, const fs::path& folder) {
  fs::remove_all(folder);
  fs::create_directories(folder);
  // The same arguments, the output file in a folder of its own.
  for (std::size_t i = 0; i + 1 < argv.size(); ++i) {
    if (argv[i] == "-o") argv[i + 1] = (folder / fs::path(argv[i + 1]).filename()).string();
  }
  const long long start = NowNs();
  Child child = Start(argv, ThisEnvironment(), (folder / "log").string());
  const double seconds = WaitForEnd(child.pid, start);
  if (Wait(child) != 0) {
    std::cerr << "HandBrakeCLI alone failed:\n" << ReadFile(folder / "log");
    std::exit(1);
  }
  return seconds;
}

std::string List(const std::vector<double>& values) {
  std::string text;
  for (const double value : values) text += (text.empty() ? "" : ", ") + Format("%.2f", value);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::cerr << "usage: " << argv[0] << " PROGRAM HANDBRAKECLI IMAGE RUNS\n";
    return 2;
  }
  const std::string program = argv[1];
  const std::string encoder = argv[2];
  const std::string image = argv[3];
  const int runs = std::max(1, std::atoi(argv[4]));

  const RipRun warm = ThroughRipwarden(program, encoder, image);
  if (!warm.ok) {
    std::cerr << "the first rip through Ripwarden did not produce a file\n";
    return 1;
  }
  std::string shown;
  for (std::size_t i = 1; i < warm.argv.size(); ++i) shown += " " + warm.argv[i];
  std::fprintf(stderr, "encoder arguments:%s\n", shown.c_str());

  std::string pattern = (fs::temp_directory_path() / "ripwarden-bench-alone-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) return 1;
  const fs::path alone_folder = pattern;
  std::vector<double> alone, through;
  bool all_ok = true;
  for (int i = 0; i < runs; ++i) {
    alone.push_back(Alone(warm.argv, alone_folder));
    const RipRun run = ThroughRipwarden(program, encoder, image);
    all_ok = all_ok && run.ok;
    through.push_back(run.seconds);
  }
  fs::remove_all(alone_folder);

  const double ratio = Median(through) / Median(alone);
  Row("Encoder overhead: the same rip, wall time (s), median of " + std::to_string(runs) + " [each run]",
      Format("%.2f", Median(through)) + " [" + List(through) + "]",
      Format("%.2f", Median(alone)) + " [" + List(alone) + "] (HandBrakeCLI alone)", "ratio <= 1.02",
      all_ok && ratio <= 1.02);
  Row("Encoder overhead: ratio, through Ripwarden / alone", Format("%.3f", ratio), "1.000", "<= 1.02",
      all_ok && ratio <= 1.02);
  if (!all_ok) std::fprintf(stderr, "note: a rip through Ripwarden left no file\n");
  return 0;
}
