#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ripwarden::testing {

class TempFolder;

// The helper program that stands in for the encoder (see fake_encoder.cpp).
std::string FakeEncoderPath();

// The window program has no console; a test program that stops encoders as
// the program does leaves the one it was given: the Win32 runner sends the
// encoder Ctrl+C on the encoder's console, which a process with a console of
// its own cannot attach to. Nothing on Linux. Output redirected to a file,
// as scripts/test-windows.sh has it, still goes there.
void LeaveConsoleAsTheProgramHasNone();

// The test assets folder of the source tree.
std::string AssetsFolder();

// A script line for the log of an encoder that got every frame of the title.
inline constexpr const char* kWholeLog = "log sync: got 9 frames, 9 expected\n";

// Makes every fake encoder started while this lives follow script. The script
// reaches the child through the environment it inherits; its file stays in
// folder after this goes.
class FakeEncoderScript {
 public:
  FakeEncoderScript(const TempFolder& folder, std::string_view script);
  ~FakeEncoderScript();
  FakeEncoderScript(const FakeEncoderScript&) = delete;
  FakeEncoderScript& operator=(const FakeEncoderScript&) = delete;
};

// The bytes as the argument of a "write" command.
std::string ScriptText(std::string_view bytes);

// A script that replays a recorded run of the real encoder (a folder of
// tests/assets/handbrake-1.6.1) speed times faster and ends with its exit code.
std::string ReplayScript(const std::string& recording_folder, double speed);

// What the fake encoder stored with "record".
struct EncoderRecord {
  pid_t pid = 0;
  std::string working_folder;
  std::vector<std::string> argv;
};
std::optional<EncoderRecord> ReadEncoderRecord(const std::string& path);
// Waits up to timeout_ms for the record to appear.
std::optional<EncoderRecord> AwaitEncoderRecord(const std::string& path, int timeout_ms);

}  // namespace ripwarden::testing
