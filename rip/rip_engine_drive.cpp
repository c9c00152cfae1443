#include <algorithm>

#include "config/text_helpers.h"
#include "rip/rip_engine.h"

namespace ripwarden {

std::string RipEngine::GetVolumeLabel(const std::string& source) {
  const auto volume = services_.drives.QueryVolume(source);
  return volume ? Trim(volume->label) : std::string();
}

std::uint32_t RipEngine::MillisecondsToNextPoll() {
  const auto elapsed = static_cast<std::int32_t>(services_.clock.TickCount() - poll_tick_);
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
  if (!IsDue(services_.clock.TickCount(), poll_tick_, kPollIntervalMs)) return;

  // The drives chosen now are watched for the next disc; a rip under way
  // reads the one it started from.
  const std::vector<std::string> sources = WatchedSources();
  several_drives_ = sources.size() > 1;
  for (auto watch = watches_.begin(); watch != watches_.end();) {
    watch = std::find(sources.begin(), sources.end(), watch->first) == sources.end() ? watches_.erase(watch)
                                                                                     : std::next(watch);
  }
  std::vector<DriveShown> shown;
  for (const std::string& source : sources) {
    const auto volume = services_.drives.QueryVolume(source);
    DriveWatch& watch = watches_[source];
    if (volume && !Trim(volume->file_system).empty()) {
      watch.label = Trim(volume->label);
    } else {
      watch.label.reset();
      DiscLeft(watch);
    }
    shown.push_back({source, watch.label.has_value()});
  }
  polled_sources_ = sources;
  services_.view.SetDiscLabelText(DrivesText(sources));
  services_.view.ShowDrives(shown);

  for (RipJob& job : jobs_) {
    if (job.phase == RipPhase::kEnded) continue;
    // A copy's encode no longer needs the disc.
    if (job.from_copy) {
      CheckRipEnd(job, &job.disc_label);
      continue;
    }
    std::optional<std::string> job_label;
    if (const auto watched = watches_.find(job.source); watched != watches_.end()) {
      job_label = watched->second.label;
    } else {
      // Its own drive, asked only while a rip reads one no longer watched.
      const auto own = services_.drives.QueryVolume(job.source);
      if (own && !Trim(own->file_system).empty()) job_label = Trim(own->label);
    }
    // Another disc in place of the one being ripped: for the rip, its disc is
    // gone (and an encoder still reading would read the newcomer). Once the
    // ripped disc has left, any disc is another, whatever its label.
    if (!job_label || *job_label != job.disc_label) job.disc_left = true;
    CheckRipEnd(job, job.disc_left ? nullptr : &*job_label);
  }
  // The rips that ended first, so that a disc swapped in meanwhile is ripped now.
  for (const std::string& source : sources) {
    const auto& label = watches_[source].label;
    if (label) AutoRipOrAnnounce(source, *label);
  }
  StartNextEncode();
  RefreshQueueView();
  // Measured from the end of this poll, however long it took.
  poll_tick_ = services_.clock.TickCount();
}

std::string RipEngine::DrivesText(const std::vector<std::string>& sources) {
  const auto disc = [&](const std::string& source) {
    const auto& label = watches_[source].label;
    return label ? *label : std::string("[Empty]");
  };
  if (sources.empty()) return "[Empty]";
  if (sources.size() == 1) return disc(sources[0]);
  std::string text;
  for (const std::string& source : sources) {
    if (!text.empty()) text += "; ";
    text += source + ": " + disc(source);
    const auto reading = std::find_if(jobs_.begin(), jobs_.end(), [&](const RipJob& job) {
      return job.source == source && IsReadingDisc(source);
    });
    if (reading != jobs_.end()) {
      text += reading->phase == RipPhase::kCopying ? " (copying)" : " (ripping)";
    } else if (watches_[source].waiting_announced) {
      text += " (waiting)";
    }
  }
  return text;
}

void RipEngine::DiscLeft(DriveWatch& watch) {
  watch.announced = false;
  watch.auto_ripped = false;
  watch.waiting_announced = false;
}

void RipEngine::AutoRipOrAnnounce(const std::string& source, const std::string& label) {
  DriveWatch& watch = watches_[source];
  if (watch.auto_ripped && label != watch.auto_ripped_label) {
    watch.auto_ripped = false;
    watch.waiting_announced = false;
  }
  if (TextToInteger(services_.settings.ReadSetting(setting::kAutoRip)) == 1) {
    // Once per insertion: a disc left in the drive after its rip is not
    // ripped again and again. Start still rips it on purpose.
    // A disc that came while another one's file is being finished gets its
    // rip once that one ends.
    if (watch.auto_ripped) return;
    if (CanStartRip(CopyFirst(), source)) {
      watch.auto_ripped = true;
      watch.auto_ripped_label = label;
      watch.waiting_announced = false;
      StartRip(source);
    } else if (several_drives_ && !watch.waiting_announced && !IsReadingDisc(source)) {
      Balloon("DVD Waiting", "The disc is ripped when the rip under way has ended.",
              BalloonIcon::kInformation, source);
      watch.waiting_announced = true;
    }
  } else if (!watch.announced) {
    services_.view.EnableStartButton(true);
    Balloon("DVD Inserted", "A DVD has been inserted. To begin ripping click this message.",
            BalloonIcon::kInformation, source);
    watch.announced = true;
  }
}

}  // namespace ripwarden
