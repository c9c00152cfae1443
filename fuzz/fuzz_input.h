#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ripwarden::fuzz {

// Takes a fuzz input apart from its front, so that a hand-written input reads
// plainly: numbers first, then texts. Bytes past the end count as zero.
class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : rest_(reinterpret_cast<const char*>(data), size) {}

  std::uint8_t TakeByte() {
    if (rest_.empty()) return 0;
    const auto byte = static_cast<std::uint8_t>(rest_.front());
    rest_.remove_prefix(1);
    return byte;
  }
  bool TakeBool() { return (TakeByte() & 1) != 0; }
  // Four bytes, least significant first.
  std::int32_t TakeInt() {
    std::uint32_t value = 0;
    for (int shift = 0; shift < 32; shift += 8) value |= std::uint32_t{TakeByte()} << shift;
    return static_cast<std::int32_t>(value);
  }
  // A length byte, then up to that many bytes.
  std::string TakeShortText() { return TakeText(TakeByte()); }
  std::string TakeRest() { return TakeText(rest_.size()); }

 private:
  std::string TakeText(std::size_t size) {
    const std::string_view taken = rest_.substr(0, size);
    rest_.remove_prefix(taken.size());
    return std::string(taken);
  }

  std::string_view rest_;
};

}  // namespace ripwarden::fuzz
