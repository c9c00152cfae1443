#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <atomic>
#include <thread>

#include "helpers/fake_encoder_system.h"

namespace fake_encoder {

namespace {

std::atomic<bool> ignore_stop{false};
std::atomic<bool> read_input{true};

// The encoder handles SIGINT, which its C runtime makes of Ctrl+C; the
// stand-in takes Ctrl+Break too, so that a runner sending either passes.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  if (!ignore_stop) ::ExitProcess(1);
  return TRUE;
}

std::string Utf8(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int needed = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(needed), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), needed, nullptr, nullptr);
  return utf8;
}

std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int needed = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), needed);
  return wide;
}

void WriteAll(HANDLE handle, std::string_view bytes, UINT failure) {
  while (!bytes.empty()) {
    DWORD written = 0;
    if (!::WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
      ::ExitProcess(failure);
    }
    bytes.remove_prefix(written);
  }
}

}  // namespace

void ExitOnStopRequest() {
  ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
  // Unless told otherwise, "q" on standard input stops it too, as it stops
  // the encoder where that reads its keys there.
  std::thread([] {
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    char c = 0;
    DWORD got = 0;
    while (read_input && ::ReadFile(input, &c, 1, &got, nullptr) && got == 1) {
      if (c == 'q' && read_input && !ignore_stop) ::ExitProcess(1);
    }
  }).detach();
}

void IgnoreStopRequests() { ignore_stop = true; }

void IgnoreInput() { read_input = false; }

void WriteOutput(std::string_view bytes) { WriteAll(::GetStdHandle(STD_OUTPUT_HANDLE), bytes, 98); }

void CloseOutput() {
  ::CloseHandle(::GetStdHandle(STD_OUTPUT_HANDLE));
  ::SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
}

void WriteError(std::string_view bytes) { WriteAll(::GetStdHandle(STD_ERROR_HANDLE), bytes, 98); }

void AppendToFile(const std::string& path, std::string_view bytes) {
  const HANDLE file = ::CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) ::ExitProcess(97);
  WriteAll(file, bytes, 97);
  ::CloseHandle(file);
}

void PutInPlace(const std::string& from, const std::string& to) {
  ::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING);
}

std::string ProcessId() { return std::to_string(::GetCurrentProcessId()); }

std::string WorkingFolder() {
  wchar_t folder[32768];
  const DWORD length = ::GetCurrentDirectoryW(32768, folder);
  return length == 0 || length >= 32768 ? "?" : Utf8({folder, length});
}

std::vector<std::string> Arguments(int, char**) {
  // main's argv is in the ANSI code page, which loses what the runner sent.
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(Utf8(wide[i]));
  ::LocalFree(wide);
  return arguments;
}

std::int64_t MonotonicNanoseconds() {
  LARGE_INTEGER now{};
  LARGE_INTEGER frequency{};
  ::QueryPerformanceCounter(&now);
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<std::int64_t>(static_cast<double>(now.QuadPart) * 1e9 /
                                   static_cast<double>(frequency.QuadPart));
}

void Crash(int) {
  // What a process that dies of an access violation reports.
  ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(EXCEPTION_ACCESS_VIOLATION));
  ::ExitProcess(93);
}

void Hang() {
  while (true) ::Sleep(INFINITE);
}

}  // namespace fake_encoder
