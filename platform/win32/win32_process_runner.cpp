#include "platform/win32/win32_process_runner.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <memory>
#include <mutex>

#include "platform/win32/pipe_reader.h"
#include "platform/win32/win32_command_line.h"
#include "platform/win32/win32_text.h"

namespace ripwarden::win32_platform {

namespace {

// What HandBrakeCLI reads to stop cleanly where it reads its standard input
// for keys; its Windows build reads the console instead and never sees it.
constexpr char kStopRequest[] = "q\n";
// How long the end of a child's output may lag behind the end of the child.
constexpr std::uint32_t kOutputEndGrace = 200;

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::optional<int> ExitStatus(HANDLE process) {
  if (::WaitForSingleObject(process, 0) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  if (!::GetExitCodeProcess(process, &code)) return -1;
  return static_cast<int>(code);
}

HANDLE Inheritable(HANDLE handle) {
  HANDLE copy = nullptr;
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE ||
      !::DuplicateHandle(::GetCurrentProcess(), handle, ::GetCurrentProcess(), &copy, 0, TRUE,
                         DUPLICATE_SAME_ACCESS)) {
    // No standard error of our own (a windowed program): the child writes to nothing.
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    copy = ::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, OPEN_EXISTING,
                         0, nullptr);
  }
  return copy == INVALID_HANDLE_VALUE ? nullptr : copy;
}

// The child inherits exactly its three standard handles, nothing else this
// process holds inheritable at that moment.
class HandleList {
 public:
  explicit HandleList(std::vector<HANDLE> handles) : handles_(std::move(handles)) {
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    storage_.resize(size);
    list_ = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
    if (size == 0 || !::InitializeProcThreadAttributeList(list_, 1, 0, &size)) {
      list_ = nullptr;
      return;
    }
    if (!::UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_.data(),
                                     handles_.size() * sizeof(HANDLE), nullptr, nullptr)) {
      ::DeleteProcThreadAttributeList(list_);
      list_ = nullptr;
    }
  }
  ~HandleList() {
    if (list_ != nullptr) ::DeleteProcThreadAttributeList(list_);
  }
  HandleList(const HandleList&) = delete;
  HandleList& operator=(const HandleList&) = delete;
  LPPROC_THREAD_ATTRIBUTE_LIST get() const { return list_; }

 private:
  std::vector<HANDLE> handles_;
  std::vector<char> storage_;
  LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

// This process's environment with TEMP and TMP (and nothing else) changed, as
// CreateProcessW takes it; empty for the caller's own.
std::wstring ChildEnvironment(const std::string& temp_folder) {
  if (temp_folder.empty()) return {};
  const auto is_temp = [](std::wstring_view entry) {
    std::wstring name(entry.substr(0, entry.find(L'=', 1)));
    for (wchar_t& c : name) c = static_cast<wchar_t>(std::towupper(c));
    return name == L"TEMP" || name == L"TMP";
  };
  std::wstring block;
  wchar_t* own = ::GetEnvironmentStringsW();
  for (const wchar_t* entry = own; entry != nullptr && *entry != L'\0'; entry += wcslen(entry) + 1) {
    if (!is_temp(entry)) block.append(entry).push_back(L'\0');
  }
  if (own != nullptr) ::FreeEnvironmentStringsW(own);
  const std::wstring folder = WidePath(temp_folder);
  block.append(L"TEMP=" + folder).push_back(L'\0');
  block.append(L"TMP=" + folder).push_back(L'\0');
  block.push_back(L'\0');
  return block;
}

// The Ctrl+C this process sends reaches it too, on a thread of its own and
// perhaps only after it has left the console; it has no console to get any
// other (see SendCtrlC).
BOOL WINAPI IgnoreOwnCtrlC(DWORD event) { return event == CTRL_C_EVENT ? TRUE : FALSE; }

// Ctrl+C on the child's own console (CREATE_NO_WINDOW made it), which its C
// runtime turns into the SIGINT the encoder stops on. Not Ctrl+Break to a new
// process group: GenerateConsoleCtrlEvent reaches only a console the sender
// shares, a window program shares none, and SIGBREAK the encoder does not
// handle. AttachConsole needs this process to have no console, as the window
// program has none. A handler kept for good ignores the event here, not
// SetConsoleCtrlHandler(nullptr, TRUE): that would have to be undone in time,
// and a child started meanwhile would inherit it and ignore Ctrl+C.
void SendCtrlC(DWORD pid) {
  static std::mutex console;  // one console per process: one attachment at a time
  const std::lock_guard hold(console);
  // Attaching may make the child's console our standard handles, which
  // leaving it may close: ours are put back, or a child started later would
  // inherit whatever comes to hold those numbers.
  constexpr DWORD kStandard[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  HANDLE saved[3];
  for (int i = 0; i < 3; ++i) saved[i] = ::GetStdHandle(kStandard[i]);
  if (!::AttachConsole(pid)) return;
  static const bool ignoring = ::SetConsoleCtrlHandler(IgnoreOwnCtrlC, TRUE) != 0;
  if (ignoring) ::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
  ::FreeConsole();
  for (int i = 0; i < 3; ++i) ::SetStdHandle(kStandard[i], saved[i]);
}

bool WriteAll(HANDLE file, const char* bytes, std::size_t size) {
  while (size > 0) {
    DWORD put = 0;
    if (!::WriteFile(file, bytes, static_cast<DWORD>(size), &put, nullptr) || put == 0) return false;
    bytes += put;
    size -= put;
  }
  return true;
}

// Copies the child's standard error (the pipe's read end) into the log file;
// takes both handles. A read ends with ERROR_BROKEN_PIPE once every holder of
// the write end has gone.
std::shared_ptr<ErrorLog> StartErrorLog(HANDLE from, HANDLE file) {
  return ErrorLog::Start(
      [from](char* buffer, std::size_t size) -> std::size_t {
        DWORD got = 0;
        return ::ReadFile(from, buffer, static_cast<DWORD>(size), &got, nullptr) ? got : 0;
      },
      [file](const char* bytes, std::size_t size) { return WriteAll(file, bytes, size); },
      [from, file] {
        ::CloseHandle(from);
        ::CloseHandle(file);
      });
}

// Why the call just made failed; some leave no error of their own.
std::string LastFailure(DWORD otherwise = ERROR_GEN_FAILURE) {
  const DWORD code = ::GetLastError();
  return SystemMessage(code != ERROR_SUCCESS ? code : otherwise);
}

}  // namespace

std::optional<std::wstring> ResolveProgram(const std::string& program) {
  ::SetLastError(ERROR_FILE_NOT_FOUND);
  if (program.empty()) return std::nullopt;
  std::wstring found(32768, L'\0');
  const DWORD length = ::SearchPathW(nullptr, WidePath(program).c_str(), L".exe",
                                     static_cast<DWORD>(found.size()), found.data(), nullptr);
  if (length == 0 || length >= found.size()) return std::nullopt;
  found.resize(length);
  if (IsFolder(found)) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return std::nullopt;
  }
  return found;
}

struct Win32ProcessRunner::Process final : Child {
  ~Process() override {
    if (input != nullptr) ::CloseHandle(input);
    if (process != nullptr) ::CloseHandle(process);
  }

  HANDLE process = nullptr;
  DWORD pid = 0;
  HANDLE input = nullptr;  // our end of the child's standard input
  std::unique_ptr<PipeReader> output;
  bool interrupted = false;  // asked to stop
};

Win32ProcessRunner::Win32ProcessRunner() : ProcessRunnerCore(kOutputEndGrace) {
  job_ = ::CreateJobObjectW(nullptr, nullptr);
  if (job_ == nullptr) return;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  ::SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof limits);
}

Win32ProcessRunner::~Win32ProcessRunner() {
  ForgetAll();
  // Ends whatever still runs in the job.
  if (job_ != nullptr) ::CloseHandle(job_);
}

Win32ProcessRunner::Spawned Win32ProcessRunner::Spawn(const std::string& program,
                                                      const std::vector<std::string>& arguments,
                                                      const std::string& working_folder,
                                                      const ProcessOptions& options) {
  const std::optional<std::wstring> file = ResolveProgram(program);
  if (!file) return Spawned::Failed(LastFailure(ERROR_FILE_NOT_FOUND));
  const std::wstring folder = WidePath(working_folder);
  if (!folder.empty() && !IsFolder(folder)) {
    // A file where the folder should be: the attributes were read without error.
    ::SetLastError(ERROR_SUCCESS);
    ::GetFileAttributesW(folder.c_str());
    return Spawned::Failed(LastFailure(ERROR_DIRECTORY));
  }

  auto output = std::make_unique<PipeReader>();
  if (!output->valid()) return Spawned::Failed(LastFailure());
  HANDLE child_output = output->TakeChildEnd();
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE child_input = nullptr;
  HANDLE input = nullptr;
  if (!::CreatePipe(&child_input, &input, &inherited, 0)) {
    const std::string why = LastFailure();
    ::CloseHandle(child_output);
    return Spawned::Failed(why);
  }
  ::SetHandleInformation(input, HANDLE_FLAG_INHERIT, 0);
  HANDLE child_error = nullptr;
  HANDLE error_read_end = nullptr;
  HANDLE log_file = INVALID_HANDLE_VALUE;
  if (!options.error_log.empty()) {
    log_file = ::CreateFileW(WidePath(options.error_log).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log_file != INVALID_HANDLE_VALUE && !::CreatePipe(&error_read_end, &child_error, &inherited, 0)) {
      ::CloseHandle(log_file);
      log_file = INVALID_HANDLE_VALUE;
    }
    if (error_read_end != nullptr) ::SetHandleInformation(error_read_end, HANDLE_FLAG_INHERIT, 0);
  }
  // A log that cannot be made leaves standard error the caller's, as on Linux.
  if (child_error == nullptr) child_error = Inheritable(::GetStdHandle(STD_ERROR_HANDLE));
  std::wstring environment = ChildEnvironment(options.temp_folder);

  std::vector<std::wstring> wide_arguments;
  wide_arguments.reserve(arguments.size());
  for (const std::string& argument : arguments) wide_arguments.push_back(Wide(argument));
  std::wstring command_line = BuildCommandLine(WidePath(program), wide_arguments);

  std::vector<HANDLE> handles{child_input, child_output};
  if (child_error != nullptr) handles.push_back(child_error);
  const HandleList inherit(handles);
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = child_input;
  startup.StartupInfo.hStdOutput = child_output;
  startup.StartupInfo.hStdError = child_error;
  startup.lpAttributeList = inherit.get();
  DWORD flags = CREATE_NO_WINDOW | CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT;
  if (inherit.get() != nullptr) flags |= EXTENDED_STARTUPINFO_PRESENT;

  PROCESS_INFORMATION started{};
  const bool ok =
      ::CreateProcessW(file->c_str(), command_line.data(), nullptr, nullptr, TRUE, flags,
                       environment.empty() ? nullptr : environment.data(),
                       folder.empty() ? nullptr : folder.c_str(), &startup.StartupInfo, &started) != 0;
  const std::string why = ok ? "" : LastFailure();
  ::CloseHandle(child_input);
  ::CloseHandle(child_output);
  if (child_error != nullptr) ::CloseHandle(child_error);
  if (!ok) {
    ::CloseHandle(input);
    if (error_read_end != nullptr) ::CloseHandle(error_read_end);
    if (log_file != INVALID_HANDLE_VALUE) ::CloseHandle(log_file);
    return Spawned::Failed(why);
  }
  // In the job before it runs a single instruction, so that nothing it
  // starts escapes either.
  if (job_ != nullptr) ::AssignProcessToJobObject(job_, started.hProcess);
  ::ResumeThread(started.hThread);
  ::CloseHandle(started.hThread);

  auto process = std::make_unique<Process>();
  process->process = started.hProcess;
  process->pid = started.dwProcessId;
  process->input = input;
  process->output = std::move(output);
  return {std::move(process), "",
          error_read_end != nullptr ? StartErrorLog(error_read_end, log_file) : nullptr};
}

Win32ProcessRunner::Read Win32ProcessRunner::ReadOutput(Child& child, char* buffer, std::size_t size,
                                                        bool wait) {
  PipeReader& output = *static_cast<Process&>(child).output;
  const std::size_t got = output.Take(buffer, size, wait);
  return {got, got == 0 && output.Ended()};
}

std::size_t Win32ProcessRunner::OutputInTransit(Child& child) {
  return static_cast<Process&>(child).output->InTransit();
}

std::optional<Win32ProcessRunner::Ending> Win32ProcessRunner::PollEnding(Child& child, bool killed) {
  const std::optional<int> code = ExitStatus(static_cast<Process&>(child).process);
  if (!code) return std::nullopt;
  return killed && *code == kKilledExitCode ? Ending::Signalled(9) : Ending::Exited(*code);
}

void Win32ProcessRunner::AwaitOutput(Child& child, bool or_end, std::uint32_t timeout_ms) {
  auto& process = static_cast<Process&>(child);
  HANDLE wanted[2];
  DWORD count = 0;
  if (or_end) wanted[count++] = process.process;
  if (HANDLE event = process.output->Event(); event != nullptr) wanted[count++] = event;
  const DWORD pause = or_end ? std::min<std::uint32_t>(timeout_ms, 50) : timeout_ms;
  if (count == 0) {
    ::Sleep(pause);
  } else {
    ::WaitForMultipleObjects(count, wanted, FALSE, pause);
  }
}

void Win32ProcessRunner::Interrupt(Child& child) {
  auto& process = static_cast<Process&>(child);
  if (process.interrupted) return;
  process.interrupted = true;
  SendCtrlC(process.pid);
  // Two bytes once, into a pipe that holds thousands: never waits, even on
  // an encoder that reads nothing.
  DWORD written = 0;
  if (process.input != nullptr)
    ::WriteFile(process.input, kStopRequest, sizeof kStopRequest - 1, &written, nullptr);
}

bool Win32ProcessRunner::Kill(Child& child) {
  return ::TerminateProcess(static_cast<Process&>(child).process, kKilledExitCode) != 0;
}

void* Win32ProcessRunner::OutputEvent(ChildProcess process) {
  Child* flowing = Flowing(process);
  return flowing != nullptr ? static_cast<Process*>(flowing)->output->Event() : nullptr;
}

std::uint32_t Win32ProcessRunner::ProcessId(ChildProcess process) {
  Child* known = Known(process);
  return known != nullptr ? static_cast<Process*>(known)->pid : 0;
}

}  // namespace ripwarden::win32_platform
