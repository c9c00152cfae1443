#include "rip/rip_engine.h"

#include "config/text_helpers.h"

namespace ripwarden {

std::string RipEngine::GetVolumeLabel(const std::string& source) {
  const auto volume = services_.drives.QueryVolume(source);
  return volume ? Trim(volume->label) : std::string();
}

std::uint32_t RipEngine::MillisecondsToNextPoll() {
  const auto elapsed = static_cast<std::int32_t>(services_.clock.TickCount() - state_.DrivePollTick);
  if (elapsed < 0 || elapsed >= state_.DrivePollInterval) return 0;
  const auto until_poll = static_cast<std::uint32_t>(state_.DrivePollInterval - elapsed);
  // A stopping encoder or a question to it is looked at often, never waited on.
  const bool pending = state_.RipInProgress == 1 && (IsStopping() || state_.AwaitingDialect == 1);
  return pending ? std::min(until_poll, kPendingLookMs) : until_poll;
}

void RipEngine::PollDrive() {
  ContinueWork();
  if (!IsDue(services_.clock.TickCount(), state_.DrivePollTick, state_.DrivePollInterval)) return;

  const std::string source = services_.settings.ReadSetting(setting::kSourceDrive);
  const auto volume = source.empty() ? std::nullopt : services_.drives.QueryVolume(source);
  if (volume && !Trim(volume->file_system).empty()) {
    const std::string label = Trim(volume->label);
    services_.view.SetDiscLabelText(label);
    services_.view.ShowDiscPresent(true);
    // Another disc in place of the one being ripped: for the rip, its disc
    // is gone (and an encoder still reading would read the newcomer). Once
    // the ripped disc has left, any disc is another, whatever its label.
    const bool ripped_disc_in = state_.RipDiscLeft == 0 && label == state_.RipDiscLabel;
    if (state_.RipInProgress == 1 && !ripped_disc_in) CheckRipEnd(nullptr);
    // The rip that ended first, so that a disc swapped in meanwhile is ripped now.
    CheckRipEnd(ripped_disc_in ? &label : nullptr);
    AutoRipOrAnnounce(label);
  } else {
    services_.view.SetDiscLabelText("[Empty]");
    services_.view.ShowDiscPresent(false);
    DiscLeft();
    CheckRipEnd(nullptr);
  }
  // Measured from the end of this poll, however long it took.
  state_.DrivePollTick = services_.clock.TickCount();
}

void RipEngine::DiscLeft() {
  state_.DiscAnnounced = 0;
  state_.AutoRipDone = 0;
  if (state_.RipInProgress == 1) state_.RipDiscLeft = 1;
}

void RipEngine::AutoRipOrAnnounce(const std::string& label) {
  if (state_.AutoRipDone != 0 && label != state_.AutoRipLabel) state_.AutoRipDone = 0;
  if (TextToInteger(services_.settings.ReadSetting(setting::kAutoRip)) == 1) {
    // Once per insertion: a disc left in the drive after its rip is not
    // ripped again and again. Start still rips it on purpose.
    // A disc that came while another one's file is being finished gets its
    // rip once that one ends.
    if (state_.AutoRipDone == 0 && state_.RipInProgress == 0) {
      state_.AutoRipDone = 1;
      state_.AutoRipLabel = label;
      StartRip();
    }
  } else if (state_.DiscAnnounced == 0) {
    services_.view.EnableStartButton(true);
    Balloon("DVD Inserted", "A DVD has been inserted. To begin ripping click this message.",
            BalloonIcon::kInformation);
    state_.DiscAnnounced = 1;
  }
}

}  // namespace ripwarden
