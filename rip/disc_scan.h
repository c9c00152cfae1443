#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ripwarden {

// An audio or subtitle track as the encoder numbers it, from 1 in disc order.
struct ScannedTrack {
  int index = 0;
  std::string language;  // ISO 639-2 code: "eng", "fra"; "und" when the disc gives none
  std::string description;
};

struct ScannedTitle {
  int index = 0;
  double seconds = 0;
  // What the title is made of, as far as the scan shows: the length of each
  // of its chapters in 90 kHz ticks. A title that plays the same cells as
  // others has the same chapters; the scan names no cells or sectors.
  std::vector<std::int64_t> chapter_ticks;
  std::vector<ScannedTrack> audio;
  std::vector<ScannedTrack> subtitles;
};

struct DiscScan {
  std::optional<int> main_feature;  // the encoder's pick, when it made one
  std::vector<ScannedTitle> titles;
};

// The encoder's arguments for a scan of every title of input.
std::vector<std::string> ScanArguments(const std::string& input);

// Reads what `HandBrakeCLI --scan -t 0 --json` printed on standard output:
// the object after "JSON Title Set: ". Nothing when it is missing, cut short
// or not what the encoder writes.
std::optional<DiscScan> ParseDiscScan(std::string_view scan_output);

struct TitleChoice {
  enum class Mode { kMain, kAll };
  Mode mode = Mode::kMain;
  // Limits for kAll, in whole minutes; 0 means none.
  int shortest_minutes = 0;
  int longest_minutes = 0;
};

// The indices of the titles to rip, in disc order. kMain: the encoder's main
// feature, else the longest title. kAll: every title within the limits except
// those that only repeat others: a title with the same chapters as an earlier
// one, and a "play all" made of a run of the other chosen titles.
std::vector<int> ChooseTitles(const DiscScan& scan, const TitleChoice& choice);

// The indices, as text, of the tracks whose language is in `languages`
// ("eng,fra": codes, commas, any case), in disc order.
std::vector<std::string> TracksInLanguages(const std::vector<ScannedTrack>& tracks,
                                           std::string_view languages);

}  // namespace ripwarden
