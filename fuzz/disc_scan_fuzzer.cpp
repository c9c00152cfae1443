// The scan is whatever the encoder prints about a disc, whose titles and
// language fields a damaged or hostile disc fills: no scan may crash the
// reader, and the titles chosen are always titles of the disc.
//
// Input: the encoder's standard output, as recorded.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string_view>
#include <vector>

#include "rip/disc_scan.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using ripwarden::TitleChoice;
  const auto scan = ripwarden::ParseDiscScan(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!scan) return 0;

  std::set<int> indices;
  for (const ripwarden::ScannedTitle& title : scan->titles) {
    indices.insert(title.index);
    for (const std::string& track : ripwarden::TracksInLanguages(title.audio, "eng,FRA, und")) {
      Require(!track.empty() && track.front() != '0');
    }
  }
  for (const TitleChoice choice :
       {TitleChoice{TitleChoice::Mode::kAll, 0, 0}, TitleChoice{TitleChoice::Mode::kAll, 1, 0},
        TitleChoice{TitleChoice::Mode::kAll, 0, 1}}) {
    const std::vector<int> all = ripwarden::ChooseTitles(*scan, choice);
    Require(all.size() <= scan->titles.size());
    Require(std::all_of(all.begin(), all.end(), [&](int index) { return indices.count(index) == 1; }));
  }
  const std::vector<int> main = ripwarden::ChooseTitles(*scan, {TitleChoice::Mode::kMain, 0, 0});
  Require(main.size() == (scan->titles.empty() ? 0u : 1u) && (main.empty() || indices.count(main[0]) == 1));
  return 0;
}
