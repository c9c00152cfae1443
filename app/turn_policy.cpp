#include "app/turn_policy.h"

#include <algorithm>

namespace ripwarden {

bool TakeAnotherTurn(bool output_waiting, std::chrono::steady_clock::duration spent) {
  // However fast the encoder writes, the windows stay answerable.
  return output_waiting && spent < kLongestTurnBatch;
}

bool RunAgainNow(const LoopFacts& facts) {
  // Events that came while a question was open are taken one a turn, and a
  // fast encoder's lines likewise.
  return facts.output_waiting || facts.events_queued || facts.woken_during_turn;
}

std::uint32_t SleepMilliseconds(std::uint32_t until_next_poll_ms, bool output_end_unseen) {
  const std::uint32_t due = std::min(until_next_poll_ms, kLongestSleepMs);
  // Waiting on an ended output would return at once, again and again: it is
  // looked at every so often instead.
  return output_end_unseen ? std::min(due, kEndedOutputLookMs) : due;
}

}  // namespace ripwarden
