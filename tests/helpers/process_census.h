#pragma once

#include <sys/types.h>

#include <cstddef>
#include <vector>

namespace ripwarden::testing {

// Descriptors this process has open.
int OpenDescriptorCount();

// Processes whose parent is this process, as /proc shows them.
std::vector<pid_t> ChildProcesses();
// Those of them that have ended but were not collected.
std::vector<pid_t> ZombieChildren();

// The most memory this process has had resident since the last reset, in
// bytes (the kernel's VmHWM).
std::size_t PeakResidentBytes();
void ResetPeakResidentBytes();

}  // namespace ripwarden::testing
