// Whether the program slows the encoder: the wall time of the same rip of a
// sample DVD image by HandBrakeCLI alone and by HandBrakeCLI started by
// Ripwarden (headless, AutoRip, the shipped H.264 preset), with the same
// arguments. A first rip through Ripwarden warms the caches and shows the
// arguments; then RUNS pairs, which of the two goes first alternating. Both
// are timed the same way: from the encoder's start to its end, looked at
// every 2 ms in /proc.
//   encoder_overhead PROGRAM HANDBRAKECLI IMAGE RUNS
#include <sys/stat.h>

#include "bench_common.h"

namespace {

using namespace bench;

constexpr auto kLook = std::chrono::milliseconds(2);

struct Timing {
  double wall = 0;  // seconds from its start to its end
  double cpu = 0;   // seconds of processor time, all its threads
  // Looks at its threads, and those that found one waiting for room in its
  // output pipe (a reader that leaves the pipe full holds the encoder up).
  int looks = 0;
  int blocked_on_output = 0;
};

// Whether a thread of `pid` waits in pipe_write: its standard output full.
bool WaitsOnFullPipe(pid_t pid) {
  std::error_code ignored;
  for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ignored)) {
    if (ReadFile(task.path() / "wchan") == "pipe_write") return true;
  }
  return false;
}

// Processor seconds (user and system, all threads) in a /proc/<pid>/stat
// text; negative when it cannot be read.
double CpuSeconds(const std::string& stat) {
  const std::size_t paren = stat.rfind(')');
  if (paren == std::string::npos || paren + 2 >= stat.size()) return -1;
  std::istringstream fields(stat.substr(paren + 2));
  std::string field;
  unsigned long long ticks = 0;
  int i = 3;
  for (; i <= 15 && fields >> field; ++i) {
    if (i == 14 || i == 15) ticks += std::stoull(field);
  }
  return i > 15 ? static_cast<double>(ticks) / static_cast<double>(::sysconf(_SC_CLK_TCK)) : -1;
}

// Waits until the process `pid` has ended, timed from `start`. Its
// processor time is read while it is a zombie, or at the last look when its
// parent collected it first.
Timing WaitForEnd(pid_t pid, long long start) {
  const std::string stat_path = "/proc/" + std::to_string(pid) + "/stat";
  Timing timing;
  for (;;) {
    const std::string stat = ReadFile(stat_path);
    const std::size_t paren = stat.rfind(')');
    const char state = paren == std::string::npos || paren + 2 >= stat.size() ? '?' : stat[paren + 2];
    if (state == 'Z' || state == '?' || state == 'X') {
      timing.wall = static_cast<double>(NowNs() - start) / 1e9;
      if (state == 'Z') timing.cpu = CpuSeconds(stat);
      return timing;
    }
    // Collected before a look saw it end: the last look's count will do.
    timing.cpu = CpuSeconds(stat);
    if (++timing.looks % 5 == 0 && WaitsOnFullPipe(pid)) ++timing.blocked_on_output;
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

// Seconds that the threads of `pid` have run, from schedstat: finer
// than the clock ticks of stat, for a program that runs very little.
double RunSeconds(pid_t pid) {
  unsigned long long total = 0;
  std::error_code ignored;
  for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ignored)) {
    std::istringstream schedstat(ReadFile(task.path() / "schedstat"));
    unsigned long long run_ns = 0;
    if (schedstat >> run_ns) total += run_ns;
  }
  return static_cast<double>(total) / 1e9;
}

struct RipRun {
  Timing timing;
  double program_cpu = 0;  // the program's own processor seconds during the rip
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
  double program_cpu_at_start = 0;
  while (encoder_pid == 0 && std::chrono::steady_clock::now() < deadline && Running(child)) {
    for (const pid_t pid : ChildrenNamed(child.pid, name)) {
      const std::vector<std::string> argv = CommandLineOf(pid);
      if (std::find(argv.begin(), argv.end(), "-i") != argv.end()) {
        start = NowNs();
        program_cpu_at_start = RunSeconds(child.pid);
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
  run.timing = WaitForEnd(encoder_pid, start);
  run.program_cpu = RunSeconds(child.pid) - program_cpu_at_start;
  // Let the program see the end (its next drive poll) and finish the rip.
  const auto noticed = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (ProcessState(encoder_pid) == 'Z' && std::chrono::steady_clock::now() < noticed) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(sandbox.Path("out"), ignored)) {
    if (entry.is_regular_file() && entry.file_size() > 0) run.ok = true;
  }
  if (!run.ok) {
    std::cerr << "a rip through Ripwarden left no file; the encoder ran " << run.timing.wall
              << " s; what the program printed:\n"
              << ReadFile(log);
  }
  Stop(child);
  return run;
}

// As Ripwarden starts it, but by this tool: the same arguments, environment
// and kind of working folder, standard output a pipe read as it comes and
// standard error a log file.
Timing Alone(std::vector<std::string> argv) {
  Sandbox sandbox;
  for (std::size_t i = 0; i + 1 < argv.size(); ++i) {
    if (argv[i] == "-o") argv[i + 1] = (sandbox.Path("out") / fs::path(argv[i + 1]).filename()).string();
  }
  const std::string log = sandbox.Path("log").string();
  int output[2];
  if (::pipe2(output, O_CLOEXEC) != 0) std::exit(1);
  std::vector<std::string> environment = sandbox.Environment();
  std::vector<char*> variables;
  for (std::string& variable : environment) variables.push_back(variable.data());
  variables.push_back(nullptr);
  std::vector<char*> arguments;
  for (std::string& argument : argv) arguments.push_back(argument.data());
  arguments.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_addchdir_np(&actions, sandbox.Path("out").c_str());
  const long long start = NowNs();
  Child child;
  if (::posix_spawn(&child.pid, arguments[0], &actions, nullptr, arguments.data(), variables.data()) != 0) {
    std::cerr << "cannot start " << argv[0] << "\n";
    std::exit(1);
  }
  posix_spawn_file_actions_destroy(&actions);
  ::close(output[1]);
  std::thread reader([fd = output[0]] {
    char chunk[65536];
    while (::read(fd, chunk, sizeof chunk) > 0) {
    }
  });
  const Timing timing = WaitForEnd(child.pid, start);
  const int exit_code = Wait(child);
  reader.join();
  ::close(output[0]);
  if (exit_code != 0) {
    std::cerr << "HandBrakeCLI alone failed:\n" << ReadFile(log);
    std::exit(1);
  }
  return timing;
}

std::string List(const std::vector<double>& values, const char* format = "%.2f") {
  std::string text;
  for (const double value : values) text += (text.empty() ? "" : ", ") + Format(format, value);
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
  // Ripwarden reads its settings in its own home folder: the image by its full path.
  if (image.empty() || image[0] != '/' || !fs::is_regular_file(image)) {
    std::cerr << "IMAGE must be the absolute path of a disc image, not " << image << "\n";
    return 2;
  }

  const RipRun warm = ThroughRipwarden(program, encoder, image);
  if (!warm.ok) {
    std::cerr << "the first rip through Ripwarden did not produce a file\n";
    return 1;
  }
  std::string shown;
  for (std::size_t i = 1; i < warm.argv.size(); ++i) shown += " " + warm.argv[i];
  std::fprintf(stderr, "encoder arguments:%s\n", shown.c_str());

  // Side by side in time, each pair met much the same load on the machine:
  // the figure is the median of the pairs' ratios.
  std::vector<double> alone, through, wall_ratios, alone_cpu, cpu_ratios, program_share;
  int looks[2] = {0, 0};
  int blocked[2] = {0, 0};
  bool all_ok = true;
  for (int i = 0; i < runs; ++i) {
    // Which goes first alternates, so that a drift in the load favours neither.
    Timing by_itself;
    RipRun run;
    if (i % 2 == 0) {
      by_itself = Alone(warm.argv);
      run = ThroughRipwarden(program, encoder, image);
    } else {
      run = ThroughRipwarden(program, encoder, image);
      by_itself = Alone(warm.argv);
    }
    all_ok = all_ok && run.ok;
    alone.push_back(by_itself.wall);
    through.push_back(run.timing.wall);
    wall_ratios.push_back(run.timing.wall / by_itself.wall);
    if (by_itself.cpu > 0 && run.timing.cpu > 0) {
      alone_cpu.push_back(by_itself.cpu);
      cpu_ratios.push_back(run.timing.cpu / by_itself.cpu);
    }
    program_share.push_back(100.0 * run.program_cpu / run.timing.wall);
    looks[0] += by_itself.looks / 5;
    looks[1] += run.timing.looks / 5;
    blocked[0] += by_itself.blocked_on_output;
    blocked[1] += run.timing.blocked_on_output;
    std::fprintf(stderr, "pair %d: alone %.2f s (cpu %.2f s), through Ripwarden %.2f s (cpu %.2f s)\n", i + 1,
                 by_itself.wall, by_itself.cpu, run.timing.wall, run.timing.cpu);
  }

  const double ratio = Median(wall_ratios);
  const bool met = all_ok && ratio <= 1.02;
  Row("Encoder overhead: the same rip's wall time (s), " + std::to_string(runs) + " interleaved pairs",
      List(through), List(alone) + " (HandBrakeCLI alone)");
  Row("Encoder overhead: wall time through Ripwarden / alone, median of the pairs' ratios [each pair]",
      Format("%.3f", ratio) + " [" + List(wall_ratios, "%.3f") + "]", "1.000", "<= 1.02", met);
  Row("Encoder overhead: the encoder's processor time through Ripwarden / alone, median [each pair]",
      cpu_ratios.empty() ? std::string("not read")
                         : Format("%.3f", Median(cpu_ratios)) + " [" + List(cpu_ratios, "%.3f") + "]",
      "1.000 (" + Format("%.1f", Median(alone_cpu)) + " s alone)");
  Row("Encoder overhead: Ripwarden's own processor time during the rip, % of one core [each rip]",
      Format("%.3f", Median(program_share)) + " [" + List(program_share, "%.3f") + "]",
      Format("%.0f", 100.0 * Median(alone_cpu) / Median(alone)) + " (the encoder alone)");
  Row("Encoder overhead: looks (every 10 ms) finding the encoder waiting for room in its full output pipe",
      std::to_string(blocked[1]) + " of " + std::to_string(looks[1]),
      std::to_string(blocked[0]) + " of " + std::to_string(looks[0]) + " (alone, its pipe read by this tool)",
      "none", blocked[1] == 0);
  std::string load = ReadFile("/proc/loadavg");
  std::fprintf(stderr, "load average at the end: %s", load.c_str());
  if (!all_ok) std::fprintf(stderr, "note: a rip through Ripwarden left no file\n");
  return 0;
}
