#pragma once

// What the stand-in encoder needs from the system, one file per system.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fake_encoder {

// From now on a stop request (SIGINT on Linux; on Windows Ctrl+C or
// Ctrl+Break on the console, as the encoder takes them, or "q" on standard
// input) makes the process exit 1 at once.
void ExitOnStopRequest();
void IgnoreStopRequests();
// From now on standard input is not read: "q" there stops nothing. (Linux:
// it is never read.)
void IgnoreInput();

// One write to standard output (as many as it takes); exit 98 on failure.
void WriteOutput(std::string_view bytes);
void CloseOutput();
// One write to standard error; exit 98 on failure.
void WriteError(std::string_view bytes);
// Appends to a file, making it when missing; exit 97 on failure.
void AppendToFile(const std::string& path, std::string_view bytes);
// Puts from in to's place, replacing it.
void PutInPlace(const std::string& from, const std::string& to);

std::string ProcessId();
std::string WorkingFolder();
// The arguments exactly as the starting process gave them, in UTF-8.
std::vector<std::string> Arguments(int argc, char** argv);
std::int64_t MonotonicNanoseconds();

// Dies of the signal (on Windows: ends as a crashed process does).
[[noreturn]] void Crash(int signal);
// Waits until something from outside ends the process.
[[noreturn]] void Hang();

}  // namespace fake_encoder
