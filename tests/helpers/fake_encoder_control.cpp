#include "helpers/fake_encoder_control.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "temp_folder.h"

namespace ripwarden::testing {

namespace {
constexpr const char* kScriptVariable = "RIPWARDEN_FAKE_ENCODER_SCRIPT";

// The C runtime on Windows has no setenv; an empty value there removes the variable.
void SetScriptVariable(const char* value) {
#ifdef _WIN32
  ::_putenv_s(kScriptVariable, value);
#else
  if (*value == '\0')
    ::unsetenv(kScriptVariable);
  else
    ::setenv(kScriptVariable, value, 1);
#endif
}
}  // namespace

std::string FakeEncoderPath() { return FAKE_ENCODER_PATH; }

void LeaveConsoleAsTheProgramHasNone() {
#ifdef _WIN32
  ::FreeConsole();
#endif
}

std::string AssetsFolder() { return ASSETS_FOLDER; }

FakeEncoderScript::FakeEncoderScript(const TempFolder& folder, std::string_view script) {
  // A file of its own: an encoder started earlier may not have read its script yet.
  static int written = 0;
  const std::string name = "fake-encoder-" + std::to_string(++written) + ".script";
  SetScriptVariable(folder.Write(name, script).c_str());
}

FakeEncoderScript::~FakeEncoderScript() { SetScriptVariable(""); }

std::string ScriptText(std::string_view bytes) {
  std::string text;
  for (const char c : bytes) {
    if (c == '\r')
      text += "\\r";
    else if (c == '\n')
      text += "\\n";
    else if (c == '\0')
      text += "\\0";
    else if (c == '\\')
      text += "\\\\";
    else
      text += c;
  }
  return text;
}

std::string ReplayScript(const std::string& recording_folder, double speed) {
  const std::string exit_code = ReadFileBytes(recording_folder + "/exit-code");
  return "replay " + std::to_string(speed) + " " + recording_folder + "/stdout.chunks\nlog-file " +
         recording_folder + "/stderr\nexit " + exit_code + "\n";
}

std::optional<EncoderRecord> ReadEncoderRecord(const std::string& path) {
  if (!FileExists(path)) return std::nullopt;
  const std::string content = ReadFileBytes(path);
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (std::size_t end; (end = content.find('\0', start)) != std::string::npos; start = end + 1) {
    fields.push_back(content.substr(start, end - start));
  }
  if (fields.size() < 3) return std::nullopt;
  EncoderRecord record;
  record.pid = static_cast<pid_t>(std::atoi(fields[0].c_str()));
  record.working_folder = fields[1];
  record.argv.assign(fields.begin() + 2, fields.end());
  return record;
}

std::optional<EncoderRecord> AwaitEncoderRecord(const std::string& path, int timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (true) {
    if (auto record = ReadEncoderRecord(path)) return record;
    if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace ripwarden::testing
