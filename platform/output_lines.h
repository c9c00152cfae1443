#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace ripwarden {

// The output of one child process that has arrived but not yet been handed
// out, and the rules that cut it into lines. Shared by every ProcessRunner so
// that all of them cut the same output into the same lines.
//
// Both a line and what is held are bounded, so that a process that floods
// its output or never ends a line cannot take the memory: a line is cut
// after kLongestLine bytes (never inside a UTF-8 sequence) and handed out at
// once, the rest of it up to its line end dropped; and a runner takes no more
// output while kMostHeld bytes wait, leaving the process to wait on its pipe.
class OutputLines {
 public:
  static constexpr std::size_t kLongestLine = 1024;
  static constexpr std::size_t kMostHeld = std::size_t{1} << 20;

  // Reads at most size bytes into buffer, waiting for them if need be.
  // Returns how many it read; 0 when the output has ended or failed.
  using Reader = std::function<std::size_t(char* buffer, std::size_t size)>;

  // Takes bytes that arrived from the output.
  void Hold(std::string_view bytes);

  std::size_t HeldSize() const { return held_.size() - start_; }
  // How many more bytes a runner should take before lines are handed out.
  std::size_t Room() const { return HeldSize() < kMostHeld ? kMostHeld - HeldSize() : 0; }

  // True when a whole (or cut) line is held.
  bool HoldsLineEnd() const { return whole_lines_ > 0; }

  // Cuts the next line from the held bytes, calling read for more while no
  // line is held. At the end of the output returns what is held.
  std::string NextLine(const Reader& read);

 private:
  // Adds text without line ends to the current line, cutting it at its longest.
  void AddToLine(std::string_view text);
  void EndLine();

  // Held lines each end in one '\n', whatever ended them in the output; the
  // bytes before start_ were handed out already.
  std::string held_;
  std::size_t start_ = 0;
  std::size_t whole_lines_ = 0;
  std::size_t line_length_ = 0;  // of the unfinished line at the end of held_
  // The current line was cut: its rest up to the line end goes.
  bool dropping_ = false;
  // A line end CR LF may be split between two reads: the CR ended the last
  // line, so a LF arriving next belongs to it.
  bool after_carriage_return_ = false;
};

}  // namespace ripwarden
