#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace ripwarden {

// The output of one child process that has arrived but not yet been handed
// out, and the rules that cut it into lines. Shared by every ProcessRunner so
// that all of them cut the same output into the same lines.
class OutputLines {
 public:
  // Reads at most size bytes into buffer, waiting for them if need be.
  // Returns how many it read; 0 when the output has ended or failed.
  using Reader = std::function<std::size_t(char* buffer, std::size_t size)>;

  // Takes bytes that arrived from the output without cutting a line.
  void Hold(std::string_view bytes);

  std::size_t HeldSize() const { return held_.size() - start_; }

  // True when the held bytes contain a line end.
  bool HoldsLineEnd();

  // Cuts the next line from the held bytes, calling read for more while no
  // line end is held. At the end of the output returns what is held.
  std::string NextLine(const Reader& read);

 private:
  // A line end CR LF may be split between two reads: the CR ended the last
  // line and was the last byte, so a LF arriving next belongs to it.
  void DropLineFeedAfterCarriageReturn(std::string& bytes, std::size_t from);

  // Lines are handed out from start_ on; the bytes before it are spent and
  // dropped only now and then, so that a line costs its own length rather
  // than that of everything held after it.
  std::string held_;
  std::size_t start_ = 0;
  std::size_t scanned_ = 0;  // held_ up to here (from start_) is known to hold no line end
  bool after_carriage_return_ = false;
};

}  // namespace ripwarden
