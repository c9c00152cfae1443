#include "rip/rip_history.h"

#include "rip/json_line.h"

namespace ripwarden {

namespace {

// Every record starts with its id, so a line is found without reading it.
std::string IdPrefix(const std::string& id) {
  std::string prefix = "{\"id\":";
  AppendString(prefix, id);
  return prefix + ",";
}

}  // namespace

std::string RecordLine(const RipRecord& r) {
  LineWriter line;
  line.Text("id", r.id);
  line.Text("start", r.start);
  line.Text("end", r.end);
  line.Text("result", r.result);
  line.Text("reason", r.reason);
  line.Text("label", r.label);
  line.Text("source", r.source);
  line.Text("output", r.output);
  line.Integer("exit_code", r.exit_code);
  line.Integer("signal", r.signal);
  line.Integer("frames_encoded", r.frames_encoded);
  line.Integer("frames_expected", r.frames_expected);
  line.Seconds("seconds_encoded", r.seconds_encoded);
  line.Seconds("seconds_expected", r.seconds_expected);
  line.Integer("bytes", r.bytes);
  line.Text("log", r.log);
  return line.Finish();
}

std::optional<RipRecord> ParseRecordLine(std::string_view line) {
  RipRecord r;
  const bool read = LineReader(line).Members([&r](const std::string& name, const std::string& value, bool) {
    if (name == "id") r.id = value;
    if (name == "start") r.start = value;
    if (name == "end") r.end = value;
    if (name == "result") r.result = value;
    if (name == "reason") r.reason = value;
    if (name == "label") r.label = value;
    if (name == "source") r.source = value;
    if (name == "output") r.output = value;
    if (name == "exit_code") r.exit_code = ToInteger(value);
    if (name == "signal") r.signal = ToInteger(value);
    if (name == "frames_encoded") r.frames_encoded = ToInteger(value);
    if (name == "frames_expected") r.frames_expected = ToInteger(value);
    if (name == "seconds_encoded") r.seconds_encoded = ToSeconds(value);
    if (name == "seconds_expected") r.seconds_expected = ToSeconds(value);
    if (name == "bytes") r.bytes = ToInteger(value);
    if (name == "log") r.log = value;
  });
  if (!read || r.id.empty()) return std::nullopt;
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
