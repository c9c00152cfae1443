#include <windows.h>
// After windows.h, which they need.
#include <psapi.h>
#include <tlhelp32.h>

#include "helpers/process_census.h"

namespace ripwarden::testing {

// Handles stand for descriptors on Windows.
int OpenDescriptorCount() {
  DWORD count = 0;
  ::GetProcessHandleCount(::GetCurrentProcess(), &count);
  return static_cast<int>(count);
}

std::vector<pid_t> ChildProcesses() {
  std::vector<pid_t> children;
  const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return children;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  const DWORD self = ::GetCurrentProcessId();
  for (bool more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry)) {
    if (entry.th32ParentProcessID == self) children.push_back(static_cast<pid_t>(entry.th32ProcessID));
  }
  ::CloseHandle(snapshot);
  return children;
}

// An ended process leaves nothing to collect on Windows.
std::vector<pid_t> ZombieChildren() { return {}; }

std::size_t PeakResidentBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
  return counters.PeakWorkingSetSize;
}

// Windows keeps the peak for the process's life: differences are taken from it.
void ResetPeakResidentBytes() {}

}  // namespace ripwarden::testing
