#pragma once

#include <cstdint>
#include <string>

#include "platform/process_runner.h"
#include "rip/encoder_command.h"
#include "rip/rip_history.h"

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
  // Set once this rip showed its first progress update: the first is shown
  // however long the clock ran since the last rip's.
  std::int32_t ProgressShown = 0;
  // The source the rip reads, as chosen when it started, and the encoder.
  std::string RipSource;
  std::string EncoderPath;
  // A rip waits in this until the encoder said which options it takes.
  std::int32_t AwaitingDialect = 0;
  RipRequest Request;
  // The ripped disc left its drive (or was ejected) while the encoder was
  // still finishing the file: any disc found from then on is another one.
  std::int32_t RipDiscLeft = 0;
  // A rip ends only once its stopped encoder is gone; until then it is
  // stopping, and how it will end is kept here.
  enum class Stop { kNone, kCancel, kDiscLost };
  Stop Stopping = Stop::kNone;
  std::uint32_t StopTick = 0;
  std::int32_t StopKilled = 0;
  // The file a whole rip ends as; until then the encoder writes EncodingFile.
  std::string OutputFile;
  std::string EncodingFile;
  // The label of the disc being ripped, as read when the rip started.
  std::string RipDiscLabel;
  float ProgressPercent = 0.0f;
  // The percentage of the last progress update; other lines leave it.
  float LastUpdatePercent = 0.0f;
  std::int32_t MuxingSeen = 0;
  // This rip's entry in the history, its encoder log and the encoder's own
  // temporary folder; empty when the engine keeps no records.
  RipRecord Record;
  std::string ScratchFolder;

  // An automatic rip starts once per insertion: set when one was started for
  // the disc in the drive, cleared when a poll finds the drive empty or a
  // disc with another label.
  std::int32_t AutoRipDone = 0;
  std::string AutoRipLabel;
};

}  // namespace ripwarden
