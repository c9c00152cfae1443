#pragma once

#include <cstdint>
#include <string>

#include "platform/process_runner.h"

namespace ripwarden {

// The part of the application state that the drive monitor and the rip
// engine keep. Flags hold 0 or 1.
struct RipState {
  std::uint32_t DrivePollTick = 0;
  std::int32_t DrivePollInterval = 2500;
  std::int32_t DiscAnnounced = 0;

  std::uint32_t ProgressTick = 0;
  std::int32_t ProgressInterval = 1000;

  std::int32_t RipInProgress = 0;
  ChildProcess EncoderProgram = kNoProcess;
  std::string OutputFile;
  // The label of the disc being ripped, as read when the rip started.
  std::string RipDiscLabel;
  float ProgressPercent = 0.0f;
  std::int32_t MuxingSeen = 0;

  // An automatic rip starts once per insertion: set when one was started for
  // the disc in the drive, cleared when a poll finds the drive empty or a
  // disc with another label.
  std::int32_t AutoRipDone = 0;
  std::string AutoRipLabel;
};

}  // namespace ripwarden
