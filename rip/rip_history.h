#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"

namespace ripwarden {

// One title of a disc ripped title by title: how its own file ended.
struct RipTitleRecord {
  int title = 0;
  std::string output;
  std::string result;  // as a rip's: "complete", "failed", ...
  std::string reason;
  std::optional<double> seconds_encoded;
  std::optional<double> seconds_expected;
  bool operator==(const RipTitleRecord&) const = default;
};

// One rip as the history keeps it. Written when the rip starts (result
// "running") and again when it ends.
struct RipRecord {
  std::string start;   // local time, "2026-12-08 07:27:17"
  std::string end;     // empty while running, and for an interrupted rip
  std::string copied;  // copy first: when the disc's copy was whole, and the disc free
  std::string label;
  std::string source;
  std::string output;  // the file as it was left: finished, incomplete, or none
  std::string result;  // "running", "complete", "failed", "cancelled", "interrupted"
  std::string reason;
  std::optional<std::int64_t> exit_code;
  std::optional<std::int64_t> signal;
  std::optional<std::int64_t> frames_encoded;
  std::optional<std::int64_t> frames_expected;
  std::optional<double> seconds_encoded;
  std::optional<double> seconds_expected;
  std::optional<std::int64_t> bytes;
  std::string log;
  // A disc ripped title by title: each title's own result, in the order ripped.
  std::vector<RipTitleRecord> titles;
  // Which rip this is, for the write at its end: its start and its file.
  std::string id;
  bool operator==(const RipRecord&) const = default;
};

// One record as one line of JSON, and back. Bytes of a text that are not
// UTF-8 (a disc label in an old code page) are written as "\u00XX", which
// other readers take as Latin-1 and ours reads back to the same byte.
std::string RecordLine(const RipRecord& record);
std::optional<RipRecord> ParseRecordLine(std::string_view line);

// What became of a record given to the history.
enum class HistoryWrite { kWritten, kKeptAside, kFailed };

// The history file: one JSON object a line, newest last. Every write
// replaces the whole file in one step, so a crash at any moment leaves the
// earlier records whole. A history that is there but cannot be read is never
// replaced: records go to a file beside it until a write can read both, and
// that write folds them in.
class RipHistory {
 public:
  static constexpr std::size_t kMostRecords = 1000;

  RipHistory(Files& files, std::string path) : files_(files), path_(std::move(path)) {}

  // Adds the record, or replaces the one with its id; the oldest records go
  // beyond kMostRecords. kKeptAside when it went to AsidePath() because the
  // history could not be read.
  HistoryWrite Write(const RipRecord& record);

  // Every record that could be read, oldest first, with those kept aside;
  // nothing when the history is there but could not be read. Without a
  // history there are no records.
  std::optional<std::vector<RipRecord>> Records();

  const std::string& path() const { return path_; }
  std::string AsidePath() const;

 private:
  std::optional<std::vector<std::string>> Lines(const std::string& path);
  bool Store(const std::string& path, const std::vector<std::string>& lines);

  Files& files_;
  std::string path_;
};

}  // namespace ripwarden
