#include "rip/rip_history.h"

#include <limits>

#include "rip/json_line.h"

namespace ripwarden {

namespace {

// Every record starts with its id, so a line is found without reading it.
std::string IdPrefix(const std::string& id) {
  JsonLine first;
  first["id"] = TextValue(id);
  std::string prefix = DumpLine(first);
  prefix.back() = ',';
  return prefix;
}

JsonLine TitleObject(const RipTitleRecord& t) {
  JsonLine title;
  title["title"] = t.title;
  title["output"] = TextValue(t.output);
  title["result"] = TextValue(t.result);
  title["reason"] = TextValue(t.reason);
  title["seconds_encoded"] = SecondsValue(t.seconds_encoded);
  title["seconds_expected"] = SecondsValue(t.seconds_expected);
  return title;
}

RipTitleRecord ReadTitle(const JsonLine& title) {
  RipTitleRecord t;
  const auto number = IntegerMember(title, "title");
  if (number && *number >= std::numeric_limits<int>::min() && *number <= std::numeric_limits<int>::max())
    t.title = static_cast<int>(*number);
  t.output = TextMember(title, "output");
  t.result = TextMember(title, "result");
  t.reason = TextMember(title, "reason");
  t.seconds_encoded = SecondsMember(title, "seconds_encoded");
  t.seconds_expected = SecondsMember(title, "seconds_expected");
  return t;
}

}  // namespace

std::string RecordLine(const RipRecord& r) {
  JsonLine line;
  line["id"] = TextValue(r.id);
  line["start"] = TextValue(r.start);
  line["end"] = TextValue(r.end);
  if (!r.copied.empty()) line["copied"] = TextValue(r.copied);
  line["result"] = TextValue(r.result);
  line["reason"] = TextValue(r.reason);
  line["label"] = TextValue(r.label);
  line["source"] = TextValue(r.source);
  line["output"] = TextValue(r.output);
  line["exit_code"] = IntegerValue(r.exit_code);
  line["signal"] = IntegerValue(r.signal);
  line["frames_encoded"] = IntegerValue(r.frames_encoded);
  line["frames_expected"] = IntegerValue(r.frames_expected);
  line["seconds_encoded"] = SecondsValue(r.seconds_encoded);
  line["seconds_expected"] = SecondsValue(r.seconds_expected);
  line["bytes"] = IntegerValue(r.bytes);
  line["log"] = TextValue(r.log);
  if (!r.titles.empty()) {
    JsonLine& titles = line["titles"] = JsonLine::array();
    for (const RipTitleRecord& title : r.titles) titles.push_back(TitleObject(title));
  }
  return DumpLine(line);
}

std::optional<RipRecord> ParseRecordLine(std::string_view text) {
  const auto line = ParseLine(text);
  if (!line) return std::nullopt;
  RipRecord r;
  r.id = TextMember(*line, "id");
  r.start = TextMember(*line, "start");
  r.end = TextMember(*line, "end");
  r.copied = TextMember(*line, "copied");
  r.result = TextMember(*line, "result");
  r.reason = TextMember(*line, "reason");
  r.label = TextMember(*line, "label");
  r.source = TextMember(*line, "source");
  r.output = TextMember(*line, "output");
  r.exit_code = IntegerMember(*line, "exit_code");
  r.signal = IntegerMember(*line, "signal");
  r.frames_encoded = IntegerMember(*line, "frames_encoded");
  r.frames_expected = IntegerMember(*line, "frames_expected");
  r.seconds_encoded = SecondsMember(*line, "seconds_encoded");
  r.seconds_expected = SecondsMember(*line, "seconds_expected");
  r.bytes = IntegerMember(*line, "bytes");
  r.log = TextMember(*line, "log");
  if (const auto titles = line->find("titles"); titles != line->end() && titles->is_array()) {
    for (const JsonLine& title : *titles) {
      if (title.is_object()) r.titles.push_back(ReadTitle(title));
    }
  }
  if (r.id.empty()) return std::nullopt;
  return r;
}

std::string RipHistory::AsidePath() const {
  constexpr std::string_view kExtension = ".jsonl";
  const std::string_view stem = path_.ends_with(kExtension)
                                    ? std::string_view(path_).substr(0, path_.size() - kExtension.size())
                                    : path_;
  return std::string(stem) + "-kept.jsonl";
}

std::optional<std::vector<std::string>> RipHistory::Lines(const std::string& path) {
  std::vector<std::string> lines;
  const auto file = files_.OpenForReading(path);
  if (!file && !files_.Stamp(path)) return lines;
  const auto content = file ? file->ReadAll() : std::nullopt;
  if (!content) return std::nullopt;
  std::string_view rest = *content;
  while (!rest.empty()) {
    const auto end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    if (!line.empty()) lines.emplace_back(line);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  }
  return lines;
}

namespace {

// Puts the record in place of the one with its id, or after the rest. A
// record still running never replaces one that ended: a copy kept aside may
// outlive the write that folded it in.
void Merge(std::vector<std::string>& lines, const RipRecord& record) {
  const std::string prefix = IdPrefix(record.id);
  bool found = false;
  for (std::string& old : lines) {
    if (!old.starts_with(prefix)) continue;
    found = true;
    const auto ended = ParseRecordLine(old);
    if (record.result != "running" || !ended || ended->result == "running") old = RecordLine(record);
  }
  if (!found) lines.push_back(RecordLine(record));
}

void MergeLines(std::vector<std::string>& lines, const std::vector<std::string>& more) {
  for (const std::string& line : more) {
    if (const auto record = ParseRecordLine(line)) Merge(lines, *record);
  }
}

}  // namespace

bool RipHistory::Store(const std::string& path, const std::vector<std::string>& lines) {
  const std::size_t first = lines.size() > kMostRecords ? lines.size() - kMostRecords : 0;
  std::string content;
  for (std::size_t i = first; i < lines.size(); ++i) content += lines[i] + "\n";
  if (auto file = files_.Open(path)) return file->ReplaceContent(content);
  return files_.CreateFile(path, content);
}

HistoryWrite RipHistory::Write(const RipRecord& record) {
  auto lines = Lines(path_);
  auto aside = Lines(AsidePath());
  if (!lines) {
    // Replacing a history that could not be read would lose every record in it.
    if (!aside) return HistoryWrite::kFailed;
    Merge(*aside, record);
    return Store(AsidePath(), *aside) ? HistoryWrite::kKeptAside : HistoryWrite::kFailed;
  }
  const bool fold = aside && !aside->empty();
  if (fold) MergeLines(*lines, *aside);
  Merge(*lines, record);
  if (!Store(path_, *lines)) return HistoryWrite::kFailed;
  if (fold) files_.RemoveFile(AsidePath());
  return HistoryWrite::kWritten;
}

std::optional<std::vector<RipRecord>> RipHistory::Records() {
  auto lines = Lines(path_);
  const auto aside = Lines(AsidePath());
  if (!lines || !aside) return std::nullopt;
  MergeLines(*lines, *aside);
  std::vector<RipRecord> records;
  for (const std::string& line : *lines) {
    if (auto record = ParseRecordLine(line)) records.push_back(std::move(*record));
  }
  return records;
}

}  // namespace ripwarden
