#include "rip/rip_queue.h"

#include <cstdio>

#include "rip/date_format.h"
#include "rip/json_line.h"

namespace ripwarden {

namespace {

constexpr const char* kStartMask = "%yyyy-%mm-%dd %hh:%ii:%ss";

const char* StateWord(QueuedRip::State state) {
  switch (state) {
    case QueuedRip::State::kCopying:
      return "copying";
    case QueuedRip::State::kCopied:
      return "copied";
    case QueuedRip::State::kFailed:
      return "failed";
  }
  return "failed";
}

std::optional<LocalDateTime> ParseStart(const std::string& text) {
  LocalDateTime date;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d", &date.year, &date.month, &date.day, &date.hour,
                  &date.minute, &date.second) != 6)
    return std::nullopt;
  return date;
}

}  // namespace

std::string QueueLine(const QueuedRip& rip) {
  const RipRequest& request = rip.request;
  LineWriter line;
  line.Text("id", rip.id);
  line.Text("state", StateWord(rip.state));
  line.Text("reason", rip.reason);
  line.Text("copy", rip.copy_folder);
  line.Integer("skipped_blocks", rip.skipped_blocks);
  line.Text("source", rip.source);
  line.Text("encoder", rip.encoder);
  line.Text("destination", request.destination);
  line.Text("label", request.label);
  line.Text("start", FormatDate(kStartMask, request.start));
  line.Text("container", request.container);
  line.Text("encoding", request.encoding);
  line.Text("preset", request.preset);
  line.Text("two_pass", request.two_pass);
  line.Text("audio_booster", request.audio_booster);
  return line.Finish();
}

std::optional<QueuedRip> ParseQueueLine(std::string_view line) {
  QueuedRip rip;
  RipRequest& request = rip.request;
  std::string state;
  std::string start;
  const bool read = LineReader(line).Members([&](const std::string& name, const std::string& value, bool) {
    if (name == "id") rip.id = value;
    if (name == "state") state = value;
    if (name == "reason") rip.reason = value;
    if (name == "copy") rip.copy_folder = value;
    if (name == "skipped_blocks") rip.skipped_blocks = ToInteger(value).value_or(0);
    if (name == "source") rip.source = value;
    if (name == "encoder") rip.encoder = value;
    if (name == "destination") request.destination = value;
    if (name == "label") request.label = value;
    if (name == "start") start = value;
    if (name == "container") request.container = value;
    if (name == "encoding") request.encoding = value;
    if (name == "preset") request.preset = value;
    if (name == "two_pass") request.two_pass = value;
    if (name == "audio_booster") request.audio_booster = value;
  });
  const auto date = ParseStart(start);
  if (!read || rip.id.empty() || rip.copy_folder.empty() || !date) return std::nullopt;
  request.start = *date;
  if (state == "copying") {
    rip.state = QueuedRip::State::kCopying;
  } else if (state == "copied") {
    rip.state = QueuedRip::State::kCopied;
  } else if (state == "failed") {
    rip.state = QueuedRip::State::kFailed;
  } else {
    return std::nullopt;
  }
  return rip;
}

std::vector<QueuedRip> RipQueueFile::Load() {
  std::vector<QueuedRip> rips;
  const auto file = files_.OpenForReading(path_);
  const auto content = file ? file->ReadAll() : std::nullopt;
  if (!content) return rips;
  std::string_view rest = *content;
  while (!rest.empty()) {
    const auto end = rest.find('\n');
    if (auto rip = ParseQueueLine(rest.substr(0, end))) rips.push_back(std::move(*rip));
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  }
  return rips;
}

bool RipQueueFile::Store(const std::vector<QueuedRip>& rips) {
  std::string content;
  for (const QueuedRip& rip : rips) content += QueueLine(rip) + "\n";
  if (auto file = files_.Open(path_)) return file->ReplaceContent(content);
  return files_.CreateFile(path_, content);
}

}  // namespace ripwarden
