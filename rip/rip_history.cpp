#include "rip/rip_history.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace ripwarden {

namespace {

// The length of the UTF-8 character at text[i], or 0 when none starts there.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
  const unsigned char lead = byte(i);
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return length;
}

void AppendString(std::string& out, std::string_view text) {
  out += '"';
  for (std::size_t i = 0; i < text.size();) {
    const auto code = static_cast<unsigned char>(text[i]);
    char escaped[8];
    if (code == '"' || code == '\\') {
      out += '\\';
      out += text[i++];
    } else if (code == '\n') {
      out += "\\n";
      ++i;
    } else if (code == '\t') {
      out += "\\t";
      ++i;
    } else if (code < 0x20 || code == 0x7F) {
      std::snprintf(escaped, sizeof escaped, "\\u%04x", code);
      out += escaped;
      ++i;
    } else if (code < 0x80) {
      out += text[i++];
    } else if (const std::size_t length = Utf8Length(text, i); length > 0) {
      out.append(text.substr(i, length));
      i += length;
    } else {
      std::snprintf(escaped, sizeof escaped, "\\u%04x", code);
      out += escaped;
      ++i;
    }
  }
  out += '"';
}

class LineWriter {
 public:
  void Text(std::string_view name, std::string_view value) {
    Name(name);
    AppendString(line_, value);
  }
  void Integer(std::string_view name, const std::optional<std::int64_t>& value) {
    Name(name);
    line_ += value ? std::to_string(*value) : "null";
  }
  void Seconds(std::string_view name, const std::optional<double>& value) {
    Name(name);
    if (!value || !std::isfinite(*value)) {
      line_ += "null";
      return;
    }
    char number[32];
    std::snprintf(number, sizeof number, "%.3f", *value);
    line_ += number;
  }
  std::string Finish() { return line_ + "}"; }

 private:
  void Name(std::string_view name) {
    line_ += line_.empty() ? "{" : ",";
    AppendString(line_, name);
    line_ += ':';
  }
  std::string line_;
};

// Reads the flat objects RecordLine writes: string, number and null values.
class LineReader {
 public:
  explicit LineReader(std::string_view line) : line_(line) {}

  // Calls take(name, text, is_string) for each member; false on bad syntax.
  template <typename Take>
  bool Members(Take take) {
    Skip();
    if (!Eat('{')) return false;
    Skip();
    if (Eat('}')) return AtEnd();
    while (true) {
      std::string name;
      std::string value;
      Skip();
      if (!String(name)) return false;
      Skip();
      if (!Eat(':')) return false;
      Skip();
      const bool is_string = Peek() == '"';
      if (is_string ? !String(value) : !Bare(value)) return false;
      take(name, value, is_string);
      Skip();
      if (Eat('}')) return AtEnd();
      if (!Eat(',')) return false;
    }
  }

 private:
  char Peek() const { return at_ < line_.size() ? line_[at_] : '\0'; }
  bool Eat(char c) {
    if (Peek() != c || at_ >= line_.size()) return false;
    ++at_;
    return true;
  }
  void Skip() {
    while (at_ < line_.size() && (line_[at_] == ' ' || line_[at_] == '\t' || line_[at_] == '\r')) ++at_;
  }
  bool AtEnd() {
    Skip();
    return at_ == line_.size();
  }
  bool Bare(std::string& value) {
    while (at_ < line_.size() && line_[at_] != ',' && line_[at_] != '}' && line_[at_] != ' ')
      value += line_[at_++];
    return !value.empty();
  }
  bool String(std::string& value) {
    if (!Eat('"')) return false;
    while (at_ < line_.size()) {
      const char c = line_[at_++];
      if (c == '"') return true;
      if (c != '\\') {
        value += c;
        continue;
      }
      if (at_ >= line_.size()) return false;
      const char kind = line_[at_++];
      switch (kind) {
        case 'n':
          value += '\n';
          break;
        case 't':
          value += '\t';
          break;
        case 'r':
          value += '\r';
          break;
        case 'b':
          value += '\b';
          break;
        case 'f':
          value += '\f';
          break;
        case 'u': {
          if (at_ + 4 > line_.size()) return false;
          const std::string hex(line_.substr(at_, 4));
          at_ += 4;
          char* end = nullptr;
          const long code = std::strtol(hex.c_str(), &end, 16);
          if (end != hex.c_str() + 4) return false;
          if (code < 0x100) {
            value += static_cast<char>(code);  // our own escapes are single bytes
          } else if (code < 0x800) {
            value += static_cast<char>(0xC0 | (code >> 6));
            value += static_cast<char>(0x80 | (code & 0x3F));
          } else {
            value += static_cast<char>(0xE0 | (code >> 12));
            value += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            value += static_cast<char>(0x80 | (code & 0x3F));
          }
          break;
        }
        default:
          value += kind;
      }
    }
    return false;
  }

  std::string_view line_;
  std::size_t at_ = 0;
};

std::optional<std::int64_t> ToInteger(const std::string& text) {
  if (text == "null") return std::nullopt;
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (end == text.c_str() || *end != '\0') return std::nullopt;
  return value;
}

std::optional<double> ToSeconds(const std::string& text) {
  if (text == "null") return std::nullopt;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || *end != '\0') return std::nullopt;
  return value;
}

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
