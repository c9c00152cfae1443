#include <algorithm>

#include "config/text_helpers.h"
#include "rip/rip_engine.h"

namespace ripwarden {

std::string RipEngine::GetVolumeLabel(const std::string& source) {
  const auto volume = services_.drives.QueryVolume(source);
  return volume ? Trim(volume->label) : std::string();
}

std::uint32_t RipEngine::MillisecondsToNextPoll() {
  const auto elapsed = static_cast<std::int32_t>(services_.clock.TickCount() - watch_.poll_tick);
  if (elapsed < 0 || elapsed >= kPollIntervalMs) return 0;
  const auto until_poll = static_cast<std::uint32_t>(kPollIntervalMs - elapsed);
  // A stopping encoder or a question to it is looked at often, never waited on.
  const bool pending = std::any_of(jobs_.begin(), jobs_.end(), [](const RipJob& job) {
    return job.phase == RipPhase::kStarting || job.phase == RipPhase::kStopping ||
           job.phase == RipPhase::kChecking || job.phase == RipPhase::kScanning;
  });
  if (pending) return std::min(until_poll, kPendingLookMs);
  // A copier's end closes its output before the system reports it gone: the
  // disc is free as soon as it is seen, so a copy is looked at often.
  const bool copying = std::any_of(jobs_.begin(), jobs_.end(),
                                   [](const RipJob& job) { return job.phase == RipPhase::kCopying; });
  return copying ? std::min(until_poll, kCopyLookMs) : until_poll;
}

void RipEngine::PollDrive() {
  ContinueWork();
  if (!IsDue(services_.clock.TickCount(), watch_.poll_tick, kPollIntervalMs)) return;

  // The drive chosen now is watched for the next disc; a rip under way reads
  // the one it started from.
  const std::string source = services_.settings.ReadSetting(setting::kSourceDrive);
  const auto volume = source.empty() ? std::nullopt : services_.drives.QueryVolume(source);
  const bool present = volume && !Trim(volume->file_system).empty();
  const std::string label = present ? Trim(volume->label) : std::string();
  services_.view.SetDiscLabelText(present ? label : "[Empty]");
  services_.view.ShowDiscPresent(present);
  if (!present) DiscLeft();

  for (RipJob& job : jobs_) {
    if (job.phase == RipPhase::kEnded) continue;
    // A copy's encode no longer needs the disc.
    if (job.from_copy) {
      CheckRipEnd(job, &job.disc_label);
      continue;
    }
    std::optional<std::string> job_label = label;
    if (job.source != source) {
      // Its own drive, asked only while a rip reads another one.
      const auto own = services_.drives.QueryVolume(job.source);
      job_label = own && !Trim(own->file_system).empty() ? std::optional(Trim(own->label)) : std::nullopt;
    } else if (!present) {
      job_label.reset();
    }
    // Another disc in place of the one being ripped: for the rip, its disc is
    // gone (and an encoder still reading would read the newcomer). Once the
    // ripped disc has left, any disc is another, whatever its label.
    if (!job_label || *job_label != job.disc_label) job.disc_left = true;
    CheckRipEnd(job, job.disc_left ? nullptr : &*job_label);
  }
  // The rip that ended first, so that a disc swapped in meanwhile is ripped now.
  if (present) AutoRipOrAnnounce(label);
  StartNextEncode();
  RefreshQueueView();
  // Measured from the end of this poll, however long it took.
  watch_.poll_tick = services_.clock.TickCount();
}

void RipEngine::DiscLeft() {
  watch_.announced = false;
  watch_.auto_ripped = false;
}

void RipEngine::AutoRipOrAnnounce(const std::string& label) {
  if (watch_.auto_ripped && label != watch_.auto_ripped_label) watch_.auto_ripped = false;
  if (TextToInteger(services_.settings.ReadSetting(setting::kAutoRip)) == 1) {
    // Once per insertion: a disc left in the drive after its rip is not
    // ripped again and again. Start still rips it on purpose.
    // A disc that came while another one's file is being finished gets its
    // rip once that one ends.
    if (!watch_.auto_ripped && CanStartRip(CopyFirst())) {
      watch_.auto_ripped = true;
      watch_.auto_ripped_label = label;
      StartRip();
    }
  } else if (!watch_.announced) {
    services_.view.EnableStartButton(true);
    Balloon("DVD Inserted", "A DVD has been inserted. To begin ripping click this message.",
            BalloonIcon::kInformation);
    watch_.announced = true;
  }
}

}  // namespace ripwarden
