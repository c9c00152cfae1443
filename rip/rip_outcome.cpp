#include "rip/rip_job.h"

namespace ripwarden {

namespace {
using Kind = RipOutcome::Kind;
constexpr const char* kFailedPrefix = "FAILED: ";
}  // namespace

std::string FailureReason(const RipOutcome& outcome) {
  switch (outcome.kind) {
    case Kind::kComplete:
    case Kind::kCancelled:
    case Kind::kClosed:
      return {};
    case Kind::kNoDestination:
      return "The destination folder does not exist. Choose it again in the settings window.";
    case Kind::kLaunchFailed:
      return "HandBrake could not be started" + (outcome.detail.empty() ? "" : " (" + outcome.detail + ")") +
             ". Check its location in the settings file.";
    case Kind::kDiscLost:
      return "DVD was either ejected or could no longer be accessed.";
    case Kind::kEncoderStopped:
      return "HandBrake stopped before finishing the rip (" + outcome.detail + ").";
    case Kind::kIncomplete:
      return "The rip is incomplete: " + outcome.detail + ".";
    case Kind::kNotWritten:
      return "The finished rip could not be written to the disk: " + outcome.detail + ".";
    case Kind::kNotNamed:
      return "The finished rip could not be given its name: " + outcome.detail + ".";
    case Kind::kCopyFailed:
      return "The disc could not be copied: " + outcome.detail + ".";
    case Kind::kTitlesFailed:
      return "Not every title was ripped: " + outcome.detail + ".";
    case Kind::kNoTitles:
      return "No title on the disc is as long as the settings ask for.";
  }
  return {};
}

std::string StatusText(const RipOutcome& outcome) {
  switch (outcome.kind) {
    case Kind::kComplete:
      return "COMPLETE!";
    case Kind::kCancelled:
      return "USER CANCELLED";
    case Kind::kClosed:
      return "Closed; the rip goes on from its copy at the next start.";
    default:
      return kFailedPrefix + FailureReason(outcome);
  }
}

std::optional<BalloonText> OutcomeBalloon(const RipOutcome& outcome) {
  switch (outcome.kind) {
    case Kind::kComplete:
      return BalloonText{"Rip Complete!", "The DVD has been ripped to your computer.",
                         BalloonIcon::kInformation};
    case Kind::kCancelled:
    case Kind::kClosed:
      return std::nullopt;
    case Kind::kDiscLost:
      return BalloonText{"DVD Rip Failed",
                         "The DVD was either ejected mid-rip or could no longer be accessed.",
                         BalloonIcon::kError};
    case Kind::kEncoderStopped:
      return BalloonText{"DVD Rip Failed",
                         FailureReason(outcome) + " See the HandBrake output window for details.",
                         BalloonIcon::kError};
    case Kind::kIncomplete:
      return BalloonText{"DVD Rip Failed", FailureReason(outcome) + " Clean the disc and rip it again.",
                         BalloonIcon::kError};
    default:
      // The balloon is all that a user at another window sees: the same reason.
      return BalloonText{"DVD Rip Failed", FailureReason(outcome), BalloonIcon::kError};
  }
}

const char* HistoryResult(const RipOutcome& outcome) {
  switch (outcome.kind) {
    case Kind::kComplete:
      return "complete";
    case Kind::kCancelled:
      return "cancelled";
    case Kind::kClosed:
      return "interrupted";
    default:
      return "failed";
  }
}

}  // namespace ripwarden
