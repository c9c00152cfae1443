#include "rip/disc_scan.h"

#include <algorithm>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>

#include "config/text_helpers.h"

namespace ripwarden {

namespace {

using Json = nlohmann::json;

constexpr std::string_view kTitleSetMark = "JSON Title Set: ";
constexpr double kTicksPerSecond = 90000;
// Ten days: far beyond any disc, and low enough that no sum of a scan's
// lengths overflows.
constexpr std::int64_t kMostTicks = std::int64_t{90000} * 3600 * 24 * 10;

// Thrown when the JSON is well formed but not a scan; caught in ParseDiscScan.
struct NotAScan {};

const Json& Member(const Json& object, const char* key) {
  if (!object.is_object()) throw NotAScan{};
  const auto found = object.find(key);
  if (found == object.end()) throw NotAScan{};
  return *found;
}

std::int64_t Integer(const Json& object, const char* key, std::int64_t lowest, std::int64_t highest) {
  const Json& value = Member(object, key);
  // The library reads every integer without a sign as unsigned.
  if (value.is_number_unsigned()) {
    const auto number = value.get<std::uint64_t>();
    if (number > static_cast<std::uint64_t>(highest)) throw NotAScan{};
    if (static_cast<std::int64_t>(number) < lowest) throw NotAScan{};
    return static_cast<std::int64_t>(number);
  }
  if (!value.is_number_integer()) throw NotAScan{};
  const auto number = value.get<std::int64_t>();
  if (number < lowest || number > highest) throw NotAScan{};
  return number;
}

int TrackNumber(const Json& track) {
  return static_cast<int>(Integer(track, "TrackNumber", 1, std::numeric_limits<int>::max()));
}

std::string Text(const Json& object, const char* key) {
  const Json& value = Member(object, key);
  if (!value.is_string()) throw NotAScan{};
  return value.get<std::string>();
}

std::int64_t Ticks(const Json& has_duration) {
  return Integer(Member(has_duration, "Duration"), "Ticks", 0, kMostTicks);
}

const Json& List(const Json& object, const char* key) {
  const Json& list = Member(object, key);
  if (!list.is_array()) throw NotAScan{};
  return list;
}

ScannedTitle ReadTitle(const Json& title) {
  ScannedTitle read;
  read.index = static_cast<int>(Integer(title, "Index", 1, std::numeric_limits<int>::max()));
  read.seconds = static_cast<double>(Ticks(title)) / kTicksPerSecond;
  for (const Json& chapter : List(title, "ChapterList")) read.chapter_ticks.push_back(Ticks(chapter));
  for (const Json& track : List(title, "AudioList")) {
    read.audio.push_back({TrackNumber(track), Text(track, "LanguageCode"), Text(track, "Description")});
  }
  for (const Json& track : List(title, "SubtitleList")) {
    read.subtitles.push_back({TrackNumber(track), Text(track, "LanguageCode"), Text(track, "Language")});
  }
  return read;
}

bool WithinLimits(const ScannedTitle& title, const TitleChoice& choice) {
  if (choice.shortest_minutes > 0 && title.seconds < choice.shortest_minutes * 60.0) return false;
  if (choice.longest_minutes > 0 && title.seconds > choice.longest_minutes * 60.0) return false;
  return true;
}

std::int64_t TotalTicks(const ScannedTitle& title) {
  std::int64_t total = 0;
  for (const std::int64_t ticks : title.chapter_ticks) total += ticks;
  return total;
}

std::vector<std::int64_t> ChapterEnds(const std::vector<const ScannedTitle*>& run) {
  std::vector<std::int64_t> ends;
  std::int64_t at = 0;
  for (const ScannedTitle* title : run) {
    for (const std::int64_t ticks : title->chapter_ticks) ends.push_back(at += ticks);
  }
  return ends;
}

// A "play all" plays the same cells as the run, so it ends where the run
// ends, has a chapter at least where each episode ends, and none where the
// run has none; some discs mark only the episodes, others every chapter.
bool PlaysRun(const ScannedTitle& whole, const std::vector<const ScannedTitle*>& run) {
  const std::vector<std::int64_t> own_ends = ChapterEnds({&whole});
  const std::vector<std::int64_t> run_ends = ChapterEnds(run);
  if (own_ends.empty() || run_ends.empty() || own_ends.back() != run_ends.back()) return false;
  if (!std::includes(run_ends.begin(), run_ends.end(), own_ends.begin(), own_ends.end())) return false;
  std::int64_t at = 0;
  for (const ScannedTitle* episode : run) {
    at += TotalTicks(*episode);
    if (!std::binary_search(own_ends.begin(), own_ends.end(), at)) return false;
  }
  return true;
}

bool IsPlayAll(const ScannedTitle& title, const std::vector<const ScannedTitle*>& candidates) {
  const std::int64_t total = TotalTicks(title);
  for (std::size_t first = 0; first < candidates.size(); ++first) {
    std::vector<const ScannedTitle*> run;
    std::int64_t run_total = 0;
    for (std::size_t next = first; next < candidates.size() && run_total < total; ++next) {
      if (candidates[next] == &title) break;
      run.push_back(candidates[next]);
      run_total += TotalTicks(*candidates[next]);
    }
    if (run.size() >= 2 && run_total == total && PlaysRun(title, run)) return true;
  }
  return false;
}

}  // namespace

std::vector<std::string> ScanArguments(const std::string& input) {
  return {"-i", input, "-t", "0", "--scan", "--json"};
}

std::optional<DiscScan> ParseDiscScan(std::string_view scan_output) {
  const std::size_t mark = scan_output.find(kTitleSetMark);
  if (mark == std::string_view::npos) return std::nullopt;
  try {
    // A stream reads one JSON value and leaves whatever follows it.
    std::istringstream in{std::string(scan_output.substr(mark + kTitleSetMark.size()))};
    Json set;
    in >> set;
    DiscScan scan;
    const std::int64_t main = Integer(set, "MainFeature", -1, std::numeric_limits<int>::max());
    if (main > 0) scan.main_feature = static_cast<int>(main);
    for (const Json& title : List(set, "TitleList")) scan.titles.push_back(ReadTitle(title));
    return scan;
  } catch (const Json::exception&) {
    return std::nullopt;
  } catch (const NotAScan&) {
    return std::nullopt;
  }
}

std::vector<int> ChooseTitles(const DiscScan& scan, const TitleChoice& choice) {
  if (choice.mode == TitleChoice::Mode::kMain) {
    const ScannedTitle* chosen = nullptr;
    for (const ScannedTitle& title : scan.titles) {
      if (scan.main_feature == title.index) return {title.index};
      if (chosen == nullptr || title.seconds > chosen->seconds) chosen = &title;
    }
    if (chosen == nullptr) return {};
    return {chosen->index};
  }

  std::vector<const ScannedTitle*> candidates;
  for (const ScannedTitle& title : scan.titles) {
    if (!WithinLimits(title, choice)) continue;
    // A title without chapters says nothing of what it plays: never a repeat.
    const bool repeats = !title.chapter_ticks.empty() &&
                         std::any_of(candidates.begin(), candidates.end(), [&](const ScannedTitle* earlier) {
                           return earlier->chapter_ticks == title.chapter_ticks;
                         });
    if (!repeats) candidates.push_back(&title);
  }
  std::vector<int> chosen;
  for (const ScannedTitle* title : candidates) {
    if (!title->chapter_ticks.empty() && IsPlayAll(*title, candidates)) continue;
    chosen.push_back(title->index);
  }
  return chosen;
}

std::vector<std::string> TracksInLanguages(const std::vector<ScannedTrack>& tracks,
                                           std::string_view languages) {
  std::vector<std::string> wanted;
  std::size_t start = 0;
  while (start <= languages.size()) {
    const std::size_t comma = std::min(languages.find(',', start), languages.size());
    std::string code = Trim(languages.substr(start, comma - start));
    std::transform(code.begin(), code.end(), code.begin(), [](unsigned char c) {
      return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    if (!code.empty()) wanted.push_back(code);
    start = comma + 1;
  }
  std::vector<std::string> indices;
  for (const ScannedTrack& track : tracks) {
    if (std::find(wanted.begin(), wanted.end(), track.language) != wanted.end()) {
      indices.push_back(std::to_string(track.index));
    }
  }
  return indices;
}

}  // namespace ripwarden
