// What the program costs the machine while it waits for a disc: how often it
// wakes (voluntary context switches, all threads) and how much processor time
// it takes, measured over the same window beside a polling reference loop.
//   idle_cost PROGRAM REFERENCE_LOOP      (BENCH_SECONDS, default 60;
//                                          BENCH_DRIVES sources watched, default 1)
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

// Settling time after start: start-up and the first drive poll are not idling.
constexpr auto kSettle = std::chrono::seconds(3);

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

struct Figures {
  double wakeups_per_second;
  double cpu_percent;       // from the tick counts
  double cpu_percent_fine;  // from schedstat; negative when not available
};

// Follows one process's threads through the window. Threads come and go
// (Qt ends a pooled thread after 30 s of idling) and a thread's counts go
// with it, so each is counted from its first look to its last, and the looks
// come often.
class Meter {
 public:
  explicit Meter(pid_t pid) : process_("/proc/" + std::to_string(pid)) {}

  void Look() {
    std::error_code ignored;
    for (const auto& task : fs::directory_iterator(process_ / "task", ignored)) {
      unsigned long long wakeups = 0;
      std::istringstream status(ReadFile(task.path() / "status"));
      for (std::string line; std::getline(status, line);) {
        if (line.starts_with("voluntary_ctxt_switches:")) wakeups = std::stoull(line.substr(24));
      }
      unsigned long long run_ns = 0;
      std::istringstream schedstat(ReadFile(task.path() / "schedstat"));
      if (!(schedstat >> run_ns)) have_run_ns_ = false;
      const auto [thread, fresh] = threads_.try_emplace(std::stoi(task.path().filename().string()));
      // Counted from the first look; a thread born later, from nothing.
      if (fresh && looks_ == 0) thread->second = {wakeups, wakeups, run_ns, run_ns};
      thread->second.last_wakeups = wakeups;
      thread->second.last_run_ns = run_ns;
    }
    // The process's own line sums its threads, ended ones included.
    const std::string stat = ReadFile(process_ / "stat");
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    unsigned long long ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
      if (i == 14 || i == 15) ticks += std::stoull(field);
    }
    if (looks_++ == 0) first_ticks_ = ticks;
    last_ticks_ = ticks;
  }

  Figures Result(double seconds) const {
    unsigned long long wakeups = 0;
    unsigned long long run_ns = 0;
    for (const auto& [id, thread] : threads_) {
      wakeups += thread.last_wakeups - thread.first_wakeups;
      run_ns += thread.last_run_ns - thread.first_run_ns;
    }
    const double tick = static_cast<double>(::sysconf(_SC_CLK_TCK));
    return {static_cast<double>(wakeups) / seconds,
            100.0 * static_cast<double>(last_ticks_ - first_ticks_) / tick / seconds,
            have_run_ns_ ? 100.0 * static_cast<double>(run_ns) / 1e9 / seconds : -1.0};
  }

 private:
  struct Thread {
    unsigned long long first_wakeups = 0, last_wakeups = 0;
    unsigned long long first_run_ns = 0, last_run_ns = 0;
  };
  fs::path process_;
  std::map<pid_t, Thread> threads_;
  int looks_ = 0;
  unsigned long long first_ticks_ = 0, last_ticks_ = 0;
  bool have_run_ns_ = true;
};

pid_t Start(const std::string& program, const std::vector<std::string>& environment, const std::string& log) {
  std::vector<char*> variables;
  for (const std::string& variable : environment) variables.push_back(const_cast<char*>(variable.c_str()));
  variables.push_back(nullptr);
  std::string name = program;
  char* argv[] = {name.data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  pid_t pid = -1;
  const int error = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv, variables.data());
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    std::cerr << "cannot start " << program << "\n";
    std::exit(1);
  }
  return pid;
}

struct Child {
  pid_t pid;
  int exit_code = -1;  // once it has ended
};

bool Running(Child& child) {
  int status = 0;
  if (child.exit_code >= 0 || ::waitpid(child.pid, &status, WNOHANG) != child.pid) return child.exit_code < 0;
  child.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return false;
}

int Stop(Child& child) {
  if (Running(child)) {
    ::kill(child.pid, SIGTERM);
    int status = 0;
    ::waitpid(child.pid, &status, 0);
    child.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  return child.exit_code;
}

void PrintRow(const char* name, const Figures& f) {
  char fine[32] = "n/a";
  if (f.cpu_percent_fine >= 0) std::snprintf(fine, sizeof fine, "%.4f", f.cpu_percent_fine);
  std::fprintf(stderr, "%-32s %12.2f %14.4f %14s\n", name, f.wakeups_per_second, f.cpu_percent, fine);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: " << argv[0] << " PROGRAM REFERENCE_LOOP\n";
    return 2;
  }
  const char* seconds_text = std::getenv("BENCH_SECONDS");
  const int seconds = seconds_text != nullptr ? std::atoi(seconds_text) : 60;
  if (seconds < 1) {
    std::cerr << "BENCH_SECONDS must be a whole number of seconds, at least 1\n";
    return 2;
  }

  const char* drives_text = std::getenv("BENCH_DRIVES");
  const int drives = drives_text != nullptr ? std::atoi(drives_text) : 1;
  if (drives < 1) {
    std::cerr << "BENCH_DRIVES must be a whole number, at least 1\n";
    return 2;
  }
  // A user whose drives name disc images that are not there: nothing to rip.
  std::string pattern = (fs::temp_directory_path() / "ripwarden-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) return 1;
  const fs::path home = pattern;
  fs::create_directories(home / "ripwarden/Data/Config");
  fs::create_directories(home / "runtime");
  fs::permissions(home / "runtime", fs::perms::owner_all, fs::perm_options::replace);
  std::string sources;
  for (int drive = 1; drive <= drives; ++drive) {
    sources += (drive > 1 ? "|" : "") + (home / ("missing-" + std::to_string(drive) + ".iso")).string();
  }
  std::ofstream(home / "ripwarden/Data/Config/Settings.cfg")
      << "[Ripping]\nSourceDrive = " << sources << "\nDestination = " << home.string()
      << "/\nFileContainer = MP4\nEncoding = \n[Other]\nStartMinimised = 1\nAutoRip = 1\nEjectOnFinish = 0\n"
         "[HandBrake]\nLocation = HandBrakeCLI\n";
  std::ofstream(home / "ripwarden/Data/Config/Presets.cfg") << "";

  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string variable = *entry;
    const std::string name = variable.substr(0, variable.find('='));
    if (name != "HOME" && name != "RIPWARDEN_HOME" && name != "XDG_RUNTIME_DIR" &&
        name != "XDG_CONFIG_HOME" && name != "QT_QPA_PLATFORM") {
      environment.push_back(variable);
    }
  }
  environment.push_back("HOME=" + home.string());
  environment.push_back("RIPWARDEN_HOME=" + (home / "ripwarden").string());
  environment.push_back("XDG_RUNTIME_DIR=" + (home / "runtime").string());
  environment.push_back("QT_QPA_PLATFORM=offscreen");

  Child program{Start(argv[1], environment, (home / "program.log").string())};
  Child reference{Start(argv[2], environment, (home / "reference.log").string())};
  std::this_thread::sleep_for(kSettle);
  if (!Running(program) || !Running(reference)) {
    std::cerr << "a measured process ended early:\n" << ReadFile(home / "program.log") << "\n";
    return 1;
  }

  Meter program_meter(program.pid);
  Meter reference_meter(reference.pid);
  const auto start = std::chrono::steady_clock::now();
  const auto end = start + std::chrono::seconds(seconds);
  for (auto now = start; now < end; now = std::chrono::steady_clock::now()) {
    program_meter.Look();
    reference_meter.Look();
    std::this_thread::sleep_until(std::min(end, now + std::chrono::milliseconds(200)));
  }
  program_meter.Look();
  reference_meter.Look();
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const bool program_ran_through = Running(program);
  const int program_exit = Stop(program);
  Stop(reference);

  const Figures ours = program_meter.Result(elapsed);
  const Figures polling = reference_meter.Result(elapsed);
  // The details on standard error; the table's rows on standard output.
  std::fprintf(stderr, "Idle cost over %.1f s, after %d s of settling (one core = 100 %%; ticks of %ld ms)\n",
               elapsed, static_cast<int>(kSettle.count()), 1000 / ::sysconf(_SC_CLK_TCK));
  std::fprintf(stderr, "%-32s %12s %14s %14s\n", "", "wakeups/s", "CPU % (ticks)", "CPU % (sched)");
  PrintRow("ripwarden, no disc (offscreen)", ours);
  PrintRow("reference: processEvents + 1 ms", polling);
  const double fewer = ours.wakeups_per_second > 0 ? polling.wakeups_per_second / ours.wakeups_per_second : 0;
  const double cpu = ours.cpu_percent_fine >= 0 ? ours.cpu_percent_fine : ours.cpu_percent;
  const double reference_cpu = polling.cpu_percent_fine >= 0 ? polling.cpu_percent_fine : polling.cpu_percent;
  const bool ran_through = program_ran_through && program_exit == 0;
  char ours_text[96], reference_text[96], cpu_text[64], reference_cpu_text[64];
  if (ours.wakeups_per_second > 0) {
    std::snprintf(ours_text, sizeof ours_text, "%.2f (%.0fx fewer)", ours.wakeups_per_second, fewer);
  } else {
    std::snprintf(ours_text, sizeof ours_text, "0 (never woke)");
  }
  std::snprintf(reference_text, sizeof reference_text, "%.0f (processEvents + sleep 1 ms)",
                polling.wakeups_per_second);
  std::snprintf(cpu_text, sizeof cpu_text, "%.4f", cpu);
  std::snprintf(reference_cpu_text, sizeof reference_cpu_text, "%.2f", reference_cpu);
  const std::string window = " (" + std::to_string(seconds) + " s, no disc" +
                             (drives > 1 ? ", " + std::to_string(drives) + " drives watched" : "") + ")";
  std::printf("| Idle wakeups/s%s | %s | %s | >= 400x fewer | %s |\n", window.c_str(), ours_text,
              reference_text,
              ran_through && (ours.wakeups_per_second == 0 || fewer >= 400) ? "met" : "**NOT met**");
  std::printf("| Idle CPU share, %% of one core%s | %s | %s | < 0.05 %% | %s |\n", window.c_str(), cpu_text,
              reference_cpu_text, ran_through && cpu < 0.05 ? "met" : "**NOT met**");
  if (!ran_through) {
    std::fprintf(stderr, "note: the program %s (exit code %d)\n",
                 program_ran_through ? "did not stop cleanly" : "ended during the window", program_exit);
  }
  std::error_code ignored;
  fs::remove_all(home, ignored);
  return 0;
}
