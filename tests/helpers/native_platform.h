#pragma once

// The services of the system the tests were built for, for the suites that
// run over every implementation.
#ifdef _WIN32
#include "platform/win32/tick_clock.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_path_rules.h"
#include "platform/win32/win32_process_runner.h"
#else
#include "platform/linux/linux_files.h"
#include "platform/linux/monotonic_clock.h"
#include "platform/linux/posix_path_rules.h"
#include "platform/linux/posix_process_runner.h"
#endif

namespace ripwarden::testing {

#ifdef _WIN32
using NativeClock = win32_platform::TickClock;
using NativeFiles = win32_platform::Win32Files;
using NativeProcessRunner = win32_platform::Win32ProcessRunner;
using NativePathRules = win32_platform::Win32PathRules;
inline constexpr const char* kNativeName = "win32";
// What a program's file name ends in.
inline constexpr const char* kProgramSuffix = ".exe";
// How many times longer than here a program may take to start: under Wine
// on a busy machine a start can take most of a second.
inline constexpr unsigned kStartSlowness = 6;
// Wine now and then refuses a start while many killed programs are still
// being torn down; how many such refusals a long run of starts may meet.
inline constexpr int kRefusedStartsTolerated = 5;
#else
using NativeClock = linux_platform::MonotonicClock;
using NativeFiles = linux_platform::LinuxFiles;
using NativeProcessRunner = linux_platform::PosixProcessRunner;
using NativePathRules = linux_platform::PosixPathRules;
inline constexpr const char* kNativeName = "posix";
inline constexpr const char* kProgramSuffix = "";
inline constexpr unsigned kStartSlowness = 1;
inline constexpr int kRefusedStartsTolerated = 0;
#endif

}  // namespace ripwarden::testing
