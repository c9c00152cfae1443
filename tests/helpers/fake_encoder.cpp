// Stands in for the encoder in tests. It follows the script in the file named
// by RIPWARDEN_FAKE_ENCODER_SCRIPT, one command a line ('#' starts a comment):
//
//   record <file>          store pid, working folder and argv (NUL-separated)
//   write <text>           one write to stdout; \r \n \t \0 \\ \xHH escapes
//   error <text>           one write to stderr, escapes as in write
//   log <text>             a line of the encoder's log: error, with a line end
//   log-file <file>        the file's bytes to stderr, as a recorded log
//   flood-error <bytes>    that many 'e' to stderr
//   environment <name> <file>  store the variable's value (nothing when unset)
//   sleep <ms>
//   flood <bytes> [<n>]    that many 'x', a line end after every n of them
//                          (none without n), as fast as the pipe takes them
//   lines <count> <text>   that many lines of text (escapes as in write),
//                          each ended by \n, as fast as they can be written
//   clock <file>           append the monotonic clock's time in nanoseconds
//   replay <speed> <file>  replay a stdout.chunks recording with its timing,
//                          pauses divided by speed
//   close-output           close stdout and go on
//   touch <file>           create an empty file (shows the script got there)
//   output <text>          append to the file named after -o, escapes as write
//   output-copy <file>     append the file's bytes to the file named after -o
//   ignore-interrupt       from now on a stop request does nothing
//   ignore-input           from now on standard input is not read, as the
//                          encoder's Windows build reads its keys from the
//                          console: only SIGINT (on Windows the console's
//                          Ctrl+C or Ctrl+Break) stops it
//   crash <signal>         die of the signal, leaving no core file (on
//                          Windows: end as an access violation does)
//   hang                   wait for a signal
//   exit <code>
//
// Without a script it prints nothing and exits 0. A stop request (SIGINT; on
// Windows Ctrl+C or Ctrl+Break on its console, or "q" on standard input)
// makes it exit 1 at once, as the encoder does.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>

#include "helpers/fake_encoder_system.h"
#include "helpers/recorded_chunks.h"

namespace {

using namespace fake_encoder;

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
  std::string record = ProcessId() + '\0' + WorkingFolder() + '\0';
  for (const std::string& argument : Arguments(argc, argv)) record += argument + '\0';
  // Written aside and put in place, so that a reader never sees half of it.
  const std::string partial = path + ".partial";
  std::remove(partial.c_str());
  AppendToFile(partial, record);
  PutInPlace(partial, path);
}

void Replay(double speed, const std::string& path) {
  const auto chunks = ripwarden::testing::ParseRecordedChunks(ReadFile(path));
  if (!chunks) {
    std::fprintf(stderr, "fake_encoder: cannot read recording %s\n", path.c_str());
    std::exit(96);
  }
  const auto start = std::chrono::steady_clock::now();
  for (const auto& chunk : *chunks) {
    std::this_thread::sleep_until(start + std::chrono::duration<double>(chunk.seconds / speed));
    WriteOutput(chunk.bytes);
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
    WriteOutput(std::string_view(block).substr(0, static_cast<std::size_t>(now)));
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
    WriteOutput(std::string_view(block).substr(0, static_cast<std::size_t>(now) * line.size()));
    count -= now;
  }
}

void Clock(const std::string& path) { AppendToFile(path, std::to_string(MonotonicNanoseconds()) + "\n"); }

void AppendToOutputFile(const std::vector<std::string>& arguments, const std::string& bytes) {
  for (std::size_t i = 1; i + 1 < arguments.size(); ++i) {
    if (arguments[i] != "-o") continue;
    AppendToFile(arguments[i + 1], bytes);
    return;
  }
  std::exit(94);
}

}  // namespace

int main(int argc, char** argv) {
  ExitOnStopRequest();

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
      WriteOutput(Unescape(rest));
    } else if (command == "error") {
      WriteError(Unescape(rest));
    } else if (command == "flood-error") {
      for (long left = std::atol(rest.c_str()); left > 0; left -= 65536) {
        WriteError(std::string(static_cast<std::size_t>(std::min(left, 65536L)), 'e'));
      }
    } else if (command == "environment") {
      const std::size_t gap = rest.find(' ');
      const char* value = std::getenv(rest.substr(0, gap).c_str());
      AppendToFile(rest.substr(gap + 1), value != nullptr ? value : "");
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
      WriteError(Unescape(rest) + "\n");
    } else if (command == "log-file") {
      WriteError(ReadFile(rest));
    } else if (command == "close-output") {
      CloseOutput();
    } else if (command == "touch") {
      AppendToFile(rest, "");
    } else if (command == "output") {
      AppendToOutputFile(Arguments(argc, argv), Unescape(rest));
    } else if (command == "output-copy") {
      AppendToOutputFile(Arguments(argc, argv), ReadFile(rest));
    } else if (command == "ignore-interrupt") {
      IgnoreStopRequests();
    } else if (command == "ignore-input") {
      IgnoreInput();
    } else if (command == "crash") {
      Crash(std::atoi(rest.c_str()));
    } else if (command == "hang") {
      Hang();
    } else if (command == "exit") {
      return std::atoi(rest.c_str());
    } else {
      std::fprintf(stderr, "fake_encoder: unknown command: %s\n", line.c_str());
      return 99;
    }
  }
  return 0;
}
