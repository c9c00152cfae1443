// Stands in for the encoder in tests. It follows the script in the file named
// by RIPWARDEN_FAKE_ENCODER_SCRIPT, one command a line ('#' starts a comment):
//
//   record <file>          store pid, working folder and argv (NUL-separated)
//   write <text>           one write to stdout; \r \n \t \0 \\ \xHH escapes
//   sleep <ms>
//   flood <bytes> [<n>]    that many 'x', a line end after every n of them
//                          (none without n), as fast as the pipe takes them
//   lines <count> <text>   that many lines of text (escapes as in write),
//                          each ended by \n, as fast as they can be written
//   clock <file>           append the CLOCK_MONOTONIC time in nanoseconds
//   replay <speed> <file>  replay a stdout.chunks recording with its timing,
//                          pauses divided by speed
//   close-output           close stdout and go on
//   touch <file>           create an empty file (shows the script got there)
//   output <text>          append to the file named after -o, escapes as write
//   ignore-interrupt       from now on SIGINT does nothing
//   crash <signal>         die of the signal, leaving no core file
//   hang                   wait for a signal
//   exit <code>
//
// Without a script it prints nothing and exits 0. SIGINT makes it exit 1 at
// once, as the encoder does.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>

#include "helpers/recorded_chunks.h"

namespace {

void ExitOnInterrupt(int) { _exit(1); }

void WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      _exit(98);
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::string Unescape(std::string_view text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      bytes += text[i];
      continue;
    }
    switch (const char escaped = text[++i]) {
      case 'r':
        bytes += '\r';
        break;
      case 'n':
        bytes += '\n';
        break;
      case 't':
        bytes += '\t';
        break;
      case '0':
        bytes += '\0';
        break;
      case 'x':
        if (i + 2 < text.size()) {
          bytes += static_cast<char>(std::strtol(std::string(text.substr(i + 1, 2)).c_str(), nullptr, 16));
          i += 2;
        }
        break;
      default:
        bytes += escaped;
    }
  }
  return bytes;
}

void Record(const std::string& path, int argc, char** argv) {
  std::string record = std::to_string(::getpid()) + '\0';
  char folder[PATH_MAX];
  record += (::getcwd(folder, sizeof folder) != nullptr ? folder : "?");
  record += '\0';
  for (int i = 0; i < argc; ++i) record += std::string(argv[i]) + '\0';
  // Written aside and renamed, so that a reader never sees half of it.
  const std::string partial = path + ".partial";
  const int fd = ::open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) _exit(97);
  WriteAll(fd, record);
  ::close(fd);
  ::rename(partial.c_str(), path.c_str());
}

void Replay(double speed, const std::string& path) {
  const auto chunks = ripwarden::testing::ParseRecordedChunks(ReadFile(path));
  if (!chunks) {
    std::fprintf(stderr, "fake_encoder: cannot read recording %s\n", path.c_str());
    _exit(96);
  }
  const auto start = std::chrono::steady_clock::now();
  for (const auto& chunk : *chunks) {
    std::this_thread::sleep_until(start + std::chrono::duration<double>(chunk.seconds / speed));
    WriteAll(STDOUT_FILENO, chunk.bytes);
  }
}

void Flood(long bytes, long line_length) {
  std::string block;
  while (block.size() < 65536) {
    block += std::string(static_cast<std::size_t>(line_length > 0 ? line_length : 65536), 'x');
    if (line_length > 0) block += '\n';
  }
  // Whole periods of the pattern, so that the lines keep their length.
  const long period = line_length > 0 ? line_length + 1 : 1;
  const long step = static_cast<long>(block.size()) / period * period;
  while (bytes > 0) {
    const long now = bytes < step ? bytes : step;
    WriteAll(STDOUT_FILENO, std::string_view(block).substr(0, static_cast<std::size_t>(now)));
    bytes -= now;
  }
}

void Lines(long count, const std::string& line) {
  // Whole lines in blocks of about 64 KiB: as fast as the pipe takes them.
  const long per_block = std::max(1L, 65536L / static_cast<long>(line.size()));
  std::string block;
  for (long i = 0; i < per_block; ++i) block += line;
  while (count > 0) {
    const long now = std::min(count, per_block);
    WriteAll(STDOUT_FILENO, std::string_view(block).substr(0, static_cast<std::size_t>(now) * line.size()));
    count -= now;
  }
}

void Clock(const std::string& path) {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  const std::string text =
      std::to_string(static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec) + "\n";
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) _exit(97);
  WriteAll(fd, text);
  ::close(fd);
}

void AppendToOutputFile(int argc, char** argv, const std::string& bytes) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::string_view(argv[i]) != "-o") continue;
    const int fd = ::open(argv[i + 1], O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) _exit(95);
    WriteAll(fd, bytes);
    ::close(fd);
    return;
  }
  _exit(94);
}

void Crash(int signal) {
  const rlimit no_core{0, 0};
  ::setrlimit(RLIMIT_CORE, &no_core);
  struct sigaction fatal {};
  fatal.sa_handler = SIG_DFL;
  ::sigaction(signal, &fatal, nullptr);
  ::raise(signal);
  _exit(93);
}

}  // namespace

int main(int argc, char** argv) {
  struct sigaction on_interrupt {};
  on_interrupt.sa_handler = ExitOnInterrupt;
  ::sigaction(SIGINT, &on_interrupt, nullptr);

  const char* script_path = std::getenv("RIPWARDEN_FAKE_ENCODER_SCRIPT");
  if (script_path == nullptr) return 0;
  std::istringstream script(ReadFile(script_path));
  std::string line;
  while (std::getline(script, line)) {
    if (line.empty() || line[0] == '#') continue;
    const std::size_t space = line.find(' ');
    const std::string command = line.substr(0, space);
    const std::string rest = space == std::string::npos ? std::string() : line.substr(space + 1);
    if (command == "record") {
      Record(rest, argc, argv);
    } else if (command == "write") {
      WriteAll(STDOUT_FILENO, Unescape(rest));
    } else if (command == "sleep") {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(rest.c_str())));
    } else if (command == "flood") {
      const std::size_t gap = rest.find(' ');
      Flood(std::atol(rest.c_str()), gap == std::string::npos ? 0 : std::atol(rest.c_str() + gap + 1));
    } else if (command == "lines") {
      const std::size_t gap = rest.find(' ');
      const std::string text = gap == std::string::npos ? std::string() : rest.substr(gap + 1);
      Lines(std::atol(rest.substr(0, gap).c_str()), Unescape(text) + "\n");
    } else if (command == "clock") {
      Clock(rest);
    } else if (command == "replay") {
      const std::size_t gap = rest.find(' ');
      Replay(std::atof(rest.substr(0, gap).c_str()), rest.substr(gap + 1));
    } else if (command == "log") {
      WriteAll(STDERR_FILENO, Unescape(rest) + "\n");
    } else if (command == "flood-log") {
      const std::string block(1 << 16, 'e');
      for (long left = std::atol(rest.c_str()); left > 0; left -= static_cast<long>(block.size()))
        WriteAll(STDERR_FILENO,
                 std::string_view(block).substr(0, std::min(static_cast<std::size_t>(left), block.size())));
    } else if (command == "log-file") {
      WriteAll(STDERR_FILENO, ReadFile(rest));
    } else if (command == "close-output") {
      ::close(STDOUT_FILENO);
    } else if (command == "touch") {
      ::close(::open(rest.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    } else if (command == "output") {
      AppendToOutputFile(argc, argv, Unescape(rest));
    } else if (command == "output-copy") {
      AppendToOutputFile(argc, argv, ReadFile(rest));
    } else if (command == "ignore-interrupt") {
      ::signal(SIGINT, SIG_IGN);
    } else if (command == "crash") {
      Crash(std::atoi(rest.c_str()));
    } else if (command == "hang") {
      while (true) ::pause();
    } else if (command == "exit") {
      return std::atoi(rest.c_str());
    } else {
      std::fprintf(stderr, "fake_encoder: unknown command: %s\n", line.c_str());
      return 99;
    }
  }
  return 0;
}
