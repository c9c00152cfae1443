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
  JsonLine line;
  line["id"] = TextValue(rip.id);
  line["state"] = StateWord(rip.state);
  line["reason"] = TextValue(rip.reason);
  line["copy"] = TextValue(rip.copy_folder);
  line["skipped_blocks"] = rip.skipped_blocks;
  line["source"] = TextValue(rip.source);
  line["encoder"] = TextValue(rip.encoder);
  line["destination"] = TextValue(request.destination);
  line["label"] = TextValue(request.label);
  line["start"] = FormatDate(kStartMask, request.start);
  line["container"] = TextValue(request.container);
  line["encoding"] = TextValue(request.encoding);
  line["preset"] = TextValue(request.preset);
  line["two_pass"] = TextValue(request.two_pass);
  line["audio_booster"] = TextValue(request.audio_booster);
  line["titles"] = TextValue(request.titles);
  line["shortest_title"] = TextValue(request.shortest_title);
  line["longest_title"] = TextValue(request.longest_title);
  line["audio_languages"] = TextValue(request.audio_languages);
  line["subtitle_languages"] = TextValue(request.subtitle_languages);
  line["chapter_markers"] = TextValue(request.chapter_markers);
  if (request.name_number > 1) line["name_number"] = request.name_number;
  return DumpLine(line);
}

std::optional<QueuedRip> ParseQueueLine(std::string_view text) {
  const auto line = ParseLine(text);
  if (!line) return std::nullopt;
  QueuedRip rip;
  RipRequest& request = rip.request;
  rip.id = TextMember(*line, "id");
  const std::string state = TextMember(*line, "state");
  rip.reason = TextMember(*line, "reason");
  rip.copy_folder = TextMember(*line, "copy");
  rip.skipped_blocks = IntegerMember(*line, "skipped_blocks").value_or(0);
  rip.source = TextMember(*line, "source");
  rip.encoder = TextMember(*line, "encoder");
  request.destination = TextMember(*line, "destination");
  request.label = TextMember(*line, "label");
  const std::string start = TextMember(*line, "start");
  request.container = TextMember(*line, "container");
  request.encoding = TextMember(*line, "encoding");
  request.preset = TextMember(*line, "preset");
  request.two_pass = TextMember(*line, "two_pass");
  request.audio_booster = TextMember(*line, "audio_booster");
  request.titles = TextMember(*line, "titles");
  request.shortest_title = TextMember(*line, "shortest_title");
  request.longest_title = TextMember(*line, "longest_title");
  request.audio_languages = TextMember(*line, "audio_languages");
  request.subtitle_languages = TextMember(*line, "subtitle_languages");
  request.chapter_markers = TextMember(*line, "chapter_markers");
  const auto number = IntegerMember(*line, "name_number").value_or(0);
  request.name_number = number > 1 && number < 1000 ? static_cast<int>(number) : 0;
  const auto date = ParseStart(start);
  if (rip.id.empty() || rip.copy_folder.empty() || !date) return std::nullopt;
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
