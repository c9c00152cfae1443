#pragma once

#include <chrono>
#include <cstdint>

namespace ripwarden {

// When each system's main loop takes its next turn of Application::RunOnce.
// The loops only gather the facts and sleep; the choice is made here.
struct LoopFacts {
  bool output_waiting;     // a line of the encoder's waits to be taken
  bool events_queued;      // window or tray events wait for a turn
  bool woken_during_turn;  // a turn was asked for while one ran
};

// Turns taken in a row while output waits give the windows back after this.
inline constexpr std::chrono::milliseconds kLongestTurnBatch{8};
inline constexpr std::uint32_t kLongestSleepMs = 2500;
inline constexpr std::uint32_t kEndedOutputLookMs = 20;

// Within one wakeup: take another turn at once, spent after the first began.
bool TakeAnotherTurn(bool output_waiting, std::chrono::steady_clock::duration spent);

// After a turn (or a batch): run the next one at once rather than sleep.
bool RunAgainNow(const LoopFacts& facts);

// How long the loop sleeps when it need not run again now, unless woken:
// until the engine is due. output_end_unseen: the encoder's output is
// signalled with no line to take, at its end but not yet seen as such.
std::uint32_t SleepMilliseconds(std::uint32_t until_next_poll_ms, bool output_end_unseen);

}  // namespace ripwarden
